#include "db/sqlcipher_provider.h"

#include <algorithm>
#include <climits>

#include "db/rows_ahead.h"
#include "db/texts.h"

namespace db {
namespace {

// Like searches on a table that the engine answers at one state of the
// database before the whole table is fetched and kept: fetching it costs
// about as much as a few searches.
constexpr int32_t kSearchesBeforeKeeping = 2;

// A table whose last read held at least this many cells is fetched on a
// thread of its own while its first rows are read (rows_ahead.h); smaller
// reads are over before a thread would have started. A first read is
// fetched here: its engine's page cache is taken as it reads, and a second
// thread's heap would hand those pages back to the system with the
// connection instead of keeping them for the next.
constexpr size_t kCellsWorthReadingAhead = 1 << 15;

// The deadline is checked every this many engine steps.
constexpr int kProgressInterval = 1000;
// SQLite names a private temporary database so; as a file name it must not
// be read that way.
constexpr std::string_view kMemoryDatabaseName = ":memory:";

}  // namespace

SqlCipherProvider::SqlCipherProvider(std::string pathUtf8, std::string keyUtf8)
    : path_(std::move(pathUtf8)), key_(std::move(keyUtf8)) {
  if (path_ == kMemoryDatabaseName) path_ = "./" + path_;
  open();
}

SqlCipherProvider::~SqlCipherProvider() { settle(); }

void SqlCipherProvider::settle() {
  if (!ahead_) return;
  std::shared_ptr<RowsAhead> ahead = std::move(ahead_);
  ahead_.reset();
  bool complete = ahead->finish();
  ahead->releaseStatement();
  aheadLimit_.reset();
  if (complete && aheadBefore_) keepRows(aheadSql_, *aheadBefore_, ahead->rows());
}

void SqlCipherProvider::open() {
  forgetKeptTables();
  dataVersion_.reset();
  valuesStatement_.reset();
  valuesSql_.clear();
  database_.reset();
  openWhenUnlocked_ = false;
  if (path_.empty()) return;
  OpenFailure failure = OpenFailure::kNone;
  database_ = openDatabase(path_, key_, OpenMode::kExistingOnly, nullptr, &failure);
  if (!database_) {
    // A lock ends; a missing, empty or foreign file stays what it is.
    openWhenUnlocked_ = failure == OpenFailure::kLocked;
    return;
  }
  sqlite3_progress_handler(database_.get(), kProgressInterval, &SqlCipherProvider::onProgress, this);
}

// The open waits for the lock as long as the first open did; a statement on
// an open connection would wait even longer (the command time-out).
bool SqlCipherProvider::ready() {
  settle();
  if (!database_ && openWhenUnlocked_) open();
  return database_ != nullptr;
}

SqlCipherProvider::TimeLimit::TimeLimit(SqlCipherProvider& provider, int32_t seconds) : provider_(provider) {
  if (!provider_.database_) return;
  if (seconds > 0) provider_.deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int waitMs = seconds > 0 && seconds < INT_MAX / kMillisecondsPerSecond ? seconds * kMillisecondsPerSecond : INT_MAX;
  sqlite3_busy_timeout(provider_.database_.get(), waitMs);
}

SqlCipherProvider::TimeLimit::~TimeLimit() { provider_.deadline_.reset(); }

int SqlCipherProvider::onProgress(void* self) {
  auto& provider = *static_cast<SqlCipherProvider*>(self);
  return provider.deadline_ && std::chrono::steady_clock::now() > *provider.deadline_ ? 1 : 0;
}

StatementHandle SqlCipherProvider::prepareSingle(std::string_view sqlUtf8) {
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

bool SqlCipherProvider::executeSql(std::string_view sqlUtf8, int32_t timeoutSeconds) {
  forgetKeptTables();
  ready();
  TimeLimit limit(*this, timeoutSeconds);
  StatementHandle statement = prepareSingle(sqlUtf8);
  if (!statement) return false;
  int rc;
  while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {}
  return rc == SQLITE_DONE;
}

sqlite3_stmt* SqlCipherProvider::statementWithValues(std::string_view sqlUtf8) {
  if (valuesStatement_ && sqlUtf8 == valuesSql_) return valuesStatement_.get();
  valuesStatement_ = prepareSingle(sqlUtf8);
  valuesSql_ = valuesStatement_ ? std::string(sqlUtf8) : std::string();
  return valuesStatement_.get();
}

bool SqlCipherProvider::runWithValues(sqlite3_stmt* statement, std::span<const std::string> values) {
  // The statement is always left reset, so a kept statement holds no read
  // of the file between runs, and no binding to texts that are gone.
  for (size_t i = 0; i < values.size(); ++i) {
    if (sqlite3_bind_text(statement, static_cast<int>(i + 1), values[i].data(), static_cast<int>(values[i].size()),
                          SQLITE_STATIC) != SQLITE_OK) {
      sqlite3_clear_bindings(statement);
      return false;
    }
  }
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {}
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  return rc == SQLITE_DONE;
}

bool SqlCipherProvider::executeWithValues(std::string_view sqlUtf8, std::span<const std::string> valuesUtf8,
                                          int32_t timeoutSeconds) {
  forgetKeptTables();
  ready();
  TimeLimit limit(*this, timeoutSeconds);
  sqlite3_stmt* statement = statementWithValues(sqlUtf8);
  if (!statement) return false;
  auto perRun = static_cast<size_t>(sqlite3_bind_parameter_count(statement));
  if (perRun == 0 || valuesUtf8.empty() || valuesUtf8.size() % perRun != 0) return false;
  for (size_t first = 0; first < valuesUtf8.size(); first += perRun)
    if (!runWithValues(statement, valuesUtf8.subspan(first, perRun))) return false;
  return true;
}

bool SqlCipherProvider::runControl(const char* sqlUtf8, int32_t timeoutSeconds) {
  forgetKeptTables();
  TimeLimit limit(*this, timeoutSeconds);
  return runScript(database_.get(), sqlUtf8);
}

bool SqlCipherProvider::beginTransaction(int32_t timeoutSeconds) {
  if (!ready() || !sqlite3_get_autocommit(database_.get())) return false;
  return runControl("BEGIN IMMEDIATE", timeoutSeconds);
}

bool SqlCipherProvider::commitTransaction(int32_t timeoutSeconds) {
  settle();
  if (!database_ || sqlite3_get_autocommit(database_.get())) return false;
  return runControl("COMMIT", timeoutSeconds);
}

bool SqlCipherProvider::rollbackTransaction(int32_t timeoutSeconds) {
  settle();
  if (!database_ || sqlite3_get_autocommit(database_.get())) return false;
  return runControl("ROLLBACK", timeoutSeconds);
}

ReadRows SqlCipherProvider::readRows(std::string_view sqlUtf8, int32_t timeoutSeconds) {
  ready();
  auto limit = std::make_unique<TimeLimit>(*this, timeoutSeconds);
  if (auto kept = keptRows(sqlUtf8)) return {std::move(kept), true, nullptr};
  std::optional<DataStamp> before = readStamp();
  StatementHandle statement = prepareSingle(sqlUtf8);
  // Only a reading statement with a result is a source of records: an insert
  // or a setting opened as a record set fails without being run.
  if (!statement || sqlite3_column_count(statement.get()) == 0 || !sqlite3_stmt_readonly(statement.get())) return {};
  auto fetched = std::make_shared<Snapshot>();
  SnapshotSize hint = sizeHint(sqlUtf8);
  if (hint.cells >= kCellsWorthReadingAhead) {
    // Kept by settle() once fetched; the time-out lasts until then.
    ahead_ = std::make_shared<RowsAhead>(std::move(statement), fetched, hint);
    aheadSql_ = sqlUtf8;
    aheadBefore_ = before;
    aheadLimit_ = std::move(limit);
    return {std::move(fetched), false, ahead_};
  }
  if (!fetched->fetch(statement.get(), hint)) return {};
  std::shared_ptr<const Snapshot> rows = std::move(fetched);
  if (before) keepRows(sqlUtf8, *before, rows);
  return {std::move(rows), false, nullptr};
}

// ------------------------------------------------------------ kept tables

void SqlCipherProvider::forgetKeptTables() {
  // A read still being fetched is kept or dropped first, so that nothing
  // read before the statement is kept after it.
  settle();
  ++statementsRun_;
  keptTables_.forget();
  likeChecked_.reset();
}

std::optional<DataStamp> SqlCipherProvider::readStamp() {
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

bool SqlCipherProvider::isPlainScan(std::string_view sqlUtf8) {
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

bool SqlCipherProvider::likeIsDefault(const DataStamp& stamp) {
  if (likeChecked_ && likeChecked_->first == stamp) return likeChecked_->second;
  // ASCII letters match without case, other letters only exactly, '_' one character.
  StatementHandle probe = prepareSingle("SELECT 'aXb' LIKE '%x%', 'ä' LIKE 'Ä', '张x' LIKE '_X'");
  bool isDefault = probe && sqlite3_step(probe.get()) == SQLITE_ROW && sqlite3_column_int(probe.get(), 0) == 1 &&
                   sqlite3_column_int(probe.get(), 1) == 0 && sqlite3_column_int(probe.get(), 2) == 1;
  likeChecked_ = {stamp, isDefault};
  return isDefault;
}

std::shared_ptr<const Snapshot> SqlCipherProvider::keptRows(std::string_view sqlUtf8) {
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

TableCache::Entry* SqlCipherProvider::fetchWholeTable(const std::string& table, const DataStamp& stamp) {
  std::string sql = "SELECT * FROM " + quotedIdentifier(table);
  StatementHandle statement = prepareSingle(sql);
  if (!statement) return nullptr;
  auto rows = std::make_shared<Snapshot>();
  if (!rows->fetch(statement.get())) return nullptr;
  keepRows(sql, stamp, std::move(rows));
  return keptTables_.find(table, stamp);
}

SnapshotSize SqlCipherProvider::sizeHint(std::string_view sqlUtf8) {
  auto query = parseTableQuery(sqlUtf8);
  return query && !query->like ? keptTables_.lastSize(query->table) : SnapshotSize{};
}

void SqlCipherProvider::keepRows(std::string_view sqlUtf8, const DataStamp& before,
                                 std::shared_ptr<const Snapshot> rows) {
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
