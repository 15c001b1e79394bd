#include "sheet/engine/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "sheet/engine/save.h"

namespace sheet {
namespace {

constexpr int kTemporaryNameAttempts = 100;

}  // namespace

FileReplacement::FileReplacement(const std::string& target, unsigned mode) : target_(target) {
  namespace fs = std::filesystem;
  std::random_device seed;
  std::mt19937 random(seed());
  fs::path path(target);
  fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    // The save's naming, which start-up recognises when a run was cut off.
    std::string candidate =
        (folder / temporaryNameFor(path.filename().string(), static_cast<uint32_t>(random()))).string();
    fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd_ >= 0) {
      temporary_ = std::move(candidate);
      return;
    }
    if (errno != EEXIST) return;
  }
}

FileReplacement::~FileReplacement() {
  if (fd_ < 0) return;
  // Removed by name only while the name is still ours.
  struct stat opened {
  }, named{};
  if (!committed_ && fstat(fd_, &opened) == 0 && lstat(temporary_.c_str(), &named) == 0 &&
      opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
    ::unlink(temporary_.c_str());
  ::close(fd_);
}

std::string FileReplacement::descriptorPath() const { return "/proc/self/fd/" + std::to_string(fd_); }

bool FileReplacement::write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool FileReplacement::commit(std::string& error) {
  if (fd_ < 0) {
    error = "no temporary file";
    return false;
  }
  if (::fsync(fd_) != 0) {
    error = "cannot write " + target_ + ": " + std::strerror(errno);
    return false;
  }
  struct stat opened {
  }, named{};
  if (fstat(fd_, &opened) != 0 || lstat(temporary_.c_str(), &named) != 0 || opened.st_dev != named.st_dev ||
      opened.st_ino != named.st_ino) {
    error = "the temporary file beside " + target_ + " was replaced meanwhile";
    return false;
  }
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    error = "cannot put the file in place: " + std::string(std::strerror(errno));
    return false;
  }
  // Someone who may write the folder can still swap a link in for the
  // temporary name between the check above and the rename: then what stands
  // at the target is not ours, and a link is taken away again.
  struct stat placed {};
  if (lstat(target_.c_str(), &placed) != 0 || placed.st_dev != opened.st_dev || placed.st_ino != opened.st_ino) {
    if (S_ISLNK(placed.st_mode)) ::unlink(target_.c_str());
    error = "the temporary file beside " + target_ + " was replaced meanwhile";
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace sheet
