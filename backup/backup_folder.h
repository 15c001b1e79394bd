// The backups in a folder: listing them, finding today's, and keeping only
// the newest ones. Archives are recognised by their names,
// "<folder name>-YYYYMMDD-HHMMSS.jxbak"; temporary files of backups in
// progress and the before-restore folders are never counted or removed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "backup/manifest.h"
#include "backup/names.h"

namespace backup {

struct ListedBackup {
  std::filesystem::path path;
  uint64_t size = 0;
  std::optional<Manifest> manifest;
  std::string problem;  // why the manifest cannot be read
};

// Every archive in the folder, oldest first (by the time in its name).
std::vector<ListedBackup> listBackups(const std::filesystem::path& folder);

// The archives named with a time, oldest first.
std::vector<std::filesystem::path> archivesByAge(const std::filesystem::path& folder);

// Whether an archive of that local day is in the folder.
bool hasBackupOfDay(const std::filesystem::path& folder, Clock::time_point day);

// Removes all but the newest `count` archives; false, with the reason, when
// one could not be removed.
bool keepNewest(const std::filesystem::path& folder, size_t count, std::string* why);

}  // namespace backup
