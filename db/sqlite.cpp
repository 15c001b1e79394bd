#include "db/sqlite.h"

namespace db {
namespace {

// A rollback journal that is deleted at commit, with full syncs: a commit that
// was reported as done is in the main file itself and survives a killed
// process or a power loss, and copying hj.mdb alone always copies every
// committed change (no side file holds committed data, unlike a write-ahead log).
constexpr const char* kDurabilitySettings = "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;";

// Pages are decrypted into the page cache. A cache of up to 64 MiB holds a
// registry of 100 000 learners whole, so reopening the student list does not
// decrypt the file again (the engine's default holds 2 MiB).
constexpr const char* kCacheSettings = "PRAGMA cache_size=-65536;";

// How long the first read waits for a lock that another process (the
// administrator's sqlcipher client, say) holds for a moment.
constexpr int kOpenLockWaitMs = 5000;

// The first read: fails with "file is encrypted or is not a database" when the
// key does not fit or the file is something else.
constexpr const char* kFirstRead = "SELECT count(*) FROM sqlite_master";

void setError(std::string* error, sqlite3* database, std::string_view fallback) {
  if (!error) return;
  *error = database ? sqlite3_errmsg(database) : std::string(fallback);
}

int64_t pageCount(sqlite3* database) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database, "PRAGMA page_count", -1, &raw, nullptr) != SQLITE_OK) return -1;
  StatementHandle statement(raw);
  if (sqlite3_step(raw) != SQLITE_ROW) return -1;
  return sqlite3_column_int64(raw, 0);
}

}  // namespace

bool runScript(sqlite3* database, const char* sqlUtf8, std::string* error) {
  char* message = nullptr;
  int rc = sqlite3_exec(database, sqlUtf8, nullptr, nullptr, &message);
  if (rc != SQLITE_OK && error) *error = message ? message : sqlite3_errstr(rc);
  sqlite3_free(message);
  return rc == SQLITE_OK;
}

DatabaseHandle openDatabase(std::string_view pathUtf8, std::string_view keyUtf8, OpenMode mode, std::string* error) {
  // Never SQLITE_OPEN_CREATE for the program: a missing file stays missing.
  int flags = SQLITE_OPEN_READWRITE;
  if (mode == OpenMode::kCreateNew) flags |= SQLITE_OPEN_CREATE;
  std::string path(pathUtf8);
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  DatabaseHandle database(raw);
  if (rc != SQLITE_OK) {
    setError(error, raw, "out of memory");
    return nullptr;
  }
  if (!keyUtf8.empty() && sqlite3_key(raw, keyUtf8.data(), static_cast<int>(keyUtf8.size())) != SQLITE_OK) {
    setError(error, raw, "");
    return nullptr;
  }
  sqlite3_busy_timeout(raw, kOpenLockWaitMs);
  if (!runScript(raw, kFirstRead, error)) return nullptr;
  if (mode == OpenMode::kExistingOnly && pageCount(raw) <= 0) {
    if (error) *error = "file is encrypted or is not a database";
    return nullptr;
  }
  if (!runScript(raw, kDurabilitySettings, error) || !runScript(raw, kCacheSettings, error)) return nullptr;
  return database;
}

}  // namespace db
