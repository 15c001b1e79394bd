#include "db/rows_ahead.h"

#include <system_error>

namespace db {

RowsAhead::RowsAhead(StatementHandle statement, std::shared_ptr<Snapshot> rows, SnapshotSize hint)
    : statement_(std::move(statement)), rows_(std::move(rows)) {
  rows_->reserveFor(hint);
  try {
    thread_ = std::thread([this] { fetch(); });
  } catch (const std::system_error&) {
    // The process is at its limit of threads: the rows are fetched here,
    // where no one reads them yet.
    fetchingHere_ = true;
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

bool RowsAhead::growRoom(int32_t rowsFetched, const std::function<void()>& takeMoreRoom) {
  if (fetchingHere_) {
    takeMoreRoom();
    return true;
  }
  std::unique_lock lock(mutex_);
  fetched_ = rowsFetched;
  growth_ = &takeMoreRoom;
  told_.notify_all();
  told_.wait(lock, [&] { return !growth_ || stop_.load(std::memory_order_relaxed); });
  bool grown = !growth_;
  growth_ = nullptr;
  return grown;
}

void RowsAhead::growWhenAsked() {
  if (!growth_) return;
  (*growth_)();
  growth_ = nullptr;
  told_.notify_all();
}

int32_t RowsAhead::readableFor(int32_t row) {
  if (!finished_) {
    std::unique_lock lock(mutex_);
    // Waiting, the reader reads nothing: the rows may be moved.
    for (growWhenAsked(); fetched_ <= row && !ended_; growWhenAsked()) told_.wait(lock);
    if (fetched_ > row) return fetched_;
  }
  finish();
  return rows_->rowCount();
}

bool RowsAhead::finish() {
  if (!finished_) {
    {
      std::unique_lock lock(mutex_);
      for (growWhenAsked(); !ended_; growWhenAsked()) told_.wait(lock);
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
