// An attacker sharing a folder: while it runs, every file created in the
// folder whose name passes a test is replaced at once (inotify) by a
// symbolic link to a victim file. A writer that reopens its file by name
// after creating it writes into the victim.
#pragma once

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace jxtest {

class LinkPlanter {
 public:
  LinkPlanter(const std::filesystem::path& folder, std::filesystem::path victim,
              std::function<bool(const std::string&)> wanted)
      : folder_(folder), victim_(std::move(victim)), wanted_(std::move(wanted)) {
    fd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd_ >= 0) inotify_add_watch(fd_, folder.c_str(), IN_CREATE);
    thread_ = std::thread([this] { run(); });
  }
  ~LinkPlanter() {
    stop_ = true;
    thread_.join();
    if (fd_ >= 0) close(fd_);
  }
  LinkPlanter(const LinkPlanter&) = delete;
  LinkPlanter& operator=(const LinkPlanter&) = delete;

  bool watching() const { return fd_ >= 0; }
  int planted() const { return planted_; }

 private:
  void run() {
    alignas(inotify_event) char buffer[4096];
    while (!stop_) {
      pollfd poller{fd_, POLLIN, 0};
      if (poll(&poller, 1, 10) <= 0) continue;
      ssize_t length = read(fd_, buffer, sizeof buffer);
      for (ssize_t at = 0; at < length;) {
        auto* event = reinterpret_cast<inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->len == 0 || (event->mask & IN_ISDIR)) continue;
        std::string name = event->name;
        if (name.rfind(".planted", 0) == 0 || !wanted_(name)) continue;
        // A link made aside and renamed over the new file in one step.
        std::filesystem::path link = folder_ / (".planted" + std::to_string(planted_));
        std::error_code ignored;
        std::filesystem::create_symlink(victim_, link, ignored);
        std::filesystem::rename(link, folder_ / name, ignored);
        if (!ignored) ++planted_;
      }
    }
  }

  std::filesystem::path folder_;
  std::filesystem::path victim_;
  std::function<bool(const std::string&)> wanted_;
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<int> planted_{0};
  std::thread thread_;
};

}  // namespace jxtest
