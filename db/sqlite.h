// Owning handles over the SQLCipher engine and the one way this program opens
// an encrypted database file.
#pragma once

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlcipher/sqlite3.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace db {

struct DatabaseCloser {
  void operator()(sqlite3* handle) const { sqlite3_close_v2(handle); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, DatabaseCloser>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

enum class OpenMode {
  kExistingOnly,  // the program: a missing file is an error, never created
  kCreateNew,     // the admin tool making a program folder
};

// Why an open failed: another connection held a lock on the file for longer
// than the open waits, or anything else (missing, empty, not a database,
// wrong key), which waiting does not change.
enum class OpenFailure { kNone, kLocked, kOther };

// Opens the file at a native UTF-8 path, applies the key (none when the key
// is empty) and proves with a first read that the key fits and the file is a
// database. An existing file must hold at least one page: an empty file is
// not a database. Sets the durability settings every connection uses.
// Returns null on any failure; `error` (when given) receives the engine's
// text and `failure` (when given) the kind of failure.
DatabaseHandle openDatabase(std::string_view pathUtf8, std::string_view keyUtf8, OpenMode mode,
                            std::string* error = nullptr, OpenFailure* failure = nullptr);

// How long an open waits for a lock that another connection holds for a
// moment (five seconds). Tests that hold a lock on purpose shorten it.
std::chrono::milliseconds openLockWait();
void setOpenLockWait(std::chrono::milliseconds wait);

// Runs statements that return no rows (settings, schema, transaction control).
bool runScript(sqlite3* database, const char* sqlUtf8, std::string* error = nullptr);

}  // namespace db
