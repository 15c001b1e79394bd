#include "db/server_provider.h"

#include <algorithm>
#include <array>
#include <vector>

#include "db/server_dialect.h"
#include "runtime/desktop.h"
#include "runtime/encoding.h"

namespace db {
namespace {

constexpr const char* kConnectTimeoutSeconds = "10";
constexpr const char* kApplicationName = "jiaxiao";
constexpr const char* kClientEncoding = "UTF8";
constexpr int kMillisecondsPerSecond = 1000;
constexpr int32_t kLargestTimeoutSeconds = 2'000'000;  // what statement_timeout (ms, int) holds

// Asked once per connection: which tables keep their insertion order.
constexpr const char* kOrderedTablesQuery =
    "SELECT c.relname FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
    "WHERE a.attname = 'jx_row' AND NOT a.attisdropped AND c.relkind = 'r' AND pg_table_is_visible(c.oid)";

constexpr std::string_view kLostCaption = "数据库连接";
constexpr std::string_view kLostText = "数据库连接已断开：";
constexpr std::string_view kUnreachableText = "无法连接数据库服务器：";
constexpr std::string_view kLostNextStep = "\n下一次操作时将重新连接数据库服务器。";

std::string trimmedMessage(const char* message) {
  std::string text = message ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

bool succeeded(const PGresult* result) {
  ExecStatusType status = PQresultStatus(result);
  return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

}  // namespace

ServerConnectionHandle connectToServer(std::string_view conninfoUtf8, std::string* error) {
  std::string conninfo(conninfoUtf8);
  // Later entries override earlier ones: the string's own settings override
  // the defaults before it, and the texts are always UTF-8.
  const std::array<const char*, 5> keywords = {"connect_timeout", "application_name", "dbname", "client_encoding",
                                               nullptr};
  const std::array<const char*, 5> values = {kConnectTimeoutSeconds, kApplicationName, conninfo.c_str(),
                                             kClientEncoding, nullptr};
  ServerConnectionHandle connection(PQconnectdbParams(keywords.data(), values.data(), 1));
  if (!connection || PQstatus(connection.get()) != CONNECTION_OK) {
    if (error) *error = connection ? trimmedMessage(PQerrorMessage(connection.get())) : "out of memory";
    return nullptr;
  }
  return connection;
}

ServerProvider::ServerProvider(std::string conninfoUtf8) : conninfo_(std::move(conninfoUtf8)) { connect(); }

void ServerProvider::connect() {
  orderedTables_.clear();
  timeoutSet_ = -1;
  connection_ = connectToServer(conninfo_, &lastError_);
  if (!connection_) {
    report(kUnreachableText);
    return;
  }
  ServerResult tables(PQexec(connection_.get(), kOrderedTablesQuery));
  if (PQresultStatus(tables.get()) != PGRES_TUPLES_OK) {
    noteFailure(tables.get());
    connection_.reset();
    return;
  }
  for (int row = 0; row < PQntuples(tables.get()); ++row) orderedTables_.insert(PQgetvalue(tables.get(), row, 0));
  dropReported_ = false;
  lastError_.clear();
}

bool ServerProvider::isOpen() const { return connection_ && PQstatus(connection_.get()) == CONNECTION_OK; }

bool ServerProvider::ready() {
  if (isOpen()) return true;
  if (transactionLost_) return false;
  connect();
  return isOpen();
}

bool ServerProvider::inTransaction() const {
  PGTransactionStatusType status = PQtransactionStatus(connection_.get());
  return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

void ServerProvider::noteFailure(const PGresult* result) {
  const char* message = result ? PQresultErrorMessage(result) : nullptr;
  if (!message || !*message) message = connection_ ? PQerrorMessage(connection_.get()) : "";
  lastError_ = trimmedMessage(message);
  if (!connection_ || PQstatus(connection_.get()) == CONNECTION_OK) return;
  // The connection is gone. A transaction it held is gone with it.
  transactionLost_ = transactionOpen_;
  transactionOpen_ = false;
  connection_.reset();
  report(kLostText);
}

void ServerProvider::report(std::string_view what) {
  if (dropReported_ || !rt::hasDesktop()) return;
  dropReported_ = true;
  std::string text = std::string(what) + lastError_ + std::string(kLostNextStep);
  rt::desktop().messageBox(rt::utf8ToGb(text), rt::utf8ToGb(kLostCaption), rt::mb::kIconStop | rt::mb::kTaskModal,
                           nullptr);
}

bool ServerProvider::control(const char* sqlUtf8) {
  ServerResult result(PQexec(connection_.get(), sqlUtf8));
  if (succeeded(result.get())) return true;
  noteFailure(result.get());
  return false;
}

bool ServerProvider::applyTimeout(int32_t seconds) {
  seconds = std::clamp(seconds, 0, kLargestTimeoutSeconds);
  if (seconds == timeoutSet_) return true;
  std::string sql = "SET statement_timeout = " + std::to_string(int64_t{seconds} * kMillisecondsPerSecond);
  if (!control(sql.c_str())) return false;
  timeoutSet_ = seconds;
  return true;
}

ServerResult ServerProvider::runSingle(const std::string& sqlUtf8, bool wantRows) {
  // The unnamed prepared statement: the server refuses a text of more than
  // one statement here, and runs nothing of it.
  ServerResult prepared(PQprepare(connection_.get(), "", sqlUtf8.c_str(), 0, nullptr));
  if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
    noteFailure(prepared.get());
    return nullptr;
  }
  ServerResult result(PQexecPrepared(connection_.get(), "", 0, nullptr, nullptr, nullptr, 0));
  ExecStatusType status = PQresultStatus(result.get());
  if (status == PGRES_TUPLES_OK || (status == PGRES_COMMAND_OK && !wantRows)) return result;
  noteFailure(result.get());
  return nullptr;
}

bool ServerProvider::executeSql(std::string_view sqlUtf8, int32_t timeoutSeconds) {
  if (!ready()) return false;
  std::string sql = serverStatement(sqlUtf8, [this](std::string_view table) { return hasRowOrder(table); });
  if (!applyTimeout(timeoutSeconds)) return false;
  if (!inTransaction()) return runSingle(sql, false) != nullptr;
  // Inside a transaction a failed statement undoes only itself.
  if (!control("SAVEPOINT jx_statement")) return false;
  bool done = runSingle(sql, false) != nullptr;
  if (!isOpen()) return false;
  if (!done) control("ROLLBACK TO SAVEPOINT jx_statement");
  return control("RELEASE SAVEPOINT jx_statement") && done;
}

bool ServerProvider::beginTransaction(int32_t timeoutSeconds) {
  if (!ready() || inTransaction()) return false;
  transactionOpen_ = applyTimeout(timeoutSeconds) && control("BEGIN");
  return transactionOpen_;
}

bool ServerProvider::commitTransaction(int32_t timeoutSeconds) {
  transactionOpen_ = false;
  if (transactionLost_) {
    transactionLost_ = false;
    return false;
  }
  if (!isOpen() || !inTransaction()) return false;
  if (!applyTimeout(timeoutSeconds)) return false;
  ServerResult result(PQexec(connection_.get(), "COMMIT"));
  // A transaction that failed answers its commit with a rollback.
  bool committed =
      PQresultStatus(result.get()) == PGRES_COMMAND_OK && std::string_view(PQcmdStatus(result.get())) == "COMMIT";
  if (!committed) {
    // A failed commit rolled back, settings made inside the transaction too.
    timeoutSet_ = -1;
    noteFailure(result.get());
  }
  return committed;
}

bool ServerProvider::rollbackTransaction(int32_t) {
  transactionOpen_ = false;
  if (transactionLost_) {
    transactionLost_ = false;
    return false;
  }
  if (!isOpen() || !inTransaction()) return false;
  // Settings made inside the transaction are undone with it.
  timeoutSet_ = -1;
  return control("ROLLBACK");
}

ReadRows ServerProvider::readRows(std::string_view sqlUtf8, int32_t timeoutSeconds) {
  if (!ready() || !applyTimeout(timeoutSeconds)) return {};
  std::string sql = serverStatement(sqlUtf8, [this](std::string_view table) { return hasRowOrder(table); });
  // Read-only: a statement that would change data fails instead of running.
  const bool nested = inTransaction();
  if (!control(nested ? "SAVEPOINT jx_read; SET TRANSACTION READ ONLY" : "BEGIN READ ONLY")) return {};
  ServerResult result = runSingle(sql, true);
  if (!isOpen()) return {};
  if (!control(nested ? "ROLLBACK TO SAVEPOINT jx_read; RELEASE SAVEPOINT jx_read" : "ROLLBACK") || !result) return {};
  auto rows = std::make_shared<Snapshot>();
  const int columns = PQnfields(result.get());
  std::vector<int> shown;
  for (int column = 0; column < columns; ++column) {
    std::string name = PQfname(result.get(), column);
    if (name == kRowOrderColumn) continue;
    shown.push_back(column);
    rows->addColumn(std::move(name), ColumnKind::kPlain);
  }
  const int count = PQntuples(result.get());
  rows->reserve(static_cast<size_t>(count) * shown.size(), 0);
  for (int row = 0; row < count; ++row) {
    for (int column : shown) {
      if (PQgetisnull(result.get(), row, column)) {
        rows->appendNull();
      } else {
        rows->appendText(std::string_view(PQgetvalue(result.get(), row, column),
                                          static_cast<size_t>(PQgetlength(result.get(), row, column))));
      }
    }
    if (!rows->endRow()) return {};
  }
  return {std::move(rows), false};
}

}  // namespace db
