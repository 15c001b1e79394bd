#include "backup_test_support.h"

#include "runtime/folder_lock.h"

namespace backuptest {

ProgramHoldingFolder::ProgramHoldingFolder(const fs::path& folder) {
  int ready[2], release[2];
  if (pipe(ready) != 0 || pipe(release) != 0) {
    ADD_FAILURE() << "no pipe";
    return;
  }
  child_ = fork();
  if (child_ == 0) {
    close(ready[0]);
    close(release[1]);
    // What start-up does when it enters the program folder.
    char answer = rt::holdProgramFolder(folder.string()) ? 'H' : 'F';
    if (write(ready[1], &answer, 1) != 1) _exit(1);
    while (read(release[0], &answer, 1) > 0) {}
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  releaseFd_ = release[1];
  char answer = 0;
  EXPECT_TRUE(read(ready[0], &answer, 1) == 1 && answer == 'H') << "the other process does not hold the folder";
  close(ready[0]);
}

ProgramHoldingFolder::~ProgramHoldingFolder() {
  if (releaseFd_ >= 0) close(releaseFd_);
  if (child_ > 0) waitpid(child_, nullptr, 0);
}

}  // namespace backuptest
