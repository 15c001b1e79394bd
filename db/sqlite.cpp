#include "db/sqlite.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <mutex>
#include <optional>

#include "db/derived_keys.h"

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
constexpr std::chrono::milliseconds kDefaultOpenLockWait{5000};
std::atomic<int64_t> openLockWaitMs{kDefaultOpenLockWait.count()};

// How a file this process holds open is named for a library that wants a
// name (the admin tool makes a new database so, under a temporary name).
constexpr std::string_view kOwnDescriptors = "/proc/self/fd/";

// The first read: fails with "file is encrypted or is not a database" when the
// key does not fit or the file is something else.
constexpr const char* kFirstRead = "SELECT count(*) FROM sqlite_master";

void setError(std::string* error, sqlite3* database, std::string_view fallback) {
  if (!error) return;
  *error = database ? sqlite3_errmsg(database) : std::string(fallback);
}

// Why the engine refused: a lock that another connection holds (the engine
// answers busy or locked), or anything else.
OpenFailure failureOf(int code) {
  code &= 0xFF;
  return code == SQLITE_BUSY || code == SQLITE_LOCKED ? OpenFailure::kLocked : OpenFailure::kOther;
}

// The pages of the file; -1, with the engine's code, when it cannot tell.
int64_t pageCount(sqlite3* database, int& code) {
  sqlite3_stmt* raw = nullptr;
  if ((code = sqlite3_prepare_v2(database, "PRAGMA page_count", -1, &raw, nullptr)) != SQLITE_OK) return -1;
  StatementHandle statement(raw);
  if ((code = sqlite3_step(raw)) != SQLITE_ROW) return -1;
  code = SQLITE_OK;
  return sqlite3_column_int64(raw, 0);
}

// The engine opens the database, its journal and its temporary files by
// name, and this version of it has no flag that refuses a symbolic link: a
// link planted at hj.mdb-journal in a folder others may write would have a
// commit write through it into a file outside the folder. Every file the
// engine opens is therefore opened without following a link at its last
// name; only a folder (which the engine opens to sync a new journal's entry)
// may be reached through one. (The database's own name is checked before
// the engine sees it: see openDatabase.)
int openWithoutFollowing(const char* path, int flags, int mode) {
  int descriptor = open(path, flags | O_NOFOLLOW | O_CLOEXEC, mode);
  if (descriptor >= 0 || errno != ELOOP || (flags & (O_WRONLY | O_RDWR | O_CREAT)) != 0) return descriptor;
  struct stat target {};
  if (stat(path, &target) != 0 || !S_ISDIR(target.st_mode)) {
    errno = ELOOP;
    return -1;
  }
  return open(path, flags | O_DIRECTORY | O_CLOEXEC, mode);
}

// Installed once, before the first file is opened, in the engine's default
// (unix) file layer, which takes its system calls from a table for this.
void refuseLinksOnce() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    sqlite3_initialize();
    sqlite3_vfs* files = sqlite3_vfs_find(nullptr);
    if (files && files->iVersion >= 3 && files->xSetSystemCall)
      files->xSetSystemCall(files, "open", reinterpret_cast<sqlite3_syscall_ptr>(&openWithoutFollowing));
  });
}

}  // namespace

std::chrono::milliseconds openLockWait() { return std::chrono::milliseconds(openLockWaitMs.load()); }
void setOpenLockWait(std::chrono::milliseconds wait) { openLockWaitMs = wait.count(); }

bool runScript(sqlite3* database, const char* sqlUtf8, std::string* error) {
  char* message = nullptr;
  int rc = sqlite3_exec(database, sqlUtf8, nullptr, nullptr, &message);
  if (rc != SQLITE_OK && error) *error = message ? message : sqlite3_errstr(rc);
  sqlite3_free(message);
  return rc == SQLITE_OK;
}

namespace {

// Opens the file, applies the key text (a passphrase or raw key data) and
// reads once: null, with the engine's code in `code`, when that fails.
DatabaseHandle openAndReadOnce(const std::string& path, int flags, std::string_view keyText, std::string* error,
                               int& code) {
  code = SQLITE_OK;
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  DatabaseHandle database(raw);
  if (rc != SQLITE_OK) {
    code = rc;
    setError(error, raw, "out of memory");
    return nullptr;
  }
  if (!keyText.empty() && sqlite3_key(raw, keyText.data(), static_cast<int>(keyText.size())) != SQLITE_OK) {
    code = sqlite3_errcode(raw);
    setError(error, raw, "");
    return nullptr;
  }
  sqlite3_busy_timeout(raw, static_cast<int>(std::clamp<int64_t>(openLockWaitMs.load(), 0, INT_MAX)));
  if (!runScript(raw, kFirstRead, error)) {
    code = sqlite3_errcode(raw);
    return nullptr;
  }
  return database;
}

// An existing file is opened with the key derived for its salt when there is
// one (see derived_keys.h), else, or when that key does not fit, with the
// passphrase.
DatabaseHandle openExistingWithPassphrase(const std::string& path, int flags, std::string_view passphrase,
                                          std::string* error, int& code) {
  std::optional<DerivedKey> derived = derivedKeyFor(path, passphrase);
  if (!derived) return openAndReadOnce(path, flags, passphrase, error, code);
  DatabaseHandle database = openAndReadOnce(path, flags, derived->rawKeyText, error, code);
  if (database) {
    if (derived->derivedNow) keepDerivedKey(passphrase, *derived);
    return database;
  }
  if ((code & 0xFF) != SQLITE_NOTADB) return nullptr;
  database = openAndReadOnce(path, flags, passphrase, error, code);
  if (database) forgetDerivedKey(passphrase, *derived);
  return database;
}

// A new file (none yet, or empty) is made with a key derived here for a new
// salt, and the key is kept; a file with content is opened as it is.
DatabaseHandle createWithPassphrase(const std::string& path, int flags, std::string_view passphrase, std::string* error,
                                    int& code) {
  struct stat entry {};
  if (stat(path.c_str(), &entry) == 0 && entry.st_size > 0)
    return openExistingWithPassphrase(path, flags, passphrase, error, code);
  std::optional<DerivedKey> key = keyForNewFile(passphrase);
  if (!key) return openAndReadOnce(path, flags, passphrase, error, code);
  DatabaseHandle database = openAndReadOnce(path, flags, rawKeyTextWithSalt(*key), error, code);
  if (database) keepDerivedKey(passphrase, *key);
  return database;
}

// Opens with the passphrase in the way the mode asks for.
DatabaseHandle openWithKey(const std::string& path, int flags, OpenMode mode, std::string_view keyUtf8,
                           std::string* error, int& code) {
  if (keyUtf8.empty()) return openAndReadOnce(path, flags, keyUtf8, error, code);
  if (mode == OpenMode::kCreateNew) return createWithPassphrase(path, flags, keyUtf8, error, code);
  return openExistingWithPassphrase(path, flags, keyUtf8, error, code);
}

}  // namespace

DatabaseHandle openDatabase(std::string_view pathUtf8, std::string_view keyUtf8, OpenMode mode, std::string* error,
                            OpenFailure* failure) {
  OpenFailure unused;
  OpenFailure& why = failure ? *failure : unused;
  why = OpenFailure::kOther;
  // Never SQLITE_OPEN_CREATE for the program: a missing file stays missing.
  int flags = SQLITE_OPEN_READWRITE;
  if (mode == OpenMode::kCreateNew) flags |= SQLITE_OPEN_CREATE;
  std::string path(pathUtf8);
  refuseLinksOnce();
  // The engine resolves a link at the database's own name before it opens
  // anything (and would then keep its journal beside the link's target), so
  // a database that is a link is refused here; but for a file this process
  // made and holds open, named through its descriptor.
  struct stat entry {};
  if (!path.starts_with(kOwnDescriptors) && lstat(path.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode)) {
    if (error) *error = "the database is a symbolic link";
    return nullptr;
  }
  int code = SQLITE_OK;
  DatabaseHandle database = openWithKey(path, flags, mode, keyUtf8, error, code);
  if (!database) {
    why = failureOf(code);
    return nullptr;
  }
  sqlite3* raw = database.get();
  if (mode == OpenMode::kExistingOnly && pageCount(raw, code) <= 0) {
    why = failureOf(code);
    if (error) *error = "file is encrypted or is not a database";
    return nullptr;
  }
  if (!runScript(raw, kDurabilitySettings, error) || !runScript(raw, kCacheSettings, error)) {
    why = failureOf(sqlite3_errcode(raw));
    return nullptr;
  }
  why = OpenFailure::kNone;
  return database;
}

}  // namespace db
