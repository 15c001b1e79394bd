#include "db/server_provider.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "db/server_dialect.h"
#include "db/server_errors.h"
#include "runtime/desktop.h"
#include "runtime/encoding.h"

namespace db {
namespace {

constexpr const char* kConnectTimeoutSeconds = "10";
constexpr const char* kApplicationName = "jiaxiao";
constexpr const char* kClientEncoding = "UTF8";
constexpr int32_t kLargestTimeoutSeconds = 2'000'000;  // what statement_timeout (ms, int) holds
// libpq's own floor for connect_timeout.
constexpr int kShortestConnectTimeoutSeconds = 2;
constexpr std::string_view kTimedOutText = "timeout expired";
// executeWithValues' statement on the server, and how many of its runs go
// out before their answers are read (a batch's answers are a few kilobytes,
// well within what the connection buffers).
constexpr const char* kValuesStatement = "jx_values";
constexpr size_t kRunsPerBatch = 256;

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

// Holds back the message of a lost connection while it lives.
class QuietLoss {
 public:
  explicit QuietLoss(bool& quiet) : quiet_(quiet), before_(quiet) { quiet_ = true; }
  ~QuietLoss() { quiet_ = before_; }
  QuietLoss(const QuietLoss&) = delete;
  QuietLoss& operator=(const QuietLoss&) = delete;

 private:
  bool& quiet_;
  bool before_;
};

// The connection's connect_timeout in milliseconds (-1: none), as libpq
// takes it: at least two seconds.
int connectTimeoutMilliseconds(PGconn* connection) {
  int seconds = 0;
  std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> options(PQconninfo(connection), &PQconninfoFree);
  for (const PQconninfoOption* option = options.get(); option && option->keyword; ++option) {
    if (std::string_view(option->keyword) == "connect_timeout" && option->val) seconds = std::atoi(option->val);
  }
  if (seconds <= 0) return -1;
  return std::max(seconds, kShortestConnectTimeoutSeconds) * kMillisecondsPerSecond;
}

// Drives a started connect to its end. Each server address tried gets the
// whole time-out, as libpq's own blocking connect gives it. False when the
// connect failed or an address did not answer in time.
bool completeConnect(PGconn* connection, bool& timedOut) {
  using Clock = std::chrono::steady_clock;
  const int timeout = connectTimeoutMilliseconds(connection);
  PostgresPollingStatusType status = PGRES_POLLING_WRITING;
  int socket = -1;
  Clock::time_point deadline;
  while (status != PGRES_POLLING_OK) {
    if (status == PGRES_POLLING_FAILED) return false;
    if (PQsocket(connection) != socket) {
      socket = PQsocket(connection);
      deadline = Clock::now() + std::chrono::milliseconds(timeout);
    }
    if (socket >= 0) {
      pollfd wait{socket, static_cast<short>(status == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
      int left = -1;
      if (timeout >= 0) {
        auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        left = static_cast<int>(std::max<int64_t>(0, remaining));
      }
      int ready = poll(&wait, 1, left);
      if (ready == 0) {
        timedOut = true;
        return false;
      }
      if (ready < 0 && errno != EINTR) return false;
    }
    status = PQconnectPoll(connection);
  }
  return true;
}

}  // namespace

ServerConnectionHandle connectToServer(std::string_view conninfoUtf8, ServerFailure& failure) {
  UntranslatedMessages untranslated;
  std::string conninfo(conninfoUtf8);
  // Later entries override earlier ones: the string's own settings override
  // the defaults before it, and the texts are always UTF-8.
  const std::array<const char*, 5> keywords = {"connect_timeout", "application_name", "dbname", "client_encoding",
                                               nullptr};
  const std::array<const char*, 5> values = {kConnectTimeoutSeconds, kApplicationName, conninfo.c_str(),
                                             kClientEncoding, nullptr};
  ServerConnectionHandle connection(PQconnectStartParams(keywords.data(), values.data(), 1));
  if (!connection) {
    failure = ServerFailure{};
    failure.message = "out of memory";
    return nullptr;
  }
  // The server's refusal then carries its code, which names the reason in
  // any language the server speaks.
  PQsetErrorVerbosity(connection.get(), PQERRORS_VERBOSE);
  bool timedOut = false;
  if (PQstatus(connection.get()) == CONNECTION_BAD || !completeConnect(connection.get(), timedOut)) {
    failure = failureOfVerboseMessage(timedOut ? kTimedOutText : PQerrorMessage(connection.get()));
    failure.passwordMissing = PQconnectionNeedsPassword(connection.get());
    return nullptr;
  }
  PQsetErrorVerbosity(connection.get(), PQERRORS_DEFAULT);
  return connection;
}

ServerConnectionHandle connectToServer(std::string_view conninfoUtf8, std::string* error) {
  ServerFailure failure;
  ServerConnectionHandle connection = connectToServer(conninfoUtf8, failure);
  if (!connection && error) *error = failure.message;
  return connection;
}

ServerProvider::ServerProvider(std::string conninfoUtf8) : conninfo_(std::move(conninfoUtf8)) {
  UntranslatedMessages untranslated;
  connect();
}

void ServerProvider::connect() {
  orderedTables_.clear();
  valuesSql_.clear();
  timeoutSet_ = -1;
  connection_ = connectToServer(conninfo_, lastFailure_);
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
  lastFailure_ = {};
}

bool ServerProvider::isOpen() const { return connection_ && PQstatus(connection_.get()) == CONNECTION_OK; }

bool ServerProvider::ready() {
  UntranslatedMessages untranslated;
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
  const char* sqlState = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  lastFailure_ =
      ServerFailure{.message = trimmedMessage(message), .sqlState = sqlState ? sqlState : "", .passwordMissing = false};
  if (!connection_ || PQstatus(connection_.get()) == CONNECTION_OK) return;
  dropConnection();
  if (!quietLoss_) report(kLostText);
}

void ServerProvider::dropConnection() {
  // A transaction the connection held is gone with it.
  transactionLost_ = transactionOpen_;
  transactionOpen_ = false;
  connection_.reset();
}

void ServerProvider::report(std::string_view what) {
  if (dropReported_ || !rt::hasDesktop()) return;
  dropReported_ = true;
  std::string text = std::string(what) + explainedFailure(lastFailure_, kLostNextStep);
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
  UntranslatedMessages untranslated;
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

std::optional<int> ServerProvider::preparedWithValues(const std::string& sqlUtf8) {
  if (!valuesSql_.empty() && sqlUtf8 == valuesSql_) return valuesParameters_;
  if (!valuesSql_.empty()) {
    if (!control("DEALLOCATE jx_values")) return std::nullopt;
    valuesSql_.clear();
  }
  ServerResult prepared(PQprepare(connection_.get(), kValuesStatement, sqlUtf8.c_str(), 0, nullptr));
  if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
    noteFailure(prepared.get());
    return std::nullopt;
  }
  ServerResult described(PQdescribePrepared(connection_.get(), kValuesStatement));
  if (PQresultStatus(described.get()) != PGRES_COMMAND_OK) {
    noteFailure(described.get());
    if (isOpen()) control("DEALLOCATE jx_values");
    return std::nullopt;
  }
  valuesSql_ = sqlUtf8;
  valuesParameters_ = PQnparams(described.get());
  return valuesParameters_;
}

bool ServerProvider::collectPipelined(size_t answers, ServerResult* rows) {
  bool allDone = true;
  bool previousWasEnd = false;
  // Each statement answers with its result and an end (null); the batch
  // ends with the sync. Two ends in a row mean nothing more will come.
  while (true) {
    ServerResult result(PQgetResult(connection_.get()));
    if (!result) {
      if (previousWasEnd) return false;
      previousWasEnd = true;
      continue;
    }
    previousWasEnd = false;
    ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_PIPELINE_SYNC) return allDone && answers == 0;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
      if (answers > 0) --answers;
      if (status == PGRES_TUPLES_OK && rows && !*rows) *rows = std::move(result);
      continue;
    }
    // The failed statement says why; those after it answer "aborted".
    if (allDone && status != PGRES_PIPELINE_ABORTED) noteFailure(result.get());
    allDone = false;
    if (!isOpen()) return false;
  }
}

bool ServerProvider::enterPipeline() {
  if (PQenterPipelineMode(connection_.get()) == 1) return true;
  noteFailure(nullptr);
  return false;
}

bool ServerProvider::leavePipeline() {
  if (!connection_) return false;  // lost, and said so
  if (!isOpen()) {
    // Lost after the server's last answer: forgotten (and said) here.
    noteFailure(nullptr);
    return false;
  }
  if (PQexitPipelineMode(connection_.get()) == 1) return true;
  // Answers still pending: the connection cannot be trusted to match the
  // next answers to their statements. It is dropped, and its transaction
  // with it.
  noteFailure(nullptr);
  dropConnection();
  return false;
}

bool ServerProvider::sendInPipeline(const char* sqlUtf8) {
  return PQsendQueryParams(connection_.get(), sqlUtf8, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
}

bool ServerProvider::runPipelined(std::span<const std::string> values, size_t perRun) {
  // Per run: the savepoint that lets a failed run undo only itself, the
  // run, the release.
  constexpr size_t kStatementsPerRun = 3;
  std::vector<const char*> parameters(perRun);
  for (size_t first = 0; first < values.size(); first += perRun * kRunsPerBatch) {
    size_t end = std::min(values.size(), first + perRun * kRunsPerBatch);
    if (!enterPipeline()) return false;
    size_t sent = 0;
    bool allSent = true;
    for (size_t at = first; allSent && at < end; at += perRun) {
      for (size_t i = 0; i < perRun; ++i) parameters[i] = values[at + i].c_str();
      allSent = sendInPipeline("SAVEPOINT jx_statement") &&
                PQsendQueryPrepared(connection_.get(), kValuesStatement, static_cast<int>(perRun), parameters.data(),
                                    nullptr, nullptr, 0) == 1 &&
                sendInPipeline("RELEASE SAVEPOINT jx_statement");
      if (allSent) ++sent;
    }
    bool done = PQpipelineSync(connection_.get()) == 1 && collectPipelined(sent * kStatementsPerRun) && allSent;
    if (!leavePipeline() || !done) return false;
  }
  return true;
}

bool ServerProvider::executeWithValues(std::string_view sqlUtf8, std::span<const std::string> valuesUtf8,
                                       int32_t timeoutSeconds) {
  UntranslatedMessages untranslated;
  if (!ready()) return false;
  std::string sql = serverStatement(sqlUtf8, [this](std::string_view table) { return hasRowOrder(table); });
  if (!applyTimeout(timeoutSeconds)) return false;
  std::optional<int> parameters = preparedWithValues(sql);
  if (!parameters || *parameters <= 0 || valuesUtf8.empty() ||
      valuesUtf8.size() % static_cast<size_t>(*parameters) != 0)
    return false;
  // Outside the caller's transaction the runs get one of their own, which
  // commits those that ran, as separate statements would have.
  bool ownTransaction = !inTransaction();
  if (ownTransaction && !control("BEGIN")) return false;
  bool done = runPipelined(valuesUtf8, static_cast<size_t>(*parameters));
  if (!isOpen()) return false;
  // The failed run's savepoint is still open: undoing it undoes that run.
  bool undone = done || (control("ROLLBACK TO SAVEPOINT jx_statement") && control("RELEASE SAVEPOINT jx_statement"));
  if (ownTransaction) return control(undone ? "COMMIT" : "ROLLBACK") && done;
  return done;
}

bool ServerProvider::beginTransaction(int32_t timeoutSeconds) {
  UntranslatedMessages untranslated;
  if (!ready() || inTransaction()) return false;
  transactionOpen_ = applyTimeout(timeoutSeconds) && control("BEGIN");
  return transactionOpen_;
}

bool ServerProvider::commitTransaction(int32_t timeoutSeconds) {
  UntranslatedMessages untranslated;
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
  UntranslatedMessages untranslated;
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
  UntranslatedMessages untranslated;
  if (!ready()) return {};
  // A read inside a transaction ends with it when the connection drops.
  if (transactionOpen_) return readOnce(sqlUtf8, timeoutSeconds);
  ReadRows rows;
  {
    QuietLoss quiet(quietLoss_);
    rows = readOnce(sqlUtf8, timeoutSeconds);
  }
  if (rows.rows || connection_) return rows;
  // The connection was lost on the way (a server restart, the network). A
  // read changes nothing, so it runs once more on a new connection; the
  // user hears of the loss only when that fails as well.
  if (!ready()) return {};
  return readOnce(sqlUtf8, timeoutSeconds);
}

namespace {

// A read's beginning and end, outside and inside the caller's transaction.
constexpr const char* kReadOpening[] = {"BEGIN READ ONLY"};
constexpr const char* kReadClosing[] = {"ROLLBACK"};
constexpr const char* kNestedReadOpening[] = {"SAVEPOINT jx_read", "SET TRANSACTION READ ONLY"};
constexpr const char* kNestedReadClosing[] = {"ROLLBACK TO SAVEPOINT jx_read", "RELEASE SAVEPOINT jx_read"};

// The bytes of the result's texts in the shown columns: the snapshot takes
// room for them at once instead of doubling (and copying) its buffer on the
// way through 20 MB of a large registry.
size_t textBytes(const PGresult* result, const std::vector<int>& shown) {
  size_t bytes = 0;
  const int count = PQntuples(result);
  for (int row = 0; row < count; ++row)
    for (int column : shown) bytes += static_cast<size_t>(PQgetlength(result, row, column));
  return bytes;
}

}  // namespace

ServerResult ServerProvider::readInPipeline(const std::string& sqlUtf8) {
  // Read-only: a statement that would change data fails instead of running.
  // Inside the caller's transaction a savepoint ends what the read set.
  const bool nested = inTransaction();
  const std::span<const char* const> opening =
      nested ? std::span<const char* const>(kNestedReadOpening) : std::span<const char* const>(kReadOpening);
  const std::span<const char* const> closing =
      nested ? std::span<const char* const>(kNestedReadClosing) : std::span<const char* const>(kReadClosing);
  if (!enterPipeline()) return nullptr;
  bool allSent = true;
  for (const char* statement : opening) allSent = allSent && sendInPipeline(statement);
  // Sent with parameters (none), the text may hold one statement only.
  allSent = allSent && sendInPipeline(sqlUtf8.c_str());
  for (const char* statement : closing) allSent = allSent && sendInPipeline(statement);
  ServerResult rows;
  bool done =
      PQpipelineSync(connection_.get()) == 1 && collectPipelined(opening.size() + 1 + closing.size(), &rows) && allSent;
  if (!leavePipeline()) return nullptr;
  if (done) return rows;  // null for a statement without rows, ended like any read
  // The statements after a failed one did not run: the transaction or the
  // savepoint is still open, and ends here.
  for (const char* statement : closing)
    if (isOpen()) control(statement);
  return nullptr;
}

ReadRows ServerProvider::readOnce(std::string_view sqlUtf8, int32_t timeoutSeconds) {
  if (!applyTimeout(timeoutSeconds)) return {};
  std::string sql = serverStatement(sqlUtf8, [this](std::string_view table) { return hasRowOrder(table); });
  ServerResult result = readInPipeline(sql);
  if (!result) return {};
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
  rows->reserve(static_cast<size_t>(count) * shown.size(), textBytes(result.get(), shown));
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
  return {std::move(rows), false, nullptr};
}

}  // namespace db
