#include "app/leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string_view>

#include "app/program_files.h"
#include "reader/photo.h"
#include "sheet/engine/save.h"

namespace app {
namespace {

struct DirectoryCloser {
  void operator()(DIR* directory) const { closedir(directory); }
};

}  // namespace

bool isLeftoverName(std::string_view name) {
  for (std::string_view own : {files::kFilledFormCopy, files::kCardPhoto, sdt::kPartialPhotoFileName})
    if (name == own) return true;
  return sheet::isSaveTemporaryName(name);
}

int removeLeftoverFiles() {
  // The folder is held open: every look and removal happens in it, even if
  // its path were changed meanwhile.
  int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return 0;
  std::unique_ptr<DIR, DirectoryCloser> entries(fdopendir(folder));
  if (!entries) {
    close(folder);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = readdir(entries.get())) {
    if (!isLeftoverName(entry->d_name)) continue;
    struct stat info {};
    // A link is looked at, not followed; removing a name never follows one.
    if (fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) continue;
    if (unlinkat(folder, entry->d_name, 0) == 0) ++removed;
  }
  return removed;
}

}  // namespace app
