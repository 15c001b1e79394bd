// Making a program folder: the encrypted records database with its schema,
// the settings file and the empty operation log; optionally demo data.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "tools/folder_access.h"
#include "tools/outcome.h"

namespace admin {

struct FolderRequest {
  std::filesystem::path folder;
  bool replaceDatabase = false;  // an existing database is refused otherwise
  bool withDemoData = false;
  size_t learners = 0;
  size_t bookings = 0;
  uint64_t seed = 1;
  Sharing sharing;  // private unless a group is given
};

// The database is built under a temporary name and moved into place only
// when complete, so a failure never leaves a half-made hj.mdb. Settings and
// log files that exist are kept. The folder and every file of it that the
// tool writes or keeps get the modes of the sharing (folder_access.h).
Report makeProgramFolder(const FolderRequest& request);

}  // namespace admin
