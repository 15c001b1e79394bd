#include "backup/backup_folder.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "backup/archive_check.h"

namespace backup {
namespace {

namespace fs = std::filesystem;

// (stamp, path) of every archive named with a time, oldest first.
std::vector<std::pair<std::string, fs::path>> stampedArchives(const fs::path& folder) {
  std::vector<std::pair<std::string, fs::path>> found;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code kind;
    if (!it->is_regular_file(kind)) continue;
    std::string name = it->path().filename().string();
    if (auto stamp = stampOfArchive(name)) found.emplace_back(*stamp, it->path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

std::vector<ListedBackup> listBackups(const fs::path& folder) {
  std::vector<ListedBackup> listed;
  for (const fs::path& path : archivesByAge(folder)) {
    ListedBackup backup;
    backup.path = path;
    std::error_code error;
    backup.size = fs::file_size(path, error);
    backup.manifest = readManifest(path, &backup.problem);
    listed.push_back(std::move(backup));
  }
  return listed;
}

std::vector<fs::path> archivesByAge(const fs::path& folder) {
  std::vector<fs::path> paths;
  for (auto& [stamp, path] : stampedArchives(folder)) paths.push_back(std::move(path));
  return paths;
}

bool hasBackupOfDay(const fs::path& folder, Clock::time_point day) {
  const std::string dayStamp = dayText(day);
  for (const auto& [stamp, path] : stampedArchives(folder))
    if (stamp.starts_with(dayStamp)) return true;
  return false;
}

bool keepNewest(const fs::path& folder, size_t count, std::string* why) {
  auto archives = stampedArchives(folder);
  bool ok = true;
  for (size_t i = 0; i + count < archives.size(); ++i) {
    std::error_code error;
    if (!fs::remove(archives[i].second, error) && error) {
      if (why) *why = "cannot remove the old backup " + archives[i].second.string() + ": " + error.message();
      ok = false;
    }
  }
  return ok;
}

}  // namespace backup
