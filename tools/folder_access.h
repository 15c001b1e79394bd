// Who may read and write a program folder. The folder holds learners' names
// and identity numbers in clear (the log) and the database whose key is
// compiled into the executable beside it, so only its owner may use it, or
// the members of one group when the desks of a school log in as different
// users. A folder that others may write also lets them plant a library or a
// qt.conf that the program would load.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace admin {

// Private (no group), or shared with the members of one group.
struct Sharing {
  std::optional<gid_t> group;
};

// The modes of a folder, a plain file and an executable file.
struct AccessModes {
  mode_t folder;
  mode_t file;
  mode_t executable;
};
// Private: 0700, 0600, 0700. Shared: 2770 (new files take the folder's
// group), 0660, 0770.
AccessModes modesFor(const Sharing& sharing);

// The group of that name; nothing when there is none.
std::optional<gid_t> groupNamed(const std::string& name);
std::string groupName(gid_t group);

// The files a program folder holds: the ones this tool writes and the ones
// the program and its libraries write or load there.
const std::vector<std::string_view>& programFolderFiles();

// Gives an existing file or folder the mode (whatever the umask) and, when
// shared, the group. Throws std::filesystem::filesystem_error.
void setAccess(const std::filesystem::path& path, mode_t mode, const Sharing& sharing);

// Creates or replaces a file with these bytes, with the file mode of the
// sharing from its first byte on.
void writePrivateFile(const std::filesystem::path& file, const std::string& bytes, const Sharing& sharing);

// What `check` finds in a program folder.
struct Finding {
  enum class Kind {
    kOpenToOthers,  // others may read or write it (mode or group)
    kPlanted,       // a library or qt.conf this tool did not put there
    kUnreadable,    // a folder inside that this user cannot read
  };
  Kind kind;
  std::filesystem::path path;
  std::string what;  // one line for the user
  bool fixed = false;
};

struct CheckRequest {
  std::filesystem::path folder;
  // Nothing: read from the folder (a folder with the set-group-ID bit is
  // shared with its group, any other is private).
  std::optional<Sharing> sharing;
  bool fix = false;  // tighten modes and groups; planted files stay
};

// Looks at the folder and everything inside it. Symbolic links inside are
// reported by name only and never followed; a folder inside that cannot be
// read is a finding, and the rest is still looked at. The files the program
// loads (the reader library, the photo decoder of sdtapi.ini, the files
// database.ini names) are followed wherever they lie and reported when
// anybody but their owner may change them or the folders they lie in.
// Throws std::filesystem::filesystem_error when the folder cannot be read.
std::vector<Finding> checkProgramFolder(const CheckRequest& request);

// The sharing a folder was made with.
Sharing sharingOf(const std::filesystem::path& folder);

}  // namespace admin
