// DBConnection: the database connection unit. It opens the records named by
// its connection text, in the encrypted file or, when the file's folder
// holds a database.ini naming a server, on that server (server_settings.h),
// and runs the application's statements there.
// Every failure answers false; nothing is shown, logged or raised, except
// that a connection to a server that drops says so once (server_provider.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/provider.h"
#include "runtime/library.h"

namespace db {

class SqlCipherProvider;

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
  // When the open failed for a reason that passes (another connection held
  // a lock on the file, the server could not be reached), the next action
  // (a statement, a transaction, a record set's open) tries again first.
  bool open(std::string_view connectionTextGb);
  // Runs exactly one statement. A present time-out applies to this statement
  // only; the previous one is restored afterwards, also on failure.
  bool executeSql(std::string_view statementGb, std::optional<int32_t> timeoutSeconds);
  // Runs one statement with `?` parameters once per group of values, within
  // the command time-out (Provider::executeWithValues).
  bool executeWithValues(std::string_view statementGb, std::span<const std::string_view> valuesGb);

  bool beginTransaction();
  bool commitTransaction();
  bool rollbackTransaction();

  // The rows of one reading statement (UTF-8) within the command time-out.
  ReadRows readRows(std::string_view sqlUtf8);

  bool isOpen() const { return provider_ && provider_->isOpen(); }
  const std::string& connectionText() const { return connectionText_; }
  int32_t commandTimeout() const { return commandTimeout_; }
  // The file's provider when the records are in the file (for its tests).
  SqlCipherProvider* sqlcipher() const;

 private:
  std::string connectionText_;
  int32_t commandTimeout_ = kDefaultCommandTimeout;
  std::unique_ptr<Provider> provider_;
  std::vector<std::string> valuesUtf8_;
};

}  // namespace db
