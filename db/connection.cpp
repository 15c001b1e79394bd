#include "db/connection.h"

#include <climits>

#include "db/connection_text.h"
#include "db/texts.h"
#include "runtime/encoding.h"

namespace db {
namespace {

// The deadline is checked every this many engine steps.
constexpr int kProgressInterval = 1000;
constexpr int kMillisecondsPerSecond = 1000;
// SQLite names a private temporary database so; as a file name it must not
// be read that way.
constexpr std::string_view kMemoryDatabaseName = ":memory:";

// The file-system path of a data source, never one that makes the engine
// invent a database of its own.
std::optional<std::string> nativeDatabasePath(std::string_view pathGb) {
  if (pathGb.empty()) return std::nullopt;
  std::string path = rt::toNativePath(pathGb);
  if (path == kMemoryDatabaseName) path = "./" + path;
  return path;
}

}  // namespace

std::unique_ptr<rt::UnitObject> Connection::create(const rt::UnitContext&) { return std::make_unique<Connection>(); }

bool Connection::openAccess(std::string_view pathGb, std::string_view passwordGb) {
  return open(buildConnectionText(pathGb, passwordGb));
}

bool Connection::open(std::string_view connectionTextGb) {
  if (!connectionTextGb.empty()) connectionText_ = connectionTextGb;
  if (connectionText_.empty()) return false;
  database_.reset();
  auto source = parseConnectionText(connectionText_);
  if (!source) return false;
  auto path = nativeDatabasePath(source->path);
  if (!path) return false;
  database_ = openDatabase(*path, toUtf8(source->password), OpenMode::kExistingOnly);
  if (!database_) return false;
  sqlite3_progress_handler(database_.get(), kProgressInterval, &Connection::onProgress, this);
  return true;
}

Connection::TimeLimit::TimeLimit(Connection& connection) : connection_(connection) {
  if (!connection_.database_) return;
  int32_t seconds = connection_.commandTimeout_;
  if (seconds > 0) connection_.deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int waitMs = seconds > 0 && seconds < INT_MAX / kMillisecondsPerSecond ? seconds * kMillisecondsPerSecond : INT_MAX;
  sqlite3_busy_timeout(connection_.database_.get(), waitMs);
}

Connection::TimeLimit::~TimeLimit() { connection_.deadline_.reset(); }

int Connection::onProgress(void* self) {
  auto& connection = *static_cast<Connection*>(self);
  return connection.deadline_ && std::chrono::steady_clock::now() > *connection.deadline_ ? 1 : 0;
}

StatementHandle Connection::prepareSingle(std::string_view sqlUtf8) {
  if (!database_ || sqlUtf8.size() > static_cast<size_t>(INT_MAX)) return nullptr;
  const char* end = sqlUtf8.data() + sqlUtf8.size();
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(database_.get(), sqlUtf8.data(), static_cast<int>(sqlUtf8.size()), &raw, &tail);
  StatementHandle statement(raw);
  if (rc != SQLITE_OK || !statement) return nullptr;
  if (tail && tail < end) {
    // What follows may only be blanks, semicolons and comments: preparing it
    // must find no statement (and runs nothing).
    sqlite3_stmt* next = nullptr;
    rc = sqlite3_prepare_v2(database_.get(), tail, static_cast<int>(end - tail), &next, nullptr);
    StatementHandle rest(next);
    if (rc != SQLITE_OK || rest) return nullptr;
  }
  return statement;
}

bool Connection::executeSql(std::string_view statementGb, std::optional<int32_t> timeoutSeconds) {
  const int32_t saved = commandTimeout_;
  if (timeoutSeconds) commandTimeout_ = *timeoutSeconds;
  bool done = false;
  {
    TimeLimit limit(*this);
    if (StatementHandle statement = prepareSingle(toUtf8(statementGb))) {
      int rc;
      while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
      }
      done = rc == SQLITE_DONE;
    }
  }
  commandTimeout_ = saved;
  return done;
}

bool Connection::runControl(const char* sqlUtf8) {
  TimeLimit limit(*this);
  return runScript(database_.get(), sqlUtf8);
}

// The engine has one level of transaction: a second begin answers false, as
// do a commit or rollback with none open.
bool Connection::beginTransaction() {
  if (!database_ || !sqlite3_get_autocommit(database_.get())) return false;
  return runControl("BEGIN IMMEDIATE");
}

bool Connection::commitTransaction() {
  if (!database_ || sqlite3_get_autocommit(database_.get())) return false;
  return runControl("COMMIT");
}

bool Connection::rollbackTransaction() {
  if (!database_ || sqlite3_get_autocommit(database_.get())) return false;
  return runControl("ROLLBACK");
}

}  // namespace db
