#include "db/rows_ahead.h"

#include <system_error>

namespace db {

RowsAhead::RowsAhead(StatementHandle statement, std::shared_ptr<Snapshot> rows, SnapshotSize hint, int64_t expectedRows)
    : statement_(std::move(statement)), rows_(std::move(rows)) {
  rows_->reserveFor(hint, expectedRows);
  try {
    thread_ = std::thread([this] { fetch(); });
  } catch (const std::system_error&) {
    // The process is at its limit of threads: the rows are fetched here,
    // where no one reads them yet.
    finishing_ = true;
    fetch();
    finish();
  }
}

RowsAhead::~RowsAhead() {
  stop();
  if (thread_.joinable()) thread_.join();
}

void RowsAhead::stop() {
  std::lock_guard lock(mutex_);
  stop_.store(true, std::memory_order_relaxed);
  told_.notify_all();
}

void RowsAhead::fetch() {
  Snapshot::FetchEnd end = rows_->fetchWithinRoom(statement_.get(), *this);
  int32_t fetched = rows_->rowCount();
  std::lock_guard lock(mutex_);
  fetched_ = fetched;
  end_ = end;
  ended_ = true;
  told_.notify_all();
}

bool RowsAhead::carryOn(int32_t rowsFetched) {
  {
    std::lock_guard lock(mutex_);
    fetched_ = rowsFetched;
  }
  told_.notify_all();
  return !stop_.load(std::memory_order_relaxed);
}

bool RowsAhead::mayGrow(int32_t rowsFetched) {
  std::unique_lock lock(mutex_);
  fetched_ = rowsFetched;
  told_.notify_all();
  told_.wait(lock, [&] { return stop_.load(std::memory_order_relaxed) || finishing_ || waitingFor_ >= fetched_; });
  return !stop_.load(std::memory_order_relaxed);
}

int32_t RowsAhead::readableFor(int32_t row) {
  if (!finished_) {
    std::unique_lock lock(mutex_);
    if (fetched_ <= row && !ended_) {
      // Waiting, the reader reads nothing: the fetch may move the rows.
      waitingFor_ = row;
      told_.notify_all();
      told_.wait(lock, [&] { return fetched_ > row || ended_; });
      waitingFor_ = -1;
    }
    if (fetched_ > row) return fetched_;
  }
  finish();
  return rows_->rowCount();
}

bool RowsAhead::finish() {
  if (!finished_) {
    {
      std::lock_guard lock(mutex_);
      finishing_ = true;
      told_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
    // The thread has ended: the rows are this thread's alone from here.
    if (end_ == Snapshot::FetchEnd::kDone) rows_->giveBackRoom();
    fetched_ = rows_->rowCount();
    finished_ = true;
  }
  return end_ == Snapshot::FetchEnd::kDone;
}

void RowsAhead::releaseStatement() {
  finish();
  statement_.reset();
}

}  // namespace db
