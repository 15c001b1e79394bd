#include "tools/program_folder.h"

#include <chrono>
#include <fstream>
#include <system_error>

#include "db/records_database.h"
#include "db/schema.h"
#include "db/sqlite.h"
#include "tools/demo_data.h"
#include "tools/form_template.h"
#include "tools/settings.h"

namespace admin {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPartSuffix = ".part";
// A large page cache while filling: the identity indexes are written in
// random order.
constexpr const char* kBulkSettings = "PRAGMA cache_size=-262144;";

struct Failure {
  std::string message;
};

void ensureFolder(const fs::path& folder) {
  std::error_code error;
  if (fs::exists(folder, error)) {
    if (!fs::is_directory(folder, error)) throw Failure{folder.string() + " exists and is not a folder"};
    return;
  }
  if (!fs::create_directories(folder, error) && error)
    throw Failure{"cannot create the folder " + folder.string() + ": " + error.message()};
}

void writeFile(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) throw Failure{"cannot write " + file.string() + " (is the folder writable?)"};
}

// Keeps a file that exists; returns whether it was made.
bool makeIfMissing(const fs::path& file, const std::string& bytes) {
  std::error_code error;
  if (fs::exists(file, error)) return false;
  writeFile(file, bytes);
  return true;
}

void run(sqlite3* database, const char* sql) {
  std::string error;
  if (!db::runScript(database, sql, &error)) throw Failure{std::string("database error: ") + error};
}

db::StatementHandle prepare(sqlite3* database, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    throw Failure{std::string("database error: ") + sqlite3_errmsg(database)};
  return db::StatementHandle(raw);
}

void insertRow(sqlite3* database, sqlite3_stmt* statement, const std::string* values, size_t count) {
  sqlite3_reset(statement);
  for (size_t i = 0; i < count; ++i)
    sqlite3_bind_text(statement, static_cast<int>(i + 1), values[i].data(), static_cast<int>(values[i].size()),
                      SQLITE_STATIC);
  if (sqlite3_step(statement) != SQLITE_DONE)
    throw Failure{std::string("database error: ") + sqlite3_errmsg(database)};
}

std::string insertStatement(const db::records::Table& table) {
  std::string columns, marks;
  for (size_t i = 0; i < table.columns.size(); ++i) {
    columns.append(i ? ",\"" : "\"").append(table.columns[i]).append("\"");
    marks += i ? ",?" : "?";
  }
  return "INSERT INTO \"" + std::string(table.name) + "\" (" + columns + ") VALUES (" + marks + ")";
}

void fillDemoData(sqlite3* database, const Settings& settings, const FolderRequest& request) {
  auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
  DemoGenerator generator(settings, request.seed, today);
  std::vector<Learner> learners = generator.learners(request.learners);
  std::vector<Booking> bookings = generator.bookings(learners, request.bookings);
  run(database, kBulkSettings);
  run(database, "BEGIN");
  db::StatementHandle student = prepare(database, insertStatement(db::records::studentTable()));
  for (const Learner& learner : learners) insertRow(database, student.get(), learner.fields.data(), kLearnerFieldCount);
  std::vector<db::StatementHandle> exams;
  for (const auto& table : db::records::examTables()) exams.push_back(prepare(database, insertStatement(table)));
  for (const Booking& booking : bookings) {
    const std::string values[] = {booking.identity, booking.examDate, booking.result};
    insertRow(database, exams[static_cast<size_t>(booking.subject)].get(), values, std::size(values));
  }
  run(database, "COMMIT");
}

void buildDatabase(const fs::path& file, const Settings& settings, const FolderRequest& request) {
  std::string error;
  db::DatabaseHandle database =
      db::openDatabase(file.string(), db::records::kPassword, db::OpenMode::kCreateNew, &error);
  if (!database) throw Failure{"cannot create " + file.string() + ": " + error};
  if (!db::records::createSchema(database.get(), &error)) throw Failure{"cannot create the tables: " + error};
  if (request.withDemoData) fillDemoData(database.get(), settings, request);
}

void removeQuietly(const fs::path& file) {
  std::error_code ignored;
  fs::remove(file, ignored);
  fs::remove(fs::path(file.string() + "-journal"), ignored);
}

std::string made(bool wasMade) { return wasMade ? "made" : "kept (it existed)"; }

}  // namespace

FolderReport makeProgramFolder(const FolderRequest& request) {
  const fs::path database = request.folder / db::records::kFileName;
  const fs::path part = fs::path(database.string() + std::string(kPartSuffix));
  try {
    ensureFolder(request.folder);
    std::error_code error;
    if (fs::exists(database, error) && !request.replaceDatabase)
      throw Failure{database.string() + " already exists; nothing was changed (--force replaces it)"};
    const fs::path settingsFile = request.folder / kSettingsFileName;
    bool settingsMade = makeIfMissing(settingsFile, settingsFileText(sampleSettings()));
    bool logMade = makeIfMissing(request.folder / kLogFileName, "");
    TemplateReport formTemplate = makeFormTemplateIfMissing(request.folder);
    if (!formTemplate.ok) throw Failure{formTemplate.message};
    auto settings = readSettingsFile(settingsFile);
    if (!settings) throw Failure{"cannot read " + settingsFile.string()};
    removeQuietly(part);
    buildDatabase(part, *settings, request);
    fs::rename(part, database, error);
    if (error) throw Failure{"cannot move the new database into place: " + error.message()};
    std::string message = database.string() + ": made" +
                          (request.withDemoData ? " with " + std::to_string(request.learners) + " learners and " +
                                                      std::to_string(request.bookings) + " bookings"
                                                : std::string()) +
                          "\n" + settingsFile.string() + ": " + made(settingsMade) + "\n" +
                          (request.folder / kLogFileName).string() + ": " + made(logMade) + "\n" +
                          formTemplate.message + "\n";
    return {true, message};
  } catch (const Failure& failure) {
    removeQuietly(part);
    return {false, failure.message};
  } catch (const fs::filesystem_error& failure) {
    removeQuietly(part);
    return {false, failure.what()};
  }
}

}  // namespace admin
