#include "tools/folder_access.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>

namespace admin {
namespace {

namespace fs = std::filesystem;

constexpr mode_t kPrivateFolder = 0700;
constexpr mode_t kPrivateFile = 0600;
constexpr mode_t kPrivateExecutable = 0700;
constexpr mode_t kSharedFolder = 02770;
constexpr mode_t kSharedFile = 0660;
constexpr mode_t kSharedExecutable = 0770;

constexpr mode_t kAccessBits = 0777;
constexpr mode_t kReadWriteOfOthers = S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
constexpr mode_t kGroupBits = S_IRWXG;
constexpr uid_t kRoot = 0;

// The executable of the program; everything else the folder holds is data,
// or a library that is loaded (which needs no execute bit).
constexpr std::string_view kProgramExecutable = "jiaxiao";
// Qt reads this file beside the executable and takes plugin folders from it.
constexpr std::string_view kQtConfiguration = "qt.conf";

[[noreturn]] void fail(const std::string& what, const fs::path& path) {
  throw fs::filesystem_error(what, path, std::error_code(errno, std::generic_category()));
}

std::string octal(mode_t mode) {
  char text[16];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

bool isLibraryName(std::string_view name) {
  return name.ends_with(".so") || name.find(".so.") != std::string_view::npos;
}

bool isKnownTopLevelFile(std::string_view name) {
  const auto& known = programFolderFiles();
  return std::find(known.begin(), known.end(), name) != known.end();
}

// A library or Qt configuration that the program could load and that is not
// one of the program folder's own files.
bool isPlanted(const fs::path& relative) {
  std::string name = relative.filename().string();
  if (!isLibraryName(name) && name != kQtConfiguration) return false;
  bool topLevel = !relative.has_parent_path();
  return !(topLevel && isKnownTopLevelFile(name));
}

std::string plantedText(const fs::path& relative) {
  if (relative.filename() == kQtConfiguration)
    return "a qt.conf that jiaxiao-admin did not put there: the program takes Qt plugin folders from it; "
           "remove it unless you put it there yourself";
  return "a library that jiaxiao-admin did not put there: the program may load it; "
         "remove it unless you put it there yourself";
}

std::string who(const Sharing& sharing) {
  return sharing.group ? "users outside group " + groupName(*sharing.group) : "other users";
}

std::string accessText(mode_t bits) {
  bool read = bits & (S_IRGRP | S_IROTH);
  bool write = bits & (S_IWGRP | S_IWOTH);
  if (read && write) return "read and write";
  if (write) return "write";
  if (read) return "read";
  return "enter";  // a folder's search bit alone: files can be opened by name
}

class FolderCheck {
 public:
  FolderCheck(const CheckRequest& request, const Sharing& sharing)
      : request_(request), sharing_(sharing), modes_(modesFor(sharing)) {}

  std::vector<Finding> run() {
    struct stat top {};
    if (lstat(request_.folder.c_str(), &top) != 0) fail("cannot read", request_.folder);
    if (!S_ISDIR(top.st_mode)) throw fs::filesystem_error("not a folder", request_.folder, std::error_code());
    folderOwner_ = top.st_uid;
    inspect(request_.folder, fs::path(), top);
    for (auto it = fs::recursive_directory_iterator(request_.folder); it != fs::recursive_directory_iterator(); ++it) {
      struct stat info {};
      if (lstat(it->path().c_str(), &info) != 0) continue;  // gone meanwhile
      inspect(it->path(), it->path().lexically_relative(request_.folder), info);
    }
    return std::move(findings_);
  }

 private:
  void inspect(const fs::path& path, const fs::path& relative, const struct stat& info) {
    if (!relative.empty() && isPlanted(relative))
      findings_.push_back({Finding::Kind::kPlanted, path, plantedText(relative)});
    if (S_ISLNK(info.st_mode)) return;  // its own mode means nothing; never followed
    checkOwner(path, info);
    checkGroup(path, info);
    checkMode(path, info);
  }

  // In a private folder, a file of another user (root aside) can be
  // rewritten by that user. In a shared one the desks' users own their files.
  void checkOwner(const fs::path& path, const struct stat& info) {
    if (sharing_.group || info.st_uid == folderOwner_ || info.st_uid == kRoot) return;
    findings_.push_back({Finding::Kind::kOpenToOthers, path,
                         "belongs to user " + std::to_string(info.st_uid) +
                             ", not to the folder's owner, who may "
                             "change it (not fixed: change its owner or remove it)"});
  }

  // In a shared folder, the group bits of a file of another group let that
  // group in.
  void checkGroup(const fs::path& path, const struct stat& info) {
    if (!sharing_.group || info.st_gid == *sharing_.group || !(info.st_mode & kGroupBits)) return;
    Finding finding{Finding::Kind::kOpenToOthers, path,
                    "belongs to group " + groupName(info.st_gid) + ", whose members may use it"};
    if (request_.fix) {
      if (lchown(path.c_str(), static_cast<uid_t>(-1), *sharing_.group) != 0) fail("cannot change the group of", path);
      finding.what += "; now in group " + groupName(*sharing_.group);
      finding.fixed = true;
    }
    findings_.push_back(std::move(finding));
  }

  void checkMode(const fs::path& path, const struct stat& info) {
    bool folder = S_ISDIR(info.st_mode);
    bool executable = !folder && (path.filename() == kProgramExecutable || (info.st_mode & S_IXUSR));
    mode_t allowed = folder ? modes_.folder : executable ? modes_.executable : modes_.file;
    mode_t excess = info.st_mode & kAccessBits & ~allowed;
    // A file whose excess is an execute bit alone gives nothing away.
    if (!folder && !(excess & kReadWriteOfOthers)) return;
    if (!excess) return;
    Finding finding{Finding::Kind::kOpenToOthers, path,
                    who(sharing_) + " may " + accessText(excess) + " it (mode " + octal(info.st_mode) + ")"};
    if (request_.fix) {
      mode_t tightened = info.st_mode & 07777 & ~excess;
      if (chmod(path.c_str(), tightened) != 0) fail("cannot change the mode of", path);
      finding.what += "; now " + octal(tightened);
      finding.fixed = true;
    }
    findings_.push_back(std::move(finding));
  }

  const CheckRequest& request_;
  Sharing sharing_;
  AccessModes modes_;
  uid_t folderOwner_ = 0;
  std::vector<Finding> findings_;
};

}  // namespace

AccessModes modesFor(const Sharing& sharing) {
  if (sharing.group) return {kSharedFolder, kSharedFile, kSharedExecutable};
  return {kPrivateFolder, kPrivateFile, kPrivateExecutable};
}

std::optional<gid_t> groupNamed(const std::string& name) {
  if (name.empty()) return std::nullopt;
  std::vector<char> buffer(16384);
  struct group entry {};
  struct group* found = nullptr;
  if (getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->gr_gid;
  // A number names the group directly.
  if (std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }) && name.size() < 10)
    return static_cast<gid_t>(std::stoul(name));
  return std::nullopt;
}

std::string groupName(gid_t group) {
  std::vector<char> buffer(16384);
  struct group entry {};
  struct group* found = nullptr;
  if (getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->gr_name;
  return std::to_string(group);
}

const std::vector<std::string_view>& programFolderFiles() {
  static const std::vector<std::string_view> files = {
      "hj.mdb",    "hj.mdb-journal", "systeminfo.ini", "log.log",          "table.xlsx",
      "photo.bmp", "sdtapi.ini",     "libsdtapi.so",   kProgramExecutable, "database.ini",
  };
  return files;
}

void setAccess(const fs::path& path, mode_t mode, const Sharing& sharing) {
  // The group first: changing it may clear the set-group-ID bit.
  if (sharing.group && chown(path.c_str(), static_cast<uid_t>(-1), *sharing.group) != 0)
    fail("cannot give the group to", path);
  if (chmod(path.c_str(), mode) != 0) fail("cannot set the mode of", path);
}

void writePrivateFile(const fs::path& file, const std::string& bytes, const Sharing& sharing) {
  const mode_t mode = modesFor(sharing).file;
  int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
  if (fd < 0) fail("cannot write", file);
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  // The umask may have taken bits the mode needs, and an existing file keeps
  // its old mode through open.
  if (sharing.group && fchown(fd, static_cast<uid_t>(-1), *sharing.group) != 0) fail("cannot give the group to", file);
  if (fchmod(fd, mode) != 0) fail("cannot set the mode of", file);
  for (size_t written = 0; written < bytes.size();) {
    ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("cannot write", file);
    written += static_cast<size_t>(n);
  }
}

Sharing sharingOf(const fs::path& folder) {
  struct stat info {};
  if (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISGID)) return {info.st_gid};
  return {};
}

std::vector<Finding> checkProgramFolder(const CheckRequest& request) {
  Sharing sharing = request.sharing ? *request.sharing : sharingOf(request.folder);
  return FolderCheck(request, sharing).run();
}

}  // namespace admin
