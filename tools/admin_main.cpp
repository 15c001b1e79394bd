// jiaxiao-admin: makes and checks program (school) folders for the records
// manager, backs them up and restores them, tells how to open their database
// with the sqlcipher client, and moves their records onto a database server.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/allocator.h"
#include "db/records_database.h"
#include "tools/backup_commands.h"
#include "tools/folder_access.h"
#include "tools/import_learners.h"
#include "tools/program_folder.h"
#include "tools/server_records.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr size_t kDefaultLearners = 200;
constexpr size_t kBookingsPerLearner = 3;

struct UsageError {
  std::string message;
};

std::optional<uint64_t> parseCount(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

uint64_t countOption(const std::vector<std::string>& args, size_t& i) {
  if (i + 1 >= args.size()) throw UsageError{args[i] + " needs a number"};
  auto value = parseCount(args[++i]);
  if (!value) throw UsageError{args[i - 1] + " needs a number, not \"" + args[i] + "\""};
  return *value;
}

admin::Sharing groupOption(const std::vector<std::string>& args, size_t& i) {
  if (i + 1 >= args.size()) throw UsageError{args[i] + " needs a group name"};
  auto group = admin::groupNamed(args[++i]);
  if (!group) throw UsageError{"there is no group \"" + args[i] + "\""};
  return {group};
}

admin::FolderRequest parseFolderRequest(const std::vector<std::string>& args, bool demo,
                                        std::optional<std::string>& server) {
  admin::FolderRequest request;
  request.withDemoData = demo;
  std::optional<uint64_t> learners, bookings;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--force")
      request.replaceDatabase = true;
    else if (demo && arg == "--learners")
      learners = countOption(args, i);
    else if (demo && arg == "--bookings")
      bookings = countOption(args, i);
    else if (demo && arg == "--seed")
      request.seed = countOption(args, i);
    else if (arg == "--group")
      request.sharing = groupOption(args, i);
    else if (demo && arg == "--server") {
      if (i + 1 >= args.size()) throw UsageError{"--server needs a connection string"};
      server = args[++i];
    } else if (arg.starts_with("--"))
      throw UsageError{"unknown option " + arg};
    else
      positional.push_back(arg);
  }
  if (positional.empty()) throw UsageError{"which folder?"};
  if (positional.size() > (demo ? 2u : 1u)) throw UsageError{"too many arguments"};
  if (positional.size() == 2) {
    if (learners) throw UsageError{"the number of learners is given twice"};
    learners = parseCount(positional[1]);
    if (!learners) throw UsageError{"the number of learners must be a number, not \"" + positional[1] + "\""};
  }
  request.folder = positional[0];
  request.learners = learners.value_or(kDefaultLearners);
  request.bookings = bookings.value_or(request.learners * kBookingsPerLearner);
  return request;
}

int reportServer(const admin::Report& report) {
  if (!report.ok) {
    std::fprintf(stderr, "jiaxiao-admin: %s\n", report.message.c_str());
    return kExitFailure;
  }
  std::fputs(report.message.c_str(), stdout);
  return kExitOk;
}

int makeFolder(const std::vector<std::string>& args, bool demo) {
  std::optional<std::string> server;
  admin::FolderRequest request = parseFolderRequest(args, demo, server);
  admin::Report report = admin::makeProgramFolder(request);
  if (!report.ok) {
    std::fprintf(stderr, "jiaxiao-admin: %s\n", report.message.c_str());
    return kExitFailure;
  }
  std::fputs(report.message.c_str(), stdout);
  if (!server) return kExitOk;
  return reportServer(admin::moveToServer(request.folder, *server));
}

int checkFolder(const std::vector<std::string>& args) {
  admin::CheckRequest request;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--fix")
      request.fix = true;
    else if (args[i] == "--group")
      request.sharing = groupOption(args, i);
    else if (args[i].starts_with("--"))
      throw UsageError{"unknown option " + args[i]};
    else
      positional.push_back(args[i]);
  }
  if (positional.size() != 1) throw UsageError{"check takes one folder"};
  request.folder = positional[0];
  std::vector<admin::Finding> findings;
  try {
    findings = admin::checkProgramFolder(request);
  } catch (const fs::filesystem_error& failure) {
    std::fprintf(stderr, "jiaxiao-admin: %s\n", failure.what());
    return kExitFailure;
  }
  size_t left = 0;
  for (const admin::Finding& finding : findings) {
    std::printf("%s: %s\n", finding.path.string().c_str(), finding.what.c_str());
    if (!finding.fixed) ++left;
  }
  if (findings.empty())
    std::printf("%s: nothing found\n", request.folder.string().c_str());
  else
    std::printf("%zu found, %zu fixed, %zu left\n", findings.size(), findings.size() - left, left);
  return left == 0 ? kExitOk : kExitFailure;
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int printSqlHelp(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"sql takes one folder"};
  std::error_code error;
  fs::path database = fs::absolute(fs::path(args[1]) / db::records::kFileName, error);
  if (!fs::exists(database, error)) {
    std::fprintf(stderr, "jiaxiao-admin: %s does not exist (make it with: jiaxiao-admin init %s)\n",
                 database.string().c_str(), args[1].c_str());
    return kExitFailure;
  }
  // The password is digits only, so it needs no quoting inside double quotes.
  std::string key = "PRAGMA key = '" + std::string(db::records::kPassword) + "';";
  std::printf(
      "The records database is encrypted. Open it with the sqlcipher client and give\n"
      "the key before anything else:\n\n"
      "  sqlcipher %s\n"
      "  sqlite> %s\n"
      "  sqlite> .tables\n\n"
      "or in one line:\n\n"
      "  sqlcipher -cmd \"%s\" %s\n",
      shellQuoted(database.string()).c_str(), key.c_str(), key.c_str(), shellQuoted(database.string()).c_str());
  return kExitOk;
}

int initFolder(const std::vector<std::string>& args) { return makeFolder(args, false); }
int demoFolder(const std::vector<std::string>& args) { return makeFolder(args, true); }

int importFile(const std::vector<std::string>& args) {
  admin::ImportRequest request;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--dry-run")
      request.dryRun = true;
    else if (args[i].starts_with("--"))
      throw UsageError{"unknown option " + args[i]};
    else
      positional.push_back(args[i]);
  }
  if (positional.size() != 2) throw UsageError{"import takes a folder and a file"};
  request.folder = positional[0];
  request.file = positional[1];
  admin::ImportOutcome outcome = admin::importLearners(request);
  std::fputs(outcome.message.c_str(), outcome.read ? stdout : stderr);
  bool nothingRefused = outcome.duplicates == 0 && outcome.faulty == 0;
  return outcome.read && (outcome.written || request.dryRun) && nothingRefused ? kExitOk : kExitFailure;
}

int restore(const std::vector<std::string>& args) {
  std::optional<std::string> server;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--server") {
      if (i + 1 >= args.size()) throw UsageError{"--server needs a connection string"};
      server = args[++i];
    } else if (args[i].starts_with("--")) {
      throw UsageError{"unknown option " + args[i]};
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) throw UsageError{"restore takes a backup and a folder"};
  return admin::restoreFolder(positional[0], positional[1], server);
}

int backupFolder(const std::vector<std::string>& args) {
  if (args.size() < 2 || args.size() > 3) throw UsageError{"backup takes a folder and an optional destination"};
  return admin::backupFolder(args[1], args.size() == 3 ? fs::path(args[2]) : fs::path());
}

int listBackups(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"backups takes one folder"};
  return admin::listFolderBackups(args[1]);
}

int initServer(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"server-init takes one connection string"};
  return reportServer(admin::initServer(args[1]));
}

int indexServer(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"server-index takes one connection string"};
  return reportServer(admin::indexServer(args[1]));
}

int moveFolder(const std::vector<std::string>& args) {
  if (args.size() != 3) throw UsageError{"move takes a folder and a connection string"};
  return reportServer(admin::moveToServer(args[1], args[2]));
}

// Every command the tool knows: the help is made from this table, and so is
// the tool's manual page, so neither can leave a command out.
struct Command {
  std::string_view name;
  std::string_view alias;  // another name the command answers to, or ""
  std::string_view arguments;
  std::string_view description;  // lines of the help, each indented by six
  int (*run)(const std::vector<std::string>& args);
};

constexpr Command kCommands[] = {
    {"init", "create", "FOLDER [--force] [--group NAME]",
     "      Makes a program folder (creating FOLDER when needed): the encrypted\n"
     "      records database hj.mdb with its six tables, a systeminfo.ini with\n"
     "      sample settings (GB18030), an empty log.log and the registration-form\n"
     "      template table.xlsx. An existing database is refused unless --force is\n"
     "      given; existing settings, log and template are kept.\n"
     "      The folder is private (0700, files 0600) whatever the umask; with\n"
     "      --group it is shared with that group (2770, files 0660).\n",
     initFolder},
    {"demo", "",
     "FOLDER [LEARNERS] [--learners N] [--bookings M] [--seed S] [--force] [--group NAME] [--server CONNINFO]",
     "      The same, with N synthetic learners (default 200) and M exam bookings\n"
     "      (default three per learner); coaches and vehicle classes come from the\n"
     "      folder's systeminfo.ini. With --server the records are then moved onto\n"
     "      that database server, as move does.\n",
     demoFolder},
    {"check", "", "FOLDER [--group NAME] [--fix]",
     "      Reports every file or folder inside FOLDER that others may read or\n"
     "      write, every library or qt.conf that this tool did not put there and\n"
     "      every folder inside it cannot read; and, following links, every file\n"
     "      the program loads (the reader library, the photo decoder sdtapi.ini\n"
     "      names, the files database.ini names) that others may change.\n"
     "      A folder with the set-group-ID bit is taken as shared with its group.\n"
     "      --fix tightens modes and groups; planted files are only reported.\n"
     "      Exit status 0 when nothing is left to do, 1 otherwise.\n",
     checkFolder},
    {"backup", "", "FOLDER [DEST]",
     "      Writes one archive FOLDER-YYYYMMDD-HHMMSS.jxbak into DEST (default\n"
     "      FOLDER/备份/): a consistent copy of hj.mdb (safe while the program runs;\n"
     "      for a folder whose database.ini names a server, pg_dump of its\n"
     "      database), systeminfo.ini, log.log, table.xlsx and database.ini as they\n"
     "      are, and a manifest of row counts, sizes and SHA-256 sums. The archive is\n"
     "      checked before it gets its name. Prints its path.\n",
     backupFolder},
    {"backups", "", "FOLDER", "      Lists the backups in FOLDER/备份/ with their time, size and counts.\n",
     listBackups},
    {"restore", "", "BACKUP FOLDER [--server CONNINFO]",
     "      Checks the archive whole (manifest, SHA-256, integrity, counts), then\n"
     "      moves the folder's files aside into FOLDER/备份/before-restore-<time>/\n"
     "      and puts the backup's files in place. Refused while the program runs on\n"
     "      FOLDER. A server's records go into an empty database: the one the\n"
     "      backup's database.ini names, or CONNINFO.\n",
     restore},
    {"import", "", "FOLDER FILE [--dry-run]",
     "      Brings learners into the folder's records from FILE (.xlsx, .xls or .csv\n"
     "      in UTF-8 or GB18030) with the checks of 学员管理 > 导入数据: columns found\n"
     "      by their headers, identity numbers checked, duplicates refused. Every good\n"
     "      learner goes in in one transaction, with an entry in log.log; the refused\n"
     "      rows and their reasons go to FILE's name + \"_未导入.xlsx\" beside it (or\n"
     "      into FOLDER). --dry-run checks and reports without writing the records.\n"
     "      Exit status 0 when every row was imported, 1 when any was refused.\n",
     importFile},
    {"sql", "", "FOLDER", "      Prints how to open the folder's database with the sqlcipher client.\n", printSqlHelp},
    {"server-init", "", "CONNINFO",
     "      Makes the records tables on a PostgreSQL database that several desks\n"
     "      share. CONNINFO is a connection string such as\n"
     "      \"host=SERVER dbname=jiaxiao user=school\"; the password belongs in\n"
     "      ~/.pgpass. A database that holds the tables already is refused.\n"
     "      Where the server has pg_trgm, the searched columns get trigram indexes.\n",
     initServer},
    {"server-index", "", "CONNINFO",
     "      Adds the searches' trigram indexes (pg_trgm) to a database whose tables\n"
     "      an earlier server-init made without them; indexes present are kept.\n",
     indexServer},
    {"move", "", "FOLDER CONNINFO",
     "      Copies the folder's learners, bookings and graduates onto the server in\n"
     "      one transaction, checks the counts, and writes FOLDER/database.ini\n"
     "      naming the server; hj.mdb is kept.\n",
     moveFolder},
};

std::string usage() {
  std::string text =
      "Usage: jiaxiao-admin COMMAND ARGUMENTS...\n"
      "Makes, checks, backs up, restores and moves the school folders of the\n"
      "driving-school records manager (驾校学员管理).\n"
      "\n"
      "Commands:\n";
  for (const Command& command : kCommands) {
    text.append("  jiaxiao-admin ").append(command.name).append(" ").append(command.arguments).append("\n");
    text.append(command.description);
    if (!command.alias.empty())
      text.append("      (").append(command.alias).append(" is another name for ").append(command.name).append(".)\n");
  }
  return text + "  jiaxiao-admin --help\n      Shows this help.\n";
}

int run(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError{"which command?"};
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    std::fputs(usage().c_str(), stdout);
    return kExitOk;
  }
  for (const Command& command : kCommands)
    if (name == command.name || (!command.alias.empty() && name == command.alias)) return command.run(args);
  throw UsageError{"unknown command " + name};
}

}  // namespace

int main(int argc, char** argv) {
  base::keepFreedMemoryForReuse();
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return run(args);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "jiaxiao-admin: %s\n\n%s", error.message.c_str(), usage().c_str());
    return kExitUsage;
  }
}
