#include "backup/records_part.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <set>

#include "backup/child_process.h"
#include "backup/files.h"
#include "db/records_database.h"
#include "db/schema.h"
#include "db/server_provider.h"
#include "db/sqlite.h"
#include "db/texts.h"

namespace backup {
namespace {

namespace fs = std::filesystem;

// The records file is read in pieces of this size while it is copied.
// The engine calls the progress handler every this many instructions.
constexpr int kProgressInstructions = 10000;
constexpr const char* kIntegrityOk = "ok";

int stopWhenCancelled(void* control) { return static_cast<const Control*>(control)->cancelled() ? 1 : 0; }

// The rows of a statement's first column, as texts.
std::optional<std::vector<std::string>> columnOf(sqlite3* database, const std::string& sql, std::string* why) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
    refuse(why, sqlite3_errmsg(database));
    return std::nullopt;
  }
  db::StatementHandle statement(raw);
  std::vector<std::string> values;
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    values.emplace_back(text ? text : "");
  }
  if (rc != SQLITE_DONE) {
    refuse(why, sqlite3_errmsg(database));
    return std::nullopt;
  }
  return values;
}

// The engine's own handle of the connection's file: reading through it takes
// no descriptor of this process's own. Closing another descriptor of the file
// would drop every lock the process holds on it, the program's connection's
// among them.
sqlite3_file* fileOf(sqlite3* database) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(database, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
    return nullptr;
  return file;
}

// The file byte for byte under a read transaction: while it is open no
// writer can change the file (a commit waits for it, and the engine's lock
// wait is far longer than a copy), so the bytes show one committed moment,
// under the same key. A hot journal left by a program that was cut off is
// rolled back by the first read, before anything is copied. The engine's
// online backup would decrypt and encrypt every page again, which costs
// twice as much as copying the file and checking it together.
bool copySnapshot(sqlite3* from, int output, const Control& control, std::string* why) {
  std::string error;
  if (!db::runScript(from, "BEGIN; SELECT count(*) FROM sqlite_master;", &error)) return refuse(why, error);
  struct EndRead {
    sqlite3* database;
    ~EndRead() { db::runScript(database, "COMMIT"); }
  } endRead{from};
  sqlite3_file* file = fileOf(from);
  sqlite3_int64 size = 0;
  if (!file || file->pMethods->xFileSize(file, &size) != SQLITE_OK) return refuse(why, "the file cannot be read");
  std::vector<char> buffer(kCopyChunk);
  for (sqlite3_int64 offset = 0; offset < size;) {
    if (control.cancelled()) return refuse(why, "cancelled");
    const int piece = static_cast<int>(std::min<sqlite3_int64>(kCopyChunk, size - offset));
    if (int rc = file->pMethods->xRead(file, buffer.data(), piece, offset); rc != SQLITE_OK)
      return refuse(why, sqlite3_errstr(rc));
    if (!writeAll(output, buffer.data(), static_cast<size_t>(piece))) return refuse(why, systemText(errno));
    offset += piece;
    control.tick();
  }
  return true;
}

// --- the server ---

struct Login {
  std::string conninfo;  // without the password
  std::string password;  // empty when the string holds none
};

struct OptionsFree {
  void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};

std::string quotedValue(const char* value) {
  std::string text = "'";
  for (const char* c = value; *c; ++c) {
    if (*c == '\'' || *c == '\\') text += '\\';
    text += *c;
  }
  return text + "'";
}

std::optional<Login> loginOf(const std::string& conninfo, std::string* why) {
  char* error = nullptr;
  std::unique_ptr<PQconninfoOption, OptionsFree> options(PQconninfoParse(conninfo.c_str(), &error));
  if (!options) {
    refuse(why, "the connection string cannot be read: " + std::string(error ? error : "out of memory"));
    PQfreemem(error);
    return std::nullopt;
  }
  Login login;
  for (PQconninfoOption* option = options.get(); option->keyword; ++option) {
    if (!option->val) continue;
    if (std::string_view(option->keyword) == "password") {
      login.password = option->val;
      continue;
    }
    if (!login.conninfo.empty()) login.conninfo += ' ';
    login.conninfo += std::string(option->keyword) + "=" + quotedValue(option->val);
  }
  return login;
}

std::vector<std::string> environmentFor(const Login& login) {
  std::vector<std::string> environment = {"PGCONNECT_TIMEOUT=10", "PGCLIENTENCODING=UTF8"};
  if (!login.password.empty()) environment.push_back("PGPASSWORD=" + login.password);
  return environment;
}

// A connection to the server, and how its client programs log in.
struct Session {
  Login login;
  db::ServerConnectionHandle connection;
};

std::optional<Session> openSession(const std::string& conninfo, std::string* why) {
  auto login = loginOf(conninfo, why);
  if (!login) return std::nullopt;
  std::string error;
  db::ServerConnectionHandle connection = db::connectToServer(conninfo, &error);
  if (!connection) {
    refuse(why, "cannot reach the database server: " + error);
    return std::nullopt;
  }
  return Session{std::move(*login), std::move(connection)};
}

struct ServerQuery {
  PGconn* connection;
  std::string* why;

  db::ServerResult run(const std::string& sql, ExecStatusType expected) {
    db::ServerResult result(PQexec(connection, sql.c_str()));
    if (PQresultStatus(result.get()) != expected) {
      refuse(why, PQresultErrorMessage(result.get()));
      while (why && !why->empty() && (why->back() == '\n' || why->back() == ' ')) why->pop_back();
      return nullptr;
    }
    return result;
  }
};

std::optional<RowCounts> countServerRows(ServerQuery& query) {
  RowCounts counts;
  for (const auto& table : db::records::tables()) {
    db::ServerResult result = query.run("SELECT count(*) FROM " + db::quotedIdentifier(table.name), PGRES_TUPLES_OK);
    if (!result) return std::nullopt;
    counts.emplace_back(table.name, std::stoll(PQgetvalue(result.get(), 0, 0)));
  }
  return counts;
}

// Counts the rows of the COPY blocks in pg_restore's script of a dump.
class CopyCounter {
 public:
  bool consume(std::string_view bytes) {
    for (char c : bytes) {
      if (c != '\n') {
        if (line_.size() < kLongestKeptLine) line_ += c;
        continue;
      }
      endLine();
      line_.clear();
    }
    return true;
  }
  RowCounts counts() const {
    RowCounts ordered;
    for (const auto& table : db::records::tables()) {
      auto it = rows_.find(std::string(table.name));
      ordered.emplace_back(table.name, it == rows_.end() ? 0 : it->second);
    }
    return ordered;
  }
  bool sawTable(std::string_view table) const { return tables_.contains(std::string(table)); }

 private:
  // Enough for any COPY statement of the records tables; a row's line is
  // only counted, so its end may be cut off.
  static constexpr size_t kLongestKeptLine = 1 << 16;

  void endLine() {
    if (inCopy_) {
      if (line_ == "\\.")
        inCopy_ = false;
      else
        ++rows_[table_];
      return;
    }
    if (line_.starts_with("COPY ") && line_.ends_with("FROM stdin;")) {
      table_ = tableOf(std::string_view(line_).substr(5));
      tables_.insert(table_);
      inCopy_ = true;
    }
  }
  // "public.student (...)" or "public.\"one\" (...)" -> the bare name.
  static std::string tableOf(std::string_view rest) {
    std::string_view name = rest.substr(0, rest.find(' '));
    if (size_t dot = name.rfind('.'); dot != std::string_view::npos) name = name.substr(dot + 1);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    return std::string(name);
  }

  std::string line_;
  bool inCopy_ = false;
  std::string table_;
  std::map<std::string, int64_t> rows_;
  std::set<std::string> tables_;
};

}  // namespace

std::optional<RowCounts> checkRecordsFile(const fs::path& file, const Control& control, std::string* why) {
  std::string error;
  db::DatabaseHandle database =
      db::openDatabase(file.string(), db::records::kPassword, db::OpenMode::kExistingOnly, &error);
  if (!database) {
    refuse(why, "the records cannot be opened with the program's key (" + error + ")");
    return std::nullopt;
  }
  sqlite3_progress_handler(database.get(), kProgressInstructions, &stopWhenCancelled, const_cast<Control*>(&control));
  auto verdict = columnOf(database.get(), "PRAGMA integrity_check", &error);
  if (!verdict) {
    refuse(why, control.cancelled() ? "cancelled" : "the integrity check could not run (" + error + ")");
    return std::nullopt;
  }
  if (verdict->size() != 1 || verdict->front() != kIntegrityOk) {
    refuse(why, "the records fail the integrity check (" + (verdict->empty() ? std::string() : verdict->front()) + ")");
    return std::nullopt;
  }
  RowCounts counts;
  for (const auto& table : db::records::tables()) {
    auto rows = columnOf(database.get(), "SELECT count(*) FROM " + db::quotedIdentifier(table.name), &error);
    if (!rows || rows->size() != 1) {
      refuse(why, "the table " + std::string(table.name) + " cannot be counted (" + error + ")");
      return std::nullopt;
    }
    counts.emplace_back(table.name, std::stoll(rows->front()));
  }
  return counts;
}

std::optional<RowCounts> copyRecordsFile(const fs::path& source, const fs::path& copy, const Access& access,
                                         const Control& control, std::string* why) {
  std::string error;
  db::DatabaseHandle from =
      db::openDatabase(source.string(), db::records::kPassword, db::OpenMode::kExistingOnly, &error);
  if (!from) {
    refuse(why, "cannot read " + source.string() + ": " + error);
    return std::nullopt;
  }
  // Private from its first byte on: the engine would make it with the umask.
  int made = open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, access.file);
  if (made < 0) {
    refuse(why, "cannot write " + copy.string() + ": " + systemText(errno));
    return std::nullopt;
  }
  // The copy is a scratch file until it has been checked and archived: the
  // archive is synced, the copy is not.
  bool copied = applyAccess(made, access.file, access, &error) && copySnapshot(from.get(), made, control, &error);
  close(made);
  from.reset();
  std::optional<RowCounts> counts;
  if (!copied)
    refuse(why, error == "cancelled" ? error : "cannot copy " + source.string() + ": " + error);
  else
    counts = checkRecordsFile(copy, control, why);
  if (!counts) unlink(copy.c_str());
  return counts;
}

std::string withoutPassword(const std::string& conninfo) {
  auto login = loginOf(conninfo, nullptr);
  return login ? login->conninfo : conninfo;
}

bool hasPassword(const std::string& conninfo) {
  auto login = loginOf(conninfo, nullptr);
  return login && !login->password.empty();
}

std::optional<RowCounts> dumpServerRecords(const std::string& conninfo, const fs::path& dump, const Control& control,
                                           std::string* why) {
  auto session = openSession(conninfo, why);
  if (!session) return std::nullopt;
  const Login& login = session->login;
  // pg_dump reads the very snapshot that the counts are taken in.
  ServerQuery query{session->connection.get(), why};
  if (!query.run("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY", PGRES_COMMAND_OK)) return std::nullopt;
  db::ServerResult snapshot = query.run("SELECT pg_export_snapshot()", PGRES_TUPLES_OK);
  if (!snapshot) return std::nullopt;
  auto counts = countServerRows(query);
  if (!counts) return std::nullopt;
  std::vector<std::string> arguments = {"pg_dump", "--format=custom", "--no-password",
                                        "--snapshot=" + std::string(PQgetvalue(snapshot.get(), 0, 0)),
                                        "--dbname=" + login.conninfo};
  ChildResult dumped = runChild(arguments, environmentFor(login), ChildOutput{dump, {}}, control);
  query.run("COMMIT", PGRES_COMMAND_OK);
  if (!dumped.succeeded) {
    unlink(dump.c_str());
    refuse(why, dumped.cancelled ? "cancelled" : "pg_dump failed: " + dumped.errorText);
    return std::nullopt;
  }
  return counts;
}

std::optional<RowCounts> checkServerDump(const fs::path& dump, const Control& control, std::string* why) {
  CopyCounter counter;
  ChildOutput output{{}, [&](std::string_view bytes) { return counter.consume(bytes); }};
  ChildResult read = runChild({"pg_restore", "--data-only", "--file=-", dump.string()}, {}, output, control);
  if (!read.succeeded) {
    refuse(why, read.cancelled ? "cancelled" : "the server's records cannot be read back (" + read.errorText + ")");
    return std::nullopt;
  }
  for (const auto& table : db::records::tables()) {
    if (!counter.sawTable(table.name)) {
      refuse(why, "the server's records hold no table " + std::string(table.name));
      return std::nullopt;
    }
  }
  return counter.counts();
}

std::optional<RowCounts> restoreServerDump(const fs::path& dump, const std::string& conninfo, const Control& control,
                                           std::string* why) {
  auto session = openSession(conninfo, why);
  if (!session) return std::nullopt;
  const Login& login = session->login;
  ServerQuery query{session->connection.get(), why};
  std::string names;
  for (const auto& table : db::records::tables()) names += (names.empty() ? "'" : ",'") + std::string(table.name) + "'";
  db::ServerResult present = query.run(
      "SELECT string_agg(t, ', ') FROM unnest(ARRAY[" + names + "]) t WHERE to_regclass(quote_ident(t)) IS NOT NULL",
      PGRES_TUPLES_OK);
  if (!present) return std::nullopt;
  if (!PQgetisnull(present.get(), 0, 0)) {
    refuse(why, "the database " + login.conninfo + " already holds records (" +
                    std::string(PQgetvalue(present.get(), 0, 0)) +
                    "); a restore goes into an empty database (createdb NAME)");
    return std::nullopt;
  }
  std::vector<std::string> arguments = {"pg_restore",
                                        "--no-owner",
                                        "--no-privileges",
                                        "--exit-on-error",
                                        "--single-transaction",
                                        "--no-password",
                                        "--dbname=" + login.conninfo,
                                        dump.string()};
  ChildResult restored = runChild(arguments, environmentFor(login), ChildOutput{}, control);
  if (!restored.succeeded) {
    refuse(why, restored.cancelled ? "cancelled" : "pg_restore failed: " + restored.errorText);
    return std::nullopt;
  }
  return countServerRows(query);
}

}  // namespace backup
