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
  bool open(std::string_view connectionTextGb);
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

 private:
  static int onProgress(void* self);
  bool runControl(const char* sqlUtf8);

  DatabaseHandle database_;
  std::string connectionText_;
  int32_t commandTimeout_ = kDefaultCommandTimeout;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
};

}  // namespace db
