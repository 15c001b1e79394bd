// File steps that backups and restores share: the program folder's access
// modes, folders made with them, syncing, copying, the temporary folders of
// work in progress and the leftovers of work that was cut off.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace backup {

namespace fs = std::filesystem;

// Files are copied and read in pieces of this size.
inline constexpr size_t kCopyChunk = 1 << 20;

// A check that fails: says why (when the caller asks) and answers false.
inline bool refuse(std::string* why, std::string text) {
  if (why) *why = std::move(text);
  return false;
}

// What a backup or restore may be asked to stop for, and where a test may
// cut it off (the step is called between any two steps that write).
struct Control {
  const std::atomic<bool>* cancel = nullptr;
  std::function<void()> step;

  bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
  void tick() const {
    if (step) step();
  }
};

// The access a program folder gives: private to its owner (folders 0700,
// files 0600), or, when the folder has the set-group-ID bit, shared with
// its group (2770, 0660), as the admin tool makes folders.
struct Access {
  mode_t folder = 0700;
  mode_t file = 0600;
  std::optional<gid_t> group;
};
Access accessOf(const fs::path& programFolder);

// Gives an open file or folder the mode and group of the access.
bool applyAccess(int descriptor, mode_t mode, const Access& access, std::string* why);
bool applyAccess(const fs::path& path, bool isFolder, const Access& access, std::string* why);

// Makes the folder (its parent must exist) with the access, or gives an
// existing one the access. False, with the reason, when that fails or the
// path is something other than a folder.
bool ensureFolder(const fs::path& folder, const Access& access, std::string* why);

// Writes a short text as the whole of a file, never through a link that
// stands at its name (a folder shared with a group may hold one).
bool writeWholeFile(const fs::path& file, std::string_view text, const Access& access, std::string* why);

// Writes the file's data and then its folder entry to the disk.
bool syncFile(const fs::path& file, std::string* why);
bool syncFolder(const fs::path& folder, std::string* why);

// Copies a regular file (following a link) into a new file with the file
// mode of the access; nothing is left at `to` on failure.
bool copyFile(const fs::path& from, const fs::path& to, const Access& access, bool sync, const Control& control,
              std::string* why);

// A folder ".jxbak-<process id>-<purpose>-XXXXXX" made inside `parent`,
// private, and removed with everything in it when the object goes.
class WorkFolder {
 public:
  static std::optional<WorkFolder> make(const fs::path& parent, const std::string& purpose, std::string* why);
  WorkFolder(WorkFolder&& other) noexcept;
  WorkFolder& operator=(WorkFolder&& other) noexcept;
  WorkFolder(const WorkFolder&) = delete;
  ~WorkFolder();
  const fs::path& path() const { return path_; }

 private:
  explicit WorkFolder(fs::path path) : path_(std::move(path)) {}
  void remove();
  fs::path path_;
};

// The name of a temporary file of this process in a folder:
// ".jxbak-<process id>-<name>".
fs::path temporaryPath(const fs::path& folder, const std::string& name);

// Removes the temporary files and folders of processes that have ended.
void removeLeftovers(const fs::path& folder);

// Writes all the bytes, going on after interruptions; false on an error.
bool writeAll(int descriptor, const char* bytes, size_t count);

// The system's text for an error number.
std::string systemText(int error);

}  // namespace backup
