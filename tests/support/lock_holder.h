// Another process that holds an exclusive lock on a database file, as a
// second program (the administrator's sqlcipher client in a transaction,
// say) would, until the test releases it.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "db/sqlite.h"

namespace jxtest {

class LockHolder {
 public:
  // Returns once the other process holds the lock (see holding()).
  LockHolder(const std::filesystem::path& file, const std::string& key) {
    int ready[2], release[2];
    if (pipe(ready) != 0) return;
    if (pipe(release) != 0) {
      close(ready[0]);
      close(ready[1]);
      return;
    }
    child_ = fork();
    if (child_ == 0) {
      close(ready[0]);
      close(release[1]);
      holdUntilReleased(file, key, ready[1], release[0]);
    }
    close(ready[1]);
    close(release[0]);
    releaseFd_ = release[1];
    char answer = 0;
    holding_ = child_ > 0 && read(ready[0], &answer, 1) == 1 && answer == kHolding;
    close(ready[0]);
  }
  ~LockHolder() { release(); }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  bool holding() const { return holding_; }

  // Ends the transaction and the process; returns when the process is gone.
  void release() {
    if (releaseFd_ >= 0) close(releaseFd_);
    releaseFd_ = -1;
    if (child_ > 0) waitpid(child_, nullptr, 0);
    child_ = -1;
    holding_ = false;
  }

 private:
  static constexpr char kHolding = 'L';
  static constexpr char kFailed = 'F';

  [[noreturn]] static void holdUntilReleased(const std::filesystem::path& file, const std::string& key, int readyFd,
                                             int releaseFd) {
    db::DatabaseHandle database = db::openDatabase(file.string(), key, db::OpenMode::kExistingOnly);
    // An exclusive transaction locks out readers as well as writers.
    bool locked = database && db::runScript(database.get(), "BEGIN EXCLUSIVE");
    char answer = locked ? kHolding : kFailed;
    if (write(readyFd, &answer, 1) != 1 || !locked) _exit(1);
    char ignored;
    while (read(releaseFd, &ignored, 1) > 0) {}
    db::runScript(database.get(), "ROLLBACK");
    database.reset();
    _exit(0);
  }

  pid_t child_ = -1;
  int releaseFd_ = -1;
  bool holding_ = false;
};

// Opens wait only this long for a lock while the object lives.
class ShortOpenLockWait {
 public:
  explicit ShortOpenLockWait(std::chrono::milliseconds wait) : saved_(db::openLockWait()) { db::setOpenLockWait(wait); }
  ~ShortOpenLockWait() { db::setOpenLockWait(saved_); }
  ShortOpenLockWait(const ShortOpenLockWait&) = delete;
  ShortOpenLockWait& operator=(const ShortOpenLockWait&) = delete;

 private:
  std::chrono::milliseconds saved_;
};

}  // namespace jxtest
