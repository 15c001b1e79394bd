// Folders and files. Paths are runtime texts (GB18030, '\' or '/'); every one
// goes through toNativePath. Files opened by OpenFile stay registered in the
// runtime's table of open files until the core library shuts down.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>
#include <utility>

#include "runtime/commands/arguments.h"
#include "runtime/commands/core_commands.h"
#include "runtime/commands/share_lock.h"
#include "runtime/convert.h"
#include "runtime/encoding.h"
#include "runtime/program_folder.h"

namespace rt::commands {
namespace {

// An owned file descriptor.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void reset() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// An open file: its descriptor and, when that one cannot hold read locks
// (write-only modes), a second read-only descriptor that carries the sharing
// locks.
struct OpenedFile {
  UniqueFd fd;
  UniqueFd lockFd;
};

// The runtime's table of open files. File numbers are never reused, so a
// stale number can never reach another file.
struct FileTable {
  std::map<int32_t, OpenedFile> files;
  int32_t lastNumber = 0;
};
FileTable& fileTable() {
  static FileTable table;
  return table;
}

OpenedFile* findFile(int32_t number) {
  auto& files = fileTable().files;
  auto it = files.find(number);
  return it == files.end() ? nullptr : &it->second;
}

UniqueFd openNative(const std::string& path, int flags, mode_t mode = 0666) {
  int fd;
  do fd = open(path.c_str(), flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return UniqueFd(fd);
}

// Opens a regular file only: folders, devices and pipes are refused (opening
// a pipe does not even block, thanks to O_NONBLOCK, which is dropped again).
UniqueFd openRegularFile(const std::string& path, int flags) {
  UniqueFd fd = openNative(path, flags | O_NONBLOCK);
  struct stat info {};
  if (!fd.valid() || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// A read-only descriptor of the same open file (not the same path, which may
// have been replaced meanwhile).
UniqueFd reopenForReading(int fd) { return openNative("/proc/self/fd/" + std::to_string(fd), O_RDONLY); }

enum Mode : int32_t {
  kReadExisting = 1,
  kWriteExisting = 2,
  kReadWriteExisting = 3,
  kCreateTruncate = 4,
  kOpenOrCreateWrite = 5,
  kOpenOrCreateReadWrite = 6,
};
enum Sharing : int32_t { kShareAll = 1, kDenyRead = 2, kDenyWrite = 3, kDenyAll = 4 };

int openFlagsOf(int32_t mode) {
  switch (mode) {
    case kReadExisting: return O_RDONLY;
    case kWriteExisting: return O_WRONLY;
    case kReadWriteExisting: return O_RDWR;
    // Truncation waits until the sharing check has passed (see OpenFile).
    case kCreateTruncate: return O_WRONLY | O_CREAT;
    case kOpenOrCreateWrite: return O_WRONLY | O_CREAT;
    case kOpenOrCreateReadWrite: return O_RDWR | O_CREAT;
    default: return -1;
  }
}

ShareRequest shareRequestOf(int flags, int32_t sharing) {
  ShareRequest request;
  int access = flags & O_ACCMODE;
  request.reads = access == O_RDONLY || access == O_RDWR;
  request.writes = access == O_WRONLY || access == O_RDWR;
  request.deniesReading = sharing == kDenyRead || sharing == kDenyAll;
  request.deniesWriting = sharing == kDenyWrite || sharing == kDenyAll;
  return request;
}

// WriteTextLine copies shorter texts into one write.
constexpr size_t kGatheredWriteBytes = 64 * 1024;

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Reads exactly `size` bytes unless the file ends first; false on an error.
bool readUpTo(int fd, std::string& out, size_t size) {
  out.resize(size);
  size_t done = 0;
  while (done < size) {
    ssize_t n = read(fd, out.data() + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  out.resize(done);
  return true;
}

}  // namespace

void ProgramFolder(TypedValue* result, int32_t, TypedValue*) { setText(result, programFolder()); }

// The full current directory. (Its length is not limited to the 260 bytes of
// older platforms: a longer path is returned whole rather than lost.)
void CurrentDirectory(TypedValue* result, int32_t, TypedValue*) {
  std::string path(256, '\0');
  while (!getcwd(path.data(), path.size())) {
    if (errno != ERANGE) {
      setText(result, {});
      return;
    }
    path.resize(path.size() * 2);
  }
  path.resize(path.find('\0'));
  setText(result, utf8ToGb(path));
}

void RemoveFile(TypedValue* result, int32_t count, TypedValue* args) {
  std::string_view path = textArgument(count, args, 0);
  setBool(result, !path.empty() && unlink(toNativePath(path).c_str()) == 0);
}

// The whole regular file as a byte array, read while other cooperating
// openers may read but not write it. The length is the size at open.
void ReadFileBytes(TypedValue* result, int32_t count, TypedValue* args) {
  *result = TypedValue::ofPointer(nullptr, tag::kBytes);
  std::string_view path = textArgument(count, args, 0);
  if (path.empty()) return;
  UniqueFd fd = openRegularFile(toNativePath(path), O_RDONLY);
  struct stat info {};
  if (!fd.valid() || fstat(fd.get(), &info) != 0) return;
  if (!acquireShareLocks(fd.get(), {.reads = true, .deniesWriting = true})) return;
  if (info.st_size <= 0 || static_cast<uint64_t>(info.st_size) > kMaxTextBytes - kArrayHeaderBytes) return;
  std::string bytes;
  if (!readUpTo(fd.get(), bytes, static_cast<size_t>(info.st_size))) return;
  result->setPointer(newByteArray(bytes.data(), static_cast<int32_t>(bytes.size())));
}

void OpenFile(TypedValue* result, int32_t count, TypedValue* args) {
  setInt(result, 0);
  std::string_view path = textArgument(count, args, 0);
  int32_t mode = intArgument(count, args, 1, kReadWriteExisting);
  int32_t sharing = intArgument(count, args, 2, kShareAll);
  int flags = openFlagsOf(mode);
  if (path.empty() || flags < 0 || sharing < kShareAll || sharing > kDenyAll) return;

  // A file opened for writing is never reached through a symbolic link: in
  // a folder others may write (a shared program folder), a link swapped in
  // for log.log would otherwise have the program append to whatever file
  // the link names. Reading through a link stays allowed.
  if ((flags & O_ACCMODE) != O_RDONLY) flags |= O_NOFOLLOW;
  OpenedFile file;
  file.fd = openRegularFile(toNativePath(path), flags);
  if (!file.fd.valid()) return;
  ShareRequest request = shareRequestOf(flags, sharing);
  int lockFd = file.fd.get();
  if (!request.reads) {
    // Write-only: the read locks need a descriptor open for reading. A file
    // we may not read cannot take part in the sharing protocol.
    file.lockFd = reopenForReading(file.fd.get());
    lockFd = file.lockFd.get();
  }
  if (lockFd >= 0 && !acquireShareLocks(lockFd, request)) return;
  if (mode == kCreateTruncate && ftruncate(file.fd.get(), 0) != 0) return;

  FileTable& table = fileTable();
  int32_t number = ++table.lastNumber;
  table.files.emplace(number, std::move(file));
  setInt(result, number);
}

void SeekToEnd(TypedValue* result, int32_t count, TypedValue* args) {
  OpenedFile* file = findFile(intArgument(count, args, 0, 0));
  setBool(result, file && lseek(file->fd.get(), 0, SEEK_END) >= 0);
}

void WriteTextLine(TypedValue* result, int32_t count, TypedValue* args) {
  setBool(result, false);
  OpenedFile* file = findFile(intArgument(count, args, 0, 0));
  if (!file) return;
  int fd = file->fd.get();
  off_t remembered = lseek(fd, 0, SEEK_CUR);
  // Lines gather into one write; a long text (an import's log entries are
  // one text of megabytes) is written from where it is, not copied first.
  std::string lines;
  bool written = true;
  auto writeGathered = [&] {
    written = written && writeAll(fd, lines);
    lines.clear();
  };
  for (int32_t i = 1; i < count; ++i) {
    const TypedValue& value = args[i];
    if (value.tag == tag::kText) {
      if (!value.asText()) continue;
      std::string_view text(value.asText());
      if (text.size() < kGatheredWriteBytes) {
        lines += text;
      } else {
        writeGathered();
        written = written && writeAll(fd, text);
      }
    } else {
      bool supported = false;
      std::string text = valueToText(value, &supported);
      if (!supported) continue;
      lines += text;
    }
    lines += "\r\n";
  }
  writeGathered();
  if (!written) {
    if (remembered >= 0) lseek(fd, remembered, SEEK_SET);
    return;
  }
  setBool(result, true);
}

void closeAllFiles() { fileTable().files.clear(); }

}  // namespace rt::commands
