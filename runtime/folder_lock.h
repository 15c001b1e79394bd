// An advisory lock on a folder itself (flock on the folder's descriptor), so
// that no lock file is left behind. The program holds its program folder
// shared for as long as it runs; whatever must not happen under a running
// program (putting other files in place of the ones it has open) takes the
// folder exclusively, and waits for or refuses the program accordingly.
#pragma once

#include <optional>
#include <string>

namespace rt {

class FolderLock {
 public:
  enum class Kind { kShared, kExclusive };
  enum class Wait { kNo, kYes };

  // Takes the lock on the folder at a native path. Nothing when the folder
  // cannot be opened or the lock is not given; `busy` then tells whether it
  // was refused because another holder has it (as opposed to a folder that
  // does not exist or a file system without such locks), `why` the system's
  // reason.
  static std::optional<FolderLock> take(const std::string& nativeFolder, Kind kind, Wait wait, bool* busy = nullptr,
                                        std::string* why = nullptr);

  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();

 private:
  explicit FolderLock(int descriptor) : descriptor_(descriptor) {}
  int descriptor_ = -1;
};

// Start-up: the program holds its folder shared until it ends (waiting
// while a restore puts files in place there); entering another folder lets
// go of the previous one. False when the lock could not be taken (the
// program runs on without it).
bool holdProgramFolder(const std::string& nativeFolder);

}  // namespace rt
