// DBConnection: the database connection unit. It opens the SQLCipher file
// named by its connection text and runs the application's statements.
// Every failure answers false; nothing is shown, logged or raised.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "db/sqlite.h"
#include "db/table_cache.h"
#include "runtime/library.h"

namespace db {

class Connection : public rt::UnitObject {
 public:
  // Seconds a statement may run (and wait for a lock) before it is stopped;
  // 0 means no limit.
  static constexpr int32_t kDefaultCommandTimeout = 30;

  static std::unique_ptr<rt::UnitObject> create(const rt::UnitContext&);

  // Builds the connection text from a path and a password (GB18030) and runs
  // the open step with it.
  bool openAccess(std::string_view pathGb, std::string_view passwordGb);
  // The open step: a non-empty text becomes the remembered one; whatever was
  // open is closed first, so a failed open leaves the connection closed.
  // When the open failed only because another connection held a lock on the
  // file, the next action (a statement, a transaction, a record set's open)
  // runs the open step again first.
  bool open(std::string_view connectionTextGb);
  // Runs that pending open step; whether the connection is open.
  bool openAgainIfLocked();
  // Runs exactly one statement. A present time-out applies to this statement
  // only; the previous one is restored afterwards, also on failure.
  bool executeSql(std::string_view statementGb, std::optional<int32_t> timeoutSeconds);

  bool beginTransaction();
  bool commitTransaction();
  bool rollbackTransaction();

  bool isOpen() const { return database_ != nullptr; }
  const std::string& connectionText() const { return connectionText_; }
  int32_t commandTimeout() const { return commandTimeout_; }

  // Arms the command time-out for the statement run while it lives.
  class TimeLimit {
   public:
    explicit TimeLimit(Connection& connection);
    ~TimeLimit();
    TimeLimit(const TimeLimit&) = delete;
    TimeLimit& operator=(const TimeLimit&) = delete;

   private:
    Connection& connection_;
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
  static int onProgress(void* self);
  bool runControl(const char* sqlUtf8);
  // Every statement may change what the kept tables hold.
  void forgetKeptTables();
  // Whether the engine runs the statement as a plain scan of one table.
  bool isPlainScan(std::string_view sqlUtf8);
  // Fetches and keeps "SELECT * FROM <table>"; the entry, or null.
  TableCache::Entry* fetchWholeTable(const std::string& table, const DataStamp& stamp);
  // Whether LIKE is the engine's default (ASCII letters without case only).
  bool likeIsDefault(const DataStamp& stamp);

  DatabaseHandle database_;
  std::string connectionText_;
  bool openWhenUnlocked_ = false;
  int32_t commandTimeout_ = kDefaultCommandTimeout;
  std::optional<std::chrono::steady_clock::time_point> deadline_;

  // Declared after the database: destroyed before it is closed.
  StatementHandle dataVersion_;
  TableCache keptTables_;
  int64_t statementsRun_ = 0;
  std::optional<std::pair<DataStamp, bool>> likeChecked_;
};

}  // namespace db
