#include "runtime/commands/share_lock.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdint>
#include <initializer_list>

namespace rt {
namespace {

// The four statement bytes, at the end of the offset range.
constexpr off_t kSlotBase = INT64_MAX - 8;
enum Slot : off_t { kReads = 0, kWrites = 1, kDeniesReading = 2, kDeniesWriting = 3, kSlotCount = 4 };

flock slotLock(Slot slot, short type) {
  flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = kSlotBase + slot;
  lock.l_len = 1;
  return lock;
}

bool place(int fd, Slot slot) {
  flock lock = slotLock(slot, F_RDLCK);
  int r;
  do r = fcntl(fd, F_OFD_SETLK, &lock);
  while (r < 0 && errno == EINTR);
  return r == 0;
}

// Whether another open file description holds a lock on the slot.
bool heldByOthers(int fd, Slot slot) {
  flock lock = slotLock(slot, F_WRLCK);
  if (fcntl(fd, F_OFD_GETLK, &lock) < 0) return true;  // cannot tell: assume the worst
  return lock.l_type != F_UNLCK;
}

void releaseAll(int fd) {
  flock lock = slotLock(kReads, F_UNLCK);
  lock.l_len = kSlotCount;
  fcntl(fd, F_OFD_SETLK, &lock);
}

}  // namespace

bool acquireShareLocks(int lockFd, const ShareRequest& request) {
  struct Statement {
    bool made;
    Slot own;
    Slot opposite;
  };
  const Statement statements[] = {
      {request.reads, kReads, kDeniesReading},
      {request.writes, kWrites, kDeniesWriting},
      {request.deniesReading, kDeniesReading, kReads},
      {request.deniesWriting, kDeniesWriting, kWrites},
  };
  for (const Statement& s : statements) {
    if (s.made && !place(lockFd, s.own)) {
      releaseAll(lockFd);
      return false;
    }
  }
  for (const Statement& s : statements) {
    if (s.made && heldByOthers(lockFd, s.opposite)) {
      releaseAll(lockFd);
      return false;
    }
  }
  return true;
}

}  // namespace rt
