#include "backup/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "backup/names.h"

namespace backup {
namespace {

constexpr mode_t kPrivateFolder = 0700;
constexpr mode_t kPrivateFile = 0600;
constexpr mode_t kSharedFolder = 02770;
constexpr mode_t kSharedFile = 0660;

struct Descriptor {
  int value = -1;
  explicit Descriptor(int fd) : value(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (value >= 0) close(value);
  }
};

bool fail(std::string* why, const std::string& what) {
  if (why) *why = what + ": " + systemText(errno);
  return false;
}

bool syncPath(const fs::path& path, int flags, std::string* why) {
  Descriptor descriptor(open(path.c_str(), flags | O_CLOEXEC));
  if (descriptor.value < 0) return fail(why, "cannot open " + path.string());
  if (fsync(descriptor.value) != 0) return fail(why, "cannot write " + path.string() + " to the disk");
  return true;
}

// The process id of a temporary name ".jxbak-<pid>-..."; 0 for any other.
pid_t ownerOf(std::string_view name) {
  if (!name.starts_with(kTemporaryPrefix)) return 0;
  name.remove_prefix(kTemporaryPrefix.size());
  pid_t pid = 0;
  size_t digits = 0;
  for (; digits < name.size() && name[digits] >= '0' && name[digits] <= '9' && digits < 10; ++digits)
    pid = pid * 10 + (name[digits] - '0');
  return digits > 0 && digits < name.size() && name[digits] == '-' ? pid : 0;
}

bool processIsGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

std::string systemText(int error) { return std::strerror(error); }

bool writeAll(int descriptor, const char* bytes, size_t count) {
  while (count > 0) {
    ssize_t n = write(descriptor, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

Access accessOf(const fs::path& programFolder) {
  struct stat info {};
  if (stat(programFolder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISGID))
    return {kSharedFolder, kSharedFile, info.st_gid};
  return {kPrivateFolder, kPrivateFile, std::nullopt};
}

bool applyAccess(int descriptor, mode_t mode, const Access& access, std::string* why) {
  if (access.group && fchown(descriptor, static_cast<uid_t>(-1), *access.group) != 0)
    return fail(why, "cannot give the group its access");
  if (fchmod(descriptor, mode) != 0) return fail(why, "cannot set the access mode");
  return true;
}

bool applyAccess(const fs::path& path, bool isFolder, const Access& access, std::string* why) {
  Descriptor descriptor(open(path.c_str(), (isFolder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC));
  if (descriptor.value < 0) return fail(why, "cannot open " + path.string());
  std::string reason;
  if (!applyAccess(descriptor.value, isFolder ? access.folder : access.file, access, &reason)) {
    if (why) *why = path.string() + ": " + reason;
    return false;
  }
  return true;
}

bool ensureFolder(const fs::path& folder, const Access& access, std::string* why) {
  if (mkdir(folder.c_str(), kPrivateFolder) != 0 && errno != EEXIST) return fail(why, "cannot make " + folder.string());
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0) return fail(why, "cannot read " + folder.string());
  if (!S_ISDIR(info.st_mode)) {
    if (why) *why = folder.string() + " is not a folder";
    return false;
  }
  // A folder this user does not own keeps its modes (another desk's user
  // made it in a shared folder).
  if (info.st_uid != geteuid()) return true;
  return applyAccess(folder, true, access, why);
}

bool writeWholeFile(const fs::path& file, std::string_view text, const Access& access, std::string* why) {
  Descriptor descriptor(open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, access.file));
  if (descriptor.value < 0) return fail(why, "cannot write " + file.string());
  for (size_t written = 0; written < text.size();) {
    ssize_t step = write(descriptor.value, text.data() + written, text.size() - written);
    if (step < 0 && errno == EINTR) continue;
    if (step <= 0) return fail(why, "cannot write " + file.string());
    written += static_cast<size_t>(step);
  }
  return true;
}

bool syncFile(const fs::path& file, std::string* why) { return syncPath(file, O_RDONLY, why); }
bool syncFolder(const fs::path& folder, std::string* why) { return syncPath(folder, O_RDONLY | O_DIRECTORY, why); }

bool copyFile(const fs::path& from, const fs::path& to, const Access& access, bool sync, const Control& control,
              std::string* why) {
  Descriptor source(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (source.value < 0) return fail(why, "cannot read " + from.string());
  struct stat info {};
  if (fstat(source.value, &info) != 0 || !S_ISREG(info.st_mode)) {
    if (why) *why = from.string() + " is not a regular file";
    return false;
  }
  Descriptor target(open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, access.file));
  if (target.value < 0) return fail(why, "cannot write " + to.string());
  bool ok = applyAccess(target.value, access.file, access, why);
  std::vector<char> buffer(kCopyChunk);
  while (ok) {
    if (control.cancelled()) {
      if (why) *why = "cancelled";
      ok = false;
      break;
    }
    ssize_t n = read(source.value, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = fail(why, "cannot read " + from.string());
    } else if (n == 0) {
      break;
    } else if (!writeAll(target.value, buffer.data(), static_cast<size_t>(n))) {
      ok = fail(why, "cannot write " + to.string());
    }
    control.tick();
  }
  if (ok && sync && fsync(target.value) != 0) ok = fail(why, "cannot write " + to.string() + " to the disk");
  if (!ok) unlink(to.c_str());
  return ok;
}

std::optional<WorkFolder> WorkFolder::make(const fs::path& parent, const std::string& purpose, std::string* why) {
  std::string pattern = (temporaryPath(parent, purpose + "-XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) {
    fail(why, "cannot make a work folder in " + parent.string());
    return std::nullopt;
  }
  return WorkFolder(fs::path(name.data()));
}

WorkFolder::WorkFolder(WorkFolder&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }

WorkFolder& WorkFolder::operator=(WorkFolder&& other) noexcept {
  if (this != &other) {
    remove();
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

WorkFolder::~WorkFolder() { remove(); }

void WorkFolder::remove() {
  if (path_.empty()) return;
  std::error_code ignored;
  fs::remove_all(path_, ignored);
  path_.clear();
}

fs::path temporaryPath(const fs::path& folder, const std::string& name) {
  return folder / (std::string(kTemporaryPrefix) + std::to_string(getpid()) + "-" + name);
}

void removeLeftovers(const fs::path& folder) {
  std::error_code error;
  std::vector<fs::path> gone;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    pid_t owner = ownerOf(it->path().filename().string());
    if (owner > 0 && owner != getpid() && processIsGone(owner)) gone.push_back(it->path());
  }
  for (const fs::path& path : gone) fs::remove_all(path, error);
}

}  // namespace backup
