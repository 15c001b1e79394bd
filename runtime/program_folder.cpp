#include "runtime/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "runtime/encoding.h"

namespace rt {
namespace {

std::string& folder() {
  static std::string f;
  return f;
}

ProgramFolderChoice& choice() {
  static ProgramFolderChoice c;
  return c;
}

std::string executablePath() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < path.size()) {
      path.resize(static_cast<size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

void setProgramFolder(std::string folderGb) {
  while (folderGb.size() > 1 && (folderGb.back() == '/' || folderGb.back() == '\\')) folderGb.pop_back();
  folder() = std::move(folderGb);
}

const std::string& programFolder() { return folder(); }

std::string executableFolder() {
  std::string path = executablePath();
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool enterFolder(const std::string& nativeFolder) {
  setProgramFolder(utf8ToGb(nativeFolder));
  if (chdir(nativeFolder.c_str()) != 0) return false;
  limitNewFilesTo(nativeFolder);
  return true;
}

bool adoptExecutableFolder() {
  std::string nativeFolder = executableFolder();
  return !nativeFolder.empty() && enterFolder(nativeFolder);
}

void setProgramFolderChoice(ProgramFolderChoice c) { choice() = std::move(c); }

const ProgramFolderChoice& programFolderChoice() { return choice(); }

void limitNewFilesTo(const std::string& nativeFolder) {
  struct stat info {};
  if (stat(nativeFolder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
  const mode_t notGiven = ~info.st_mode;
  mode_t mask = umask(0);
  mask |= notGiven & S_IRWXO;
  if (info.st_mode & S_ISGID)
    mask = (mask & ~S_IRWXG) | (notGiven & S_IRWXG);
  else
    mask |= notGiven & S_IRWXG;
  umask(mask);
}

}  // namespace rt
