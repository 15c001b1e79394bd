#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace base {
namespace {

// Closes the descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

int openWithoutWaiting(const char* path) {
  int fd;
  do fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

std::optional<std::string> readRegularFile(const std::filesystem::path& file, size_t maxBytes) {
  Descriptor fd(openWithoutWaiting(file.c_str()));
  if (fd.get() < 0) return std::nullopt;
  struct stat info {};
  if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || static_cast<size_t>(info.st_size) > maxBytes)
    return std::nullopt;
  std::string content;
  char buffer[8192];
  for (;;) {
    ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return content;
    // A file that grows while it is read is held to the same limit.
    if (static_cast<size_t>(n) > maxBytes - content.size()) return std::nullopt;
    content.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace base
