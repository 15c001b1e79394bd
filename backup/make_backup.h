// Making a backup of a program folder: one archive
// "<folder name>-YYYYMMDD-HHMMSS.jxbak" with the records (a consistent copy
// of hj.mdb, or the server's dump when database.ini names a server), the
// folder's small files as they are and the manifest. The archive is written
// under a temporary name, synced, checked and only then given its name, so
// a backup that is cut off at any point leaves no file under that name.
#pragma once

#include <filesystem>
#include <string>

#include "backup/files.h"
#include "backup/manifest.h"
#include "backup/names.h"

namespace backup {

struct BackupRequest {
  std::filesystem::path folder;
  // Where the archive goes; empty: the folder's 备份/ (made with the
  // folder's access when missing).
  std::filesystem::path destination;
  Clock::time_point time = Clock::now();
  Control control;
};

struct BackupReport {
  // How far a backup that failed had come.
  enum class Stage { kFolder, kRecords, kFiles, kArchive, kCheck };

  bool ok = false;
  bool cancelled = false;
  Stage stage = Stage::kFolder;
  std::filesystem::path archive;
  Manifest manifest;
  std::string why;  // one line, when not ok
};

BackupReport makeBackup(const BackupRequest& request);

// The folder's 备份/.
std::filesystem::path backupFolderOf(const std::filesystem::path& programFolder);

}  // namespace backup
