// Restoring a backup into a program folder. Nothing in the folder changes
// until the whole archive has been checked (checkArchive with extraction:
// manifest, sizes, SHA-256, the records' integrity and counts) and, for a
// server's records, until they are back on an empty database. The folder's
// current files are then kept in 备份/before-restore-<time>/ and the
// backup's files take their places, each by one rename, the records last:
// at every moment hj.mdb is the old file or the new one, whole. The program
// must not have the folder open (it holds a lock on it while it runs).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "backup/files.h"
#include "backup/manifest.h"
#include "backup/names.h"

namespace backup {

struct RestoreRequest {
  std::filesystem::path archive;
  // Made (private) when missing: a school that lost its folder restores
  // into a new one.
  std::filesystem::path folder;
  // For a server's records: the empty database to restore them into (a
  // connection string). Nothing: the one the archive's database.ini names.
  // Given, the restored database.ini names it instead.
  std::optional<std::string> server;
  Clock::time_point time = Clock::now();
  Control control;
};

struct RestoreReport {
  bool ok = false;
  std::string why;  // when not ok; nothing in the folder was changed
  Manifest manifest;
  std::vector<std::string> restored;  // the files put in place
  std::vector<std::string> removed;   // files the backup does not hold, kept aside only
  std::filesystem::path setAside;     // empty when the folder held none of the files
  std::string server;                 // where a server's records went (without password)
};

RestoreReport restoreBackup(const RestoreRequest& request);

}  // namespace backup
