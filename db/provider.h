// The engine behind a database connection. A program folder's records live
// either in its encrypted file (SqlCipherProvider) or on a database server
// that several desks share (ServerProvider); the connection and its record
// sets see the same semantics from both. Texts are UTF-8 here; the
// connection converts from and to the runtime's GB18030.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "db/snapshot.h"

namespace db {

// Time-outs are given in seconds; the engines take milliseconds.
inline constexpr int kMillisecondsPerSecond = 1000;

class RowsAhead;

// What a read gives: the rows, and whether they were kept from an earlier
// read (rows read again and again are worth converting once). While `ahead`
// is set, the rows are still being fetched: only the rows it says are
// readable may be read (rows_ahead.h).
struct ReadRows {
  std::shared_ptr<const Snapshot> rows;
  bool kept = false;
  std::shared_ptr<RowsAhead> ahead;
};

class Provider {
 public:
  virtual ~Provider() = default;

  // Whether statements can run now. A provider that lost its engine for a
  // reason that may pass (a lock on the file, a dropped server connection)
  // tries to get it back first.
  virtual bool ready() = 0;
  virtual bool isOpen() const = 0;

  // Runs exactly one statement within the time-out (seconds, 0: no limit).
  virtual bool executeSql(std::string_view sqlUtf8, int32_t timeoutSeconds) = 0;
  // Runs one statement written with `?` for its parameters once for each
  // group of values: the first run binds the first values in order, the
  // next run the next, all as texts. The count of values must be a whole
  // number of groups (at least one); otherwise, and for a statement without
  // parameters, nothing runs. Each run is one statement as executeSql runs
  // it: the runs stop at the first that fails, which undoes only itself, and
  // the answer is true when all ran. (A caller that wants all or none runs
  // them in its transaction and rolls back on false.) Values never become
  // statement text, so no quoting is needed and none can go wrong; a
  // statement run again is parsed once.
  virtual bool executeWithValues(std::string_view sqlUtf8, std::span<const std::string> valuesUtf8,
                                 int32_t timeoutSeconds) = 0;
  // One level of transaction: a second begin answers false, as do a commit
  // or a rollback with none open.
  virtual bool beginTransaction(int32_t timeoutSeconds) = 0;
  virtual bool commitTransaction(int32_t timeoutSeconds) = 0;
  virtual bool rollbackTransaction(int32_t timeoutSeconds) = 0;

  // The rows of one reading statement as a static snapshot; null when the
  // text is not exactly one statement that reads and returns rows, or the
  // engine fails. A statement that would change data is never run.
  virtual ReadRows readRows(std::string_view sqlUtf8, int32_t timeoutSeconds) = 0;
};

}  // namespace db
