#include "tools/folder_access.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>

#include "base/regular_file.h"
#include "db/server_settings.h"
#include "reader/settings.h"

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

// chmod that refuses a symbolic link instead of changing the file it names.
void changeModeOf(const fs::path& path, mode_t mode) {
  if (fchmodat(AT_FDCWD, path.c_str(), mode, AT_SYMLINK_NOFOLLOW) != 0) fail("cannot change the mode of", path);
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
    walk(request_.folder);
    checkLoadedFiles();
    return std::move(findings_);
  }

 private:
  // Everything below `folder`; a folder that cannot be read is a finding
  // (what it holds stays unchecked) and the walk goes on beside it.
  void walk(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
      struct stat info {};
      if (lstat(it->path().c_str(), &info) != 0) continue;  // gone meanwhile
      inspect(it->path(), it->path().lexically_relative(request_.folder), info);
      if (S_ISDIR(info.st_mode)) walk(it->path());
    }
    if (error)
      findings_.push_back({Finding::Kind::kUnreadable, folder,
                           "cannot be read (" + error.message() + "): what it holds was not checked"});
  }

  // The files the program and its reader library load, wherever they lie:
  // the reader library (either name the program tries), the photo decoder
  // sdtapi.ini names, and the files database.ini has the server connection
  // read. Links are followed. Each must be writable by nobody but its owner
  // (and, in a shared folder, the folder's group), owned by the folder's
  // owner or root, and lie in folders that nobody else may change.
  // Inside the program folder the walk has judged them already.
  void checkLoadedFiles() {
    for (std::string_view name : {"libsdtapi.so", "sdtapi.so"})
      checkLoaded(request_.folder / name, "the reader library");
    if (auto text = base::readRegularFile(request_.folder / sdt::kSettingsFileName)) {
      if (auto decoder = sdt::parseSettings(*text, request_.folder).photoDecoder)
        checkLoaded(decoder->library, "the photo decoder named in sdtapi.ini", true);
    }
    for (const auto& [key, file] : filesNamedByServerSettings())
      checkLoaded(file, "the " + key + " file named in database.ini", true);
  }

  std::vector<std::pair<std::string, fs::path>> filesNamedByServerSettings() {
    std::vector<std::pair<std::string, fs::path>> files;
    auto text = base::readRegularFile(request_.folder / db::kServerSettingsFile);
    std::optional<std::string> connection = text ? db::serverSettingOf(*text) : std::nullopt;
    if (!connection) return files;
    for (const auto& [key, value] : db::serverFileSettings(*connection)) {
      fs::path file(value);
      files.emplace_back(key, file.is_relative() ? request_.folder / file : file);
    }
    return files;
  }

  void checkLoaded(const fs::path& path, const std::string& role, bool evenWhenMissing = false) {
    std::error_code error;
    struct stat info {};
    bool present = lstat(path.c_str(), &info) == 0;
    if (!present && !evenWhenMissing) return;
    fs::path target = fs::weakly_canonical(path, error);
    if (error) return;
    fs::path folder = fs::weakly_canonical(request_.folder, error);
    if (error || isInside(target, folder)) return;
    if (stat(target.c_str(), &info) == 0) {
      if (auto why = exposure(info, false))
        findings_.push_back({Finding::Kind::kOpenToOthers, path, role + " " + target.string() + ": " + *why});
    }
    // Whoever may change a folder on the way may put another file there.
    for (fs::path up = target.parent_path(); !up.empty(); up = up.parent_path()) {
      if (stat(up.c_str(), &info) == 0) {
        if (auto why = exposure(info, true))
          findings_.push_back({Finding::Kind::kOpenToOthers, path, role + " lies in " + up.string() + ": " + *why});
      }
      if (up == up.root_path()) break;
    }
  }

  static bool isInside(const fs::path& path, const fs::path& folder) {
    auto [end, unused] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end();
  }

  // Why others could change a loaded file or a folder it lies in; nothing
  // when they cannot.
  std::optional<std::string> exposure(const struct stat& info, bool folder) const {
    if (info.st_uid != folderOwner_ && info.st_uid != kRoot)
      return "belongs to user " + std::to_string(info.st_uid) + ", who may change it";
    // Everybody may add to a sticky folder like /tmp, but not replace what
    // another user put there.
    if (folder && (info.st_mode & S_ISVTX)) return std::nullopt;
    bool ourGroup = sharing_.group && info.st_gid == *sharing_.group;
    if ((info.st_mode & S_IWOTH) || ((info.st_mode & S_IWGRP) && !ourGroup))
      return "others may write it (mode " + octal(info.st_mode) + ")";
    return std::nullopt;
  }

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
      changeModeOf(path, tightened);
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
  // The group first: changing it may clear the set-group-ID bit. Neither
  // follows a link, which someone may have planted under a file's name to
  // have another file of ours opened up.
  if (sharing.group && lchown(path.c_str(), static_cast<uid_t>(-1), *sharing.group) != 0)
    fail("cannot give the group to", path);
  changeModeOf(path, mode);
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
