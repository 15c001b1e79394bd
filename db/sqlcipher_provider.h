// The records in the program folder's encrypted file. Reads that repeat are
// answered from kept tables (table_cache.h) while the file is unchanged.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "db/provider.h"
#include "db/sqlite.h"
#include "db/table_cache.h"

namespace db {

class SqlCipherProvider : public Provider {
 public:
  // Opens the file at a native path with the key (UTF-8). When the open
  // failed only because another connection held a lock on the file, the
  // next action (ready()) opens it again first.
  SqlCipherProvider(std::string pathUtf8, std::string keyUtf8);
  ~SqlCipherProvider() override;
  SqlCipherProvider(const SqlCipherProvider&) = delete;
  SqlCipherProvider& operator=(const SqlCipherProvider&) = delete;

  bool ready() override;
  bool isOpen() const override { return database_ != nullptr; }
  bool executeSql(std::string_view sqlUtf8, int32_t timeoutSeconds) override;
  bool executeWithValues(std::string_view sqlUtf8, std::span<const std::string> valuesUtf8,
                         int32_t timeoutSeconds) override;
  bool beginTransaction(int32_t timeoutSeconds) override;
  bool commitTransaction(int32_t timeoutSeconds) override;
  bool rollbackTransaction(int32_t timeoutSeconds) override;
  ReadRows readRows(std::string_view sqlUtf8, int32_t timeoutSeconds) override;

  // Arms a time-out (seconds, 0: none) for the statement run while it lives.
  class TimeLimit {
   public:
    TimeLimit(SqlCipherProvider& provider, int32_t seconds);
    ~TimeLimit();
    TimeLimit(const TimeLimit&) = delete;
    TimeLimit& operator=(const TimeLimit&) = delete;

   private:
    SqlCipherProvider& provider_;
  };

  // Prepares the one statement of a UTF-8 text: null when the text holds no
  // statement, more than one, or one the engine rejects. Nothing runs.
  StatementHandle prepareSingle(std::string_view sqlUtf8);

  // Reads answered from kept tables (table_cache.h). The rows of a statement
  // when they can be given from memory; null when the engine must answer.
  std::shared_ptr<const Snapshot> keptRows(std::string_view sqlUtf8);
  // The state of the database now; nothing inside a transaction or when it
  // cannot be told.
  std::optional<DataStamp> readStamp();
  // The size of the rows of a plain select of a whole table the last time
  // it was read; nothing known for other statements.
  SnapshotSize sizeHint(std::string_view sqlUtf8);
  // Keeps the rows of a plain select of a whole table, read at `before`,
  // when the database is still in that state.
  void keepRows(std::string_view sqlUtf8, const DataStamp& before, std::shared_ptr<const Snapshot> rows);

 private:
  void open();
  // Ends a read whose rows are still being fetched (rows_ahead.h) and keeps
  // its rows as the read would have: every operation settles it first, so
  // nothing else uses the connection while a fetch goes on.
  void settle();
  static int onProgress(void* self);
  bool runControl(const char* sqlUtf8, int32_t timeoutSeconds);
  // The statement of executeWithValues, prepared once for as long as the
  // same text comes again; null when the text is not one statement.
  sqlite3_stmt* statementWithValues(std::string_view sqlUtf8);
  // One run of that statement with `values` bound in order.
  bool runWithValues(sqlite3_stmt* statement, std::span<const std::string> values);
  // Every statement may change what the kept tables hold; it first ends a
  // read still being fetched (settle).
  void forgetKeptTables();
  // Whether the engine runs the statement as a plain scan of one table.
  bool isPlainScan(std::string_view sqlUtf8);
  // Fetches and keeps "SELECT * FROM <table>"; the entry, or null.
  TableCache::Entry* fetchWholeTable(const std::string& table, const DataStamp& stamp);
  // Whether LIKE is the engine's default (ASCII letters without case only).
  bool likeIsDefault(const DataStamp& stamp);

  std::string path_;
  std::string key_;
  DatabaseHandle database_;
  bool openWhenUnlocked_ = false;
  std::optional<std::chrono::steady_clock::time_point> deadline_;

  // Declared after the database: destroyed before it is closed.
  StatementHandle dataVersion_;
  std::string valuesSql_;
  StatementHandle valuesStatement_;
  TableCache keptTables_;
  int64_t statementsRun_ = 0;
  std::optional<std::pair<DataStamp, bool>> likeChecked_;

  // The read whose rows are still being fetched, until settled: what keeping
  // them needs, and its time-out, which lasts as long as the fetch.
  std::shared_ptr<RowsAhead> ahead_;
  std::string aheadSql_;
  std::optional<DataStamp> aheadBefore_;
  std::unique_ptr<TimeLimit> aheadLimit_;
};

}  // namespace db
