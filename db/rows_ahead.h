// The rows of a large read fetched on a thread of their own while a record
// set already reads the first of them: a refill of the whole registry then
// costs about the longer of the engine's fetch and the program's walk over
// the rows, not both one after the other.
//
// The fetch takes room for the size of the same table's last read and
// moves the rows fetched so far into more room only while no one reads
// them: the reading thread itself moves them when it waits for the next row
// or for the fetch to end (its heap keeps freed memory for the next read; a
// second thread's hands it back). A fetch whose reader has stopped reading
// stops too. The connection is not used by anything else until the fetch
// has ended: its provider finishes the fetch first in every one of its
// operations.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "db/snapshot.h"
#include "db/sqlite.h"

namespace db {

class RowsAhead final : private Snapshot::FetchWatcher {
 public:
  // Starts fetching the statement's rows into `rows`, with room for the
  // hinted size taken at once. Where no thread can be started, every row is
  // fetched here before the constructor returns.
  RowsAhead(StatementHandle statement, std::shared_ptr<Snapshot> rows, SnapshotSize hint);
  // Stops the fetch where it is and waits for its thread.
  ~RowsAhead();
  RowsAhead(const RowsAhead&) = delete;
  RowsAhead& operator=(const RowsAhead&) = delete;

  // The count of rows a reader standing on `row` can read now: above `row`
  // unless the rows end there. Waits while the fetch goes on.
  int32_t readableFor(int32_t row);
  // Waits for the fetch to end; true when every row came (not when it
  // failed or was stopped).
  bool finish();
  // No reader wants more rows: the fetch stops at its next report.
  void stop();
  // Finalises the statement once the fetch is finished, so that its
  // connection can close while a record set still holds the rows.
  void releaseStatement();

  const std::shared_ptr<Snapshot>& rows() const { return rows_; }

 private:
  void fetch();
  bool carryOn(int32_t rowsFetched) override;
  bool growRoom(int32_t rowsFetched, const std::function<void()>& takeMoreRoom) override;
  // On the reading thread, with the mutex held: moves the rows into the
  // room the fetch asks for, if it asks.
  void growWhenAsked();

  StatementHandle statement_;
  std::shared_ptr<Snapshot> rows_;
  std::atomic<bool> stop_{false};
  // What the fetching thread tells: rows fetched, and how it ended.
  std::mutex mutex_;
  std::condition_variable told_;
  int32_t fetched_ = 0;
  bool ended_ = false;
  // What the fetch asks the reader to run, while it waits.
  const std::function<void()>* growth_ = nullptr;
  // Set where no thread could be started: the fetch runs on the reader's.
  bool fetchingHere_ = false;
  Snapshot::FetchEnd end_ = Snapshot::FetchEnd::kDone;
  // Set on the reading thread once the fetching thread is joined.
  bool finished_ = false;
  std::thread thread_;
};

}  // namespace db
