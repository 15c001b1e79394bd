// The program's daily automatic backup: at the first start of each day the
// program folder is backed up into its 备份/ on a worker thread with its
// own connection, at low priority, while the clerk works; the newest N
// backups are kept. A failure never stops the program: it is written to
// standard error and kept (in memory and in 备份/) until the program shows
// it, once.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "backup/names.h"

namespace backup {

inline constexpr int kDefaultKeptBackups = 14;
// A failure not shown yet, kept for the next start (UTF-8).
inline constexpr std::string_view kFailureNote = "自动备份失败.txt";

// The setting's value: empty gives the default, 0 turns the backups off; a
// value that is not a number also gives the default.
int keptBackupsOf(std::string_view setting);

class AutomaticBackup {
 public:
  static AutomaticBackup& instance();
  ~AutomaticBackup();

  // Starts the day's backup of the folder on the worker thread unless `keep`
  // is 0 or one is still running; the worker does nothing when 备份/ holds
  // a backup of today already. True when the worker was started.
  bool start(const std::filesystem::path& folder, int keep);
  // The reason (UTF-8) of an automatic backup that failed and has not been
  // shown: of this run, or one an earlier run noted in the folder's 备份/.
  // Forgotten once taken.
  std::optional<std::string> takeFailure(const std::filesystem::path& folder);
  // Stops a backup in progress (it leaves nothing behind) and waits for the
  // worker: at the program's end.
  void stop();
  // Waits until the worker has finished (tests, benchmarks).
  void wait();
  // The clock that says which day it is (tests); null restores the system's.
  void setClock(std::function<Clock::time_point()> clock);

 private:
  AutomaticBackup() = default;
  void work(std::filesystem::path folder, int keep, Clock::time_point now);
  void fail(const std::filesystem::path& folder, const std::string& reason);

  std::mutex mutex_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> running_{false};
  std::optional<std::string> failure_;
  std::function<Clock::time_point()> clock_;
};

}  // namespace backup
