#include "runtime/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace rt {

std::optional<FolderLock> FolderLock::take(const std::string& nativeFolder, Kind kind, Wait wait, bool* busy,
                                           std::string* why) {
  if (busy) *busy = false;
  int descriptor = open(nativeFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) {
    if (why) *why = std::strerror(errno);
    return std::nullopt;
  }
  int operation = (kind == Kind::kShared ? LOCK_SH : LOCK_EX) | (wait == Wait::kNo ? LOCK_NB : 0);
  int result;
  do result = flock(descriptor, operation);
  while (result != 0 && errno == EINTR);
  if (result != 0) {
    if (busy) *busy = errno == EWOULDBLOCK;
    if (why) *why = std::strerror(errno);
    close(descriptor);
    return std::nullopt;
  }
  return FolderLock(descriptor);
}

FolderLock::FolderLock(FolderLock&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = std::exchange(other.descriptor_, -1);
  }
  return *this;
}

// Closing the descriptor releases the lock.
FolderLock::~FolderLock() {
  if (descriptor_ >= 0) close(descriptor_);
}

bool holdProgramFolder(const std::string& nativeFolder) {
  static std::optional<FolderLock> held;
  held.reset();
  held = FolderLock::take(nativeFolder, FolderLock::Kind::kShared, FolderLock::Wait::kYes);
  return held.has_value();
}

}  // namespace rt
