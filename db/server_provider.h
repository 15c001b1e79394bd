// The records on a database server that several desks share (libpq).
//
// Each desk's statements run as the file's engine runs them: one statement
// per call, a failed statement inside a transaction undoes only itself
// (a savepoint around it), record sets are snapshots read in a read-only
// transaction, texts travel as UTF-8. Nothing is kept between reads: every
// read sees what the other desks have committed.
//
// A server that cannot be reached, or a connection that drops, is told once
// in Chinese (db/server_errors.h) and answers false. The next action
// connects again, except inside a transaction that the drop ended: that
// transaction answers false until it is rolled back, so no statement of it
// runs outside it. A statement that reads (a record set's open) and lost
// its connection outside a transaction is sent once more on a new
// connection, and says nothing when that works: a server restart costs the
// desks no failed search. A statement that may write is never sent twice.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "db/provider.h"
#include "db/server_errors.h"

namespace db {

struct ServerConnectionCloser {
  void operator()(PGconn* connection) const { PQfinish(connection); }
};
struct ServerResultClearer {
  void operator()(PGresult* result) const { PQclear(result); }
};
using ServerConnectionHandle = std::unique_ptr<PGconn, ServerConnectionCloser>;
using ServerResult = std::unique_ptr<PGresult, ServerResultClearer>;

// Connects with a libpq connection string or URI (UTF-8), texts in UTF-8,
// giving up after a few seconds when the server does not answer. Null on
// failure, with what is known of the reason in `failure`: libpq's text
// (untranslated) and the server's code when it refused the connection.
ServerConnectionHandle connectToServer(std::string_view conninfoUtf8, ServerFailure& failure);
// The same with libpq's text alone in `error` (when given).
ServerConnectionHandle connectToServer(std::string_view conninfoUtf8, std::string* error = nullptr);

class ServerProvider : public Provider {
 public:
  explicit ServerProvider(std::string conninfoUtf8);

  bool ready() override;
  bool isOpen() const override;
  bool executeSql(std::string_view sqlUtf8, int32_t timeoutSeconds) override;
  bool executeWithValues(std::string_view sqlUtf8, std::span<const std::string> valuesUtf8,
                         int32_t timeoutSeconds) override;
  bool beginTransaction(int32_t timeoutSeconds) override;
  bool commitTransaction(int32_t timeoutSeconds) override;
  bool rollbackTransaction(int32_t timeoutSeconds) override;
  ReadRows readRows(std::string_view sqlUtf8, int32_t timeoutSeconds) override;

  // The server's text of the last failure (UTF-8); empty after a success.
  const std::string& lastError() const { return lastFailure_.message; }

 private:
  void connect();
  bool inTransaction() const;
  // Runs control statements (no rows); false on failure.
  bool control(const char* sqlUtf8);
  bool applyTimeout(int32_t seconds);
  // The one statement of the text, prepared; runs it and gives its result,
  // or null when it is not exactly one statement or the server refused it.
  ServerResult runSingle(const std::string& sqlUtf8, bool wantRows);
  // The statement of executeWithValues (the server's text), prepared under
  // its own name while the same text comes again; its count of parameters,
  // or nothing when the server refused it.
  std::optional<int> preparedWithValues(const std::string& sqlUtf8);
  // Runs that statement once per group of `perRun` values, a batch of runs
  // sent at a time without waiting for each answer; false at the first
  // failure, whose savepoint is left open.
  bool runPipelined(std::span<const std::string> values, size_t perRun);
  // Pipeline mode for a batch of statements; false (said) when refused.
  bool enterPipeline();
  // Back out of it after the batch's answers; false when the connection was
  // lost or answers are still pending (then it is dropped), said either way.
  bool leavePipeline();
  // Sends a statement without parameters into the pipeline.
  bool sendInPipeline(const char* sqlUtf8);
  // Reads the answers of `answers` statements and the end of their batch,
  // keeping the first rows answered in `rows` (when given).
  bool collectPipelined(size_t answers, ServerResult* rows = nullptr);
  // The rows of one statement read in a read-only transaction (a savepoint
  // inside the caller's), sent with its beginning and end in one batch:
  // one round trip. Null when the statement failed or gave no rows.
  ServerResult readInPipeline(const std::string& sqlUtf8);
  // One read on the connection as it is.
  ReadRows readOnce(std::string_view sqlUtf8, int32_t timeoutSeconds);
  // After a failure: remembers the reason and, when the connection is gone,
  // says so once (unless a read that may be sent again holds it back).
  void noteFailure(const PGresult* result);
  // Forgets the connection (gone, or no longer to be trusted) and the
  // transaction it held; the next action connects again.
  void dropConnection();
  // Shows what happened with the server's reason, once until the next
  // successful connect: a desk that cannot reach the server is told at
  // start-up, and not again for every action that tries.
  void report(std::string_view what);
  bool hasRowOrder(std::string_view table) const { return orderedTables_.contains(std::string(table)); }

  std::string conninfo_;
  ServerConnectionHandle connection_;
  // Which tables have the row-order column (server_dialect.h), read at connect.
  std::set<std::string> orderedTables_;
  // The statement prepared for executeWithValues on this connection.
  std::string valuesSql_;
  int valuesParameters_ = 0;
  int32_t timeoutSet_ = -1;  // seconds; -1 when not known
  // A transaction was open when the connection dropped: nothing runs until
  // it is ended by a rollback or commit (which answer false).
  bool transactionOpen_ = false;
  bool transactionLost_ = false;
  bool dropReported_ = false;
  bool quietLoss_ = false;
  ServerFailure lastFailure_;
};

}  // namespace db
