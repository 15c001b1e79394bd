#include "tools/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "db/records_database.h"
#include "db/schema.h"
#include "db/sqlite.h"
#include "sheet/engine/file_replacement.h"
#include "tools/demo_data.h"
#include "tools/folder_access.h"
#include "tools/form_template.h"
#include "tools/outcome.h"
#include "tools/row_inserter.h"
#include "tools/settings.h"

namespace admin {
namespace {

namespace fs = std::filesystem;

// A large page cache while filling: the identity indexes are written in
// random order.
constexpr const char* kBulkSettings = "PRAGMA cache_size=-262144;";
constexpr const char* kJournalInMemory = "PRAGMA journal_mode=MEMORY;";

// A folder that everybody may write to and that keeps their files apart
// (the sticky bit, as /tmp) is shared by nature: it never becomes private.
bool isSharedByNature(const fs::path& folder) {
  std::error_code error;
  fs::perms perms = fs::status(folder, error).permissions();
  return !error && (perms & fs::perms::sticky_bit) != fs::perms::none;
}

// The folder exists afterwards with the mode of the sharing, whatever the
// umask, and an existing one is tightened the same way.
void ensureFolder(const fs::path& folder, const Sharing& sharing) {
  std::error_code error;
  if (fs::exists(folder, error)) {
    if (!fs::is_directory(folder, error)) throw Failure{folder.string() + " exists and is not a folder"};
    if (isSharedByNature(folder))
      throw Failure{folder.string() + " is a folder shared by all users; make the program folder inside it"};
  } else if (!fs::create_directories(folder, error) && error) {
    throw Failure{"cannot create the folder " + folder.string() + ": " + error.message()};
  }
  // The folder itself may be reached through a link the user made; the
  // files inside never are (setAccess).
  setAccess(fs::canonical(folder), modesFor(sharing).folder, sharing);
}

// Keeps a file that exists (with the mode of the sharing); returns whether
// it was made.
bool makeIfMissing(const fs::path& file, const std::string& bytes, const Sharing& sharing) {
  std::error_code error;
  if (fs::is_symlink(file, error))
    throw Failure{file.string() + " is a symbolic link, which the program would follow; remove it"};
  if (fs::exists(file, error)) {
    setAccess(file, modesFor(sharing).file, sharing);
    return false;
  }
  writePrivateFile(file, bytes, sharing);
  return true;
}

// One prepared insert of the table's rows.
RowInserter inserterFor(sqlite3* database, const db::records::Table& table) {
  RowInserter inserter(database, table);
  if (!inserter.ok()) throw Failure{"database error: " + inserter.error()};
  return inserter;
}

template <size_t N>
void insertRow(RowInserter& inserter, const std::array<std::string, N>& values) {
  std::array<std::string_view, N> views;
  for (size_t i = 0; i < N; ++i) views[i] = values[i];
  if (!inserter.insert(views.data(), N)) throw Failure{"database error: " + inserter.error()};
}

void fillDemoData(sqlite3* database, const Settings& settings, const FolderRequest& request) {
  auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
  DemoGenerator generator(settings, request.seed, today);
  std::vector<Learner> learners = generator.learners(request.learners);
  std::vector<Booking> bookings = generator.bookings(learners, request.bookings);
  runStatements(database, kBulkSettings);
  runStatements(database, "BEGIN");
  RowInserter student = inserterFor(database, db::records::studentTable());
  for (const Learner& learner : learners) insertRow(student, learner.fields);
  std::vector<RowInserter> exams;
  for (const auto& table : db::records::examTables()) exams.push_back(inserterFor(database, table));
  for (const Booking& booking : bookings)
    insertRow(exams[static_cast<size_t>(booking.subject)],
              std::array<std::string, 3>{booking.identity, booking.examDate, booking.result});
  runStatements(database, "COMMIT");
}

// Builds the database in a new file beside `database` and renames it over
// it when complete. The folder may be writable by others, so the file is
// reached only through the descriptor that made it: the engine opens it by
// its /proc name and keeps its journal in memory (a journal beside that name
// cannot be made, and a failed build is thrown away whole anyway).
void buildDatabase(const fs::path& database, const Settings& settings, const FolderRequest& request) {
  sheet::FileReplacement file(database.string());
  if (!file.valid()) throw Failure{"cannot create a file beside " + database.string() + ": " + std::strerror(errno)};
  // The sharing's mode from the first byte on, whatever the umask.
  const mode_t mode = modesFor(request.sharing).file;
  if ((request.sharing.group && fchown(file.descriptor(), static_cast<uid_t>(-1), *request.sharing.group) != 0) ||
      fchmod(file.descriptor(), mode) != 0)
    throw Failure{"cannot set the access of a new file beside " + database.string() + ": " + std::strerror(errno)};
  std::string error;
  {
    db::DatabaseHandle handle =
        db::openDatabase(file.descriptorPath(), db::records::kPassword, db::OpenMode::kCreateNew, &error);
    if (!handle) throw Failure{"cannot create " + database.string() + ": " + error};
    runStatements(handle.get(), kJournalInMemory);
    if (!db::records::createSchema(handle.get(), &error)) throw Failure{"cannot create the tables: " + error};
    if (request.withDemoData) fillDemoData(handle.get(), settings, request);
  }
  if (!file.commit(error)) throw Failure{"cannot move the new database into place: " + error};
}

std::string made(bool wasMade) { return wasMade ? "made" : "kept (it existed)"; }

std::string accessText(const Sharing& sharing) {
  if (sharing.group) return "shared with group " + groupName(*sharing.group) + " (folder 2770, files 0660)";
  return "private to its owner (folder 0700, files 0600)";
}

}  // namespace

Report makeProgramFolder(const FolderRequest& request) {
  const fs::path database = request.folder / db::records::kFileName;
  try {
    ensureFolder(request.folder, request.sharing);
    std::error_code error;
    if (fs::exists(database, error) && !request.replaceDatabase)
      throw Failure{database.string() + " already exists; nothing was changed (--force replaces it)"};
    const fs::path settingsFile = request.folder / kSettingsFileName;
    bool settingsMade = makeIfMissing(settingsFile, settingsFileText(sampleSettings()), request.sharing);
    bool logMade = makeIfMissing(request.folder / kLogFileName, "", request.sharing);
    Report formTemplate = makeFormTemplateIfMissing(request.folder);
    if (!formTemplate.ok) throw Failure{formTemplate.message};
    setAccess(request.folder / kFormTemplateFileName, modesFor(request.sharing).file, request.sharing);
    auto settings = readSettingsFile(settingsFile);
    if (!settings) throw Failure{"cannot read " + settingsFile.string()};
    buildDatabase(database, *settings, request);
    std::string message = database.string() + ": made" +
                          (request.withDemoData ? " with " + std::to_string(request.learners) + " learners and " +
                                                      std::to_string(request.bookings) + " bookings"
                                                : std::string()) +
                          "\n" + settingsFile.string() + ": " + made(settingsMade) + "\n" +
                          (request.folder / kLogFileName).string() + ": " + made(logMade) + "\n" +
                          formTemplate.message + "\n" + request.folder.string() + ": " + accessText(request.sharing) +
                          "\n";
    return {true, message};
  } catch (const Failure& failure) { return {false, failure.message}; } catch (const fs::filesystem_error& failure) {
    return {false, failure.what()};
  }
}

}  // namespace admin
