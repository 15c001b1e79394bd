// The admin tool's backup commands: backup, backups and restore. Each prints
// what it did (or why not) and answers the tool's exit status.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace admin {

// An archive of the folder in `destination` (empty: FOLDER/备份/); prints its path.
int backupFolder(const std::filesystem::path& folder, const std::filesystem::path& destination);
// The backups in FOLDER/备份/, oldest first, with time, size and counts.
int listFolderBackups(const std::filesystem::path& folder);
// Checks the archive, then puts its files into the folder.
int restoreFolder(const std::filesystem::path& archive, const std::filesystem::path& folder,
                  const std::optional<std::string>& server);

}  // namespace admin
