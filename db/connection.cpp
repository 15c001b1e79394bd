#include "db/connection.h"

#include <algorithm>
#include <climits>

#include "db/connection_text.h"
#include "db/texts.h"
#include "runtime/encoding.h"

namespace db {
namespace {

// Like searches on a table that the engine answers at one state of the
// database before the whole table is fetched and kept: fetching it costs
// about as much as a few searches.
constexpr int32_t kSearchesBeforeKeeping = 2;

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
  forgetKeptTables();
  dataVersion_.reset();
  database_.reset();
  openWhenUnlocked_ = false;
  auto source = parseConnectionText(connectionText_);
  if (!source) return false;
  auto path = nativeDatabasePath(source->path);
  if (!path) return false;
  OpenFailure failure = OpenFailure::kNone;
  database_ = openDatabase(*path, toUtf8(source->password), OpenMode::kExistingOnly, nullptr, &failure);
  if (!database_) {
    // A lock ends; a missing, empty or foreign file stays what it is.
    openWhenUnlocked_ = failure == OpenFailure::kLocked;
    return false;
  }
  sqlite3_progress_handler(database_.get(), kProgressInterval, &Connection::onProgress, this);
  return true;
}

// The open waits for the lock as long as the first open did; a statement on
// an open connection would wait even longer (the command time-out).
bool Connection::openAgainIfLocked() {
  if (!database_ && openWhenUnlocked_) open({});
  return database_ != nullptr;
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
  forgetKeptTables();
  openAgainIfLocked();
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
  forgetKeptTables();
  TimeLimit limit(*this);
  return runScript(database_.get(), sqlUtf8);
}

// The engine has one level of transaction: a second begin answers false, as
// do a commit or rollback with none open.
bool Connection::beginTransaction() {
  if (!openAgainIfLocked() || !sqlite3_get_autocommit(database_.get())) return false;
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

// ------------------------------------------------------------ kept tables

void Connection::forgetKeptTables() {
  ++statementsRun_;
  keptTables_.forget();
  likeChecked_.reset();
}

std::optional<DataStamp> Connection::readStamp() {
  if (!database_ || !sqlite3_get_autocommit(database_.get())) return std::nullopt;
  if (!dataVersion_) dataVersion_ = prepareSingle("PRAGMA data_version");
  if (!dataVersion_) return std::nullopt;
  sqlite3_stmt* statement = dataVersion_.get();
  sqlite3_reset(statement);
  std::optional<DataStamp> stamp;
  if (sqlite3_step(statement) == SQLITE_ROW)
    stamp = DataStamp{statementsRun_, sqlite3_total_changes(database_.get()), sqlite3_column_int64(statement, 0)};
  sqlite3_reset(statement);
  return stamp;
}

bool Connection::isPlainScan(std::string_view sqlUtf8) {
  StatementHandle plan = prepareSingle("EXPLAIN QUERY PLAN " + std::string(sqlUtf8));
  if (!plan) return false;
  constexpr int kDetailColumn = 3;
  int steps = 0;
  bool plain = false;
  while (sqlite3_step(plan.get()) == SQLITE_ROW) {
    const auto* detail = reinterpret_cast<const char*>(sqlite3_column_text(plan.get(), kDetailColumn));
    std::string_view text = detail ? detail : "";
    plain = ++steps == 1 && text.starts_with("SCAN ") && text.find("INDEX") == std::string_view::npos &&
            text.find("VIRTUAL") == std::string_view::npos;
  }
  return plain && steps == 1;
}

bool Connection::likeIsDefault(const DataStamp& stamp) {
  if (likeChecked_ && likeChecked_->first == stamp) return likeChecked_->second;
  // ASCII letters match without case, other letters only exactly, '_' one character.
  StatementHandle probe = prepareSingle("SELECT 'aXb' LIKE '%x%', 'ä' LIKE 'Ä', '张x' LIKE '_X'");
  bool isDefault = probe && sqlite3_step(probe.get()) == SQLITE_ROW && sqlite3_column_int(probe.get(), 0) == 1 &&
                   sqlite3_column_int(probe.get(), 1) == 0 && sqlite3_column_int(probe.get(), 2) == 1;
  likeChecked_ = {stamp, isDefault};
  return isDefault;
}

std::shared_ptr<const Snapshot> Connection::keptRows(std::string_view sqlUtf8) {
  auto query = parseTableQuery(sqlUtf8);
  if (!query) return nullptr;
  auto stamp = readStamp();
  if (!stamp) return nullptr;
  TableCache::Entry* entry = keptTables_.find(query->table, *stamp);
  if (!entry && query->like && keptTables_.countSearchWithoutEntry(query->table, *stamp) > kSearchesBeforeKeeping)
    entry = fetchWholeTable(query->table, *stamp);
  if (!entry) return nullptr;
  if (!query->like) return entry->rows;
  int32_t column = entry->rows->findColumn(query->column);
  if (column < 0) return nullptr;
  // A pattern the engine would refuse as too long is left to the engine.
  auto patternLimit = static_cast<size_t>(sqlite3_limit(database_.get(), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1));
  if (query->value.size() + 2 > patternLimit) return nullptr;
  auto at = static_cast<size_t>(column);
  int8_t& answerable = entry->likeAnswerable[at];
  if (answerable < 0) {
    std::optional<FoldedColumn> folded;
    if (likeIsDefault(*stamp) && isPlainScan(sqlUtf8)) folded = foldColumn(*entry->rows, column);
    if (folded) entry->folded[at] = std::make_shared<const FoldedColumn>(std::move(*folded));
    answerable = folded ? 1 : 0;
  }
  if (!answerable) return nullptr;
  std::vector<int32_t> rows = rowsContaining(*entry->rows, *entry->folded[at], query->value);
  // Every row found: the kept snapshot itself, shared, not a copy.
  if (static_cast<int32_t>(rows.size()) == entry->rows->rowCount()) return entry->rows;
  return Snapshot::rowsOf(entry->rows, std::move(rows));
}

TableCache::Entry* Connection::fetchWholeTable(const std::string& table, const DataStamp& stamp) {
  std::string sql = "SELECT * FROM " + quotedIdentifier(table);
  StatementHandle statement = prepareSingle(sql);
  if (!statement) return nullptr;
  auto rows = std::make_shared<Snapshot>();
  if (!rows->fetch(statement.get())) return nullptr;
  keepRows(sql, stamp, std::move(rows));
  return keptTables_.find(table, stamp);
}

SnapshotSize Connection::sizeHint(std::string_view sqlUtf8) {
  auto query = parseTableQuery(sqlUtf8);
  return query && !query->like ? keptTables_.lastSize(query->table) : SnapshotSize{};
}

void Connection::keepRows(std::string_view sqlUtf8, const DataStamp& before, std::shared_ptr<const Snapshot> rows) {
  auto query = parseTableQuery(sqlUtf8);
  if (!query || query->like) return;
  auto stamp = readStamp();
  if (!stamp || !(*stamp == before)) return;
  keptTables_.keep(query->table, before, std::move(rows));
  // Like searches are answered from these rows only when both run as the
  // same plain scan of the table, in the table's own order.
  if (!isPlainScan(sqlUtf8)) {
    TableCache::Entry* entry = keptTables_.find(query->table, before);
    if (entry) std::fill(entry->likeAnswerable.begin(), entry->likeAnswerable.end(), 0);
  }
}

}  // namespace db
