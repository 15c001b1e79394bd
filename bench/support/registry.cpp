#include "bench/support/registry.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include "db/records_database.h"
#include "runtime/encoding.h"
#include "tests/support/temp_folder.h"
#include "tools/program_folder.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kDemoSeed = 20240301;
// Written last: a folder without it was left half made and is made again.
constexpr const char* kReadyMark = ".bench-ready";
constexpr const char* kDataRootVariable = "JX_BENCH_DATA";

// Far after every demo exam, so that no demo booking contains these texts.
struct DateQueryDay {
  int32_t bookings;
  const char* date;
};
constexpr DateQueryDay kDateQueryDays[] = {{10, "2031年3月5日"}, {100, "2031年2月5日"}, {1000, "2031年1月5日"}};

const fs::path& dataRoot() {
  static const fs::path shared = [] {
    const char* root = std::getenv(kDataRootVariable);
    return root && *root ? fs::path(root) : fs::path();
  }();
  if (!shared.empty()) return shared;
  static const jxtest::TempFolder temporary("jx-bench");
  return temporary.path();
}

// The extra bookings of subject one that the date queries find: for each
// day, that many bookings of learners taken in table order.
void addDateQueryBookings(const fs::path& folder, int32_t learners) {
  DirectDatabase database(folder);
  std::vector<std::string> identities;
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database.get(), "SELECT 身份证号码 FROM student ORDER BY rowid", -1, &raw, nullptr) !=
      SQLITE_OK)
    fail(sqlite3_errmsg(database.get()));
  db::StatementHandle select(raw);
  while (sqlite3_step(raw) == SQLITE_ROW)
    identities.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
  if (identities.empty() || static_cast<int32_t>(identities.size()) != learners)
    fail("the demo registry is incomplete");

  execute(database.get(), "BEGIN");
  if (sqlite3_prepare_v2(database.get(), "INSERT INTO one (身份证号码, 考试时间) VALUES (?, ?)", -1, &raw, nullptr) !=
      SQLITE_OK)
    fail(sqlite3_errmsg(database.get()));
  db::StatementHandle insert(raw);
  for (const DateQueryDay& day : kDateQueryDays) {
    for (int32_t i = 0; i < day.bookings; ++i) {
      const std::string& identity = identities[static_cast<size_t>(i) % identities.size()];
      sqlite3_reset(raw);
      sqlite3_bind_text(raw, 1, identity.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_text(raw, 2, day.date, -1, SQLITE_STATIC);
      if (sqlite3_step(raw) != SQLITE_DONE) fail(sqlite3_errmsg(database.get()));
    }
  }
  execute(database.get(), "COMMIT");
}

fs::path makeRegistry(int32_t learners) {
  fs::path folder = dataRoot() / ("learners-" + std::to_string(learners));
  if (fs::exists(folder / kReadyMark)) return folder;
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  std::fprintf(stderr, "making a registry of %d learners in %s\n", learners, folder.c_str());
  admin::FolderRequest request;
  request.folder = folder;
  request.replaceDatabase = true;
  request.withDemoData = true;
  request.learners = static_cast<size_t>(learners);
  request.bookings = static_cast<size_t>(learners) * kBookingsPerLearner;
  request.seed = kDemoSeed;
  admin::Report report = admin::makeProgramFolder(request);
  if (!report.ok) fail(report.message);
  addDateQueryBookings(folder, learners);
  std::ofstream(folder / kReadyMark) << "made\n";
  return folder;
}

}  // namespace

void fail(const std::string& message) {
  std::fprintf(stderr, "benchmark setup failed: %s\n", message.c_str());
  // Ended at once, without the destructors of static objects: exit() would
  // destroy the window manager's windows after Qt's own globals (its
  // accessibility among them) and crash with SIGSEGV, status 139, hiding
  // this status and message.
  std::fflush(nullptr);
  std::_Exit(1);
}

const fs::path& registryFolder(int32_t learners) {
  static std::map<int32_t, fs::path> folders;
  auto found = folders.find(learners);
  if (found == folders.end()) {
    found = folders.emplace(learners, makeRegistry(learners)).first;
    setKeptBackups(found->second, 0);
  }
  return found->second;
}

const fs::path& graduatesFolder(int32_t learners) {
  static std::map<int32_t, fs::path> folders;
  auto found = folders.find(learners);
  if (found != folders.end()) return found->second;
  const fs::path& registry = registryFolder(learners);
  fs::path folder = dataRoot() / ("graduates-" + std::to_string(learners));
  if (!fs::exists(folder / kReadyMark)) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::copy(registry, folder, fs::copy_options::recursive);
    fs::remove(folder / kReadyMark);
    execute(DirectDatabase(folder).get(), "INSERT INTO graduation SELECT * FROM student");
    std::ofstream(folder / kReadyMark) << "made\n";
  }
  setKeptBackups(folder, 0);
  return folders.emplace(learners, folder).first->second;
}

void setKeptBackups(const fs::path& folder, int32_t kept) {
  const std::string section = rt::utf8ToGb("[自动备份保留份数]");
  const fs::path file = folder / "systeminfo.ini";
  std::ifstream in(file, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  if (size_t at = text.find(section); at != std::string::npos) text.resize(at);
  text += section + "\n" + rt::utf8ToGb("自动备份保留份数=") + std::to_string(kept) + "\n";
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

std::string dateWithBookings(int32_t bookings) {
  for (const DateQueryDay& day : kDateQueryDays)
    if (day.bookings == bookings) return day.date;
  fail("no date query day with " + std::to_string(bookings) + " bookings");
}

DirectDatabase::DirectDatabase(const fs::path& folder) {
  std::string error;
  handle_ = db::openDatabase((folder / db::records::kFileName).string(), db::records::kPassword,
                             db::OpenMode::kExistingOnly, &error);
  if (!handle_) fail("cannot open the database in " + folder.string() + ": " + error);
}

ReadTotals readRows(sqlite3* database, const std::string& sqlUtf8) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database, sqlUtf8.c_str(), static_cast<int>(sqlUtf8.size()), &raw, nullptr) != SQLITE_OK)
    fail(std::string(sqlite3_errmsg(database)) + ": " + sqlUtf8);
  db::StatementHandle statement(raw);
  ReadTotals totals;
  const int columns = sqlite3_column_count(raw);
  while (sqlite3_step(raw) == SQLITE_ROW) {
    ++totals.rows;
    for (int c = 0; c < columns; ++c) {
      if (sqlite3_column_text(raw, c)) totals.bytes += sqlite3_column_bytes(raw, c);
    }
  }
  return totals;
}

void execute(sqlite3* database, const std::string& sqlUtf8) {
  std::string error;
  if (!db::runScript(database, sqlUtf8.c_str(), &error)) fail(error + ": " + sqlUtf8);
}

LearnerFields learnerAt(sqlite3* database, int32_t position) {
  std::string sql = "SELECT * FROM student ORDER BY rowid LIMIT 1 OFFSET " + std::to_string(position);
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) fail(sqlite3_errmsg(database));
  db::StatementHandle statement(raw);
  if (sqlite3_step(raw) != SQLITE_ROW) fail("no learner at position " + std::to_string(position));
  LearnerFields fields;
  for (int c = 0; c < sqlite3_column_count(raw); ++c) {
    const auto* text = sqlite3_column_text(raw, c);
    fields.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
  }
  return fields;
}

}  // namespace bench
