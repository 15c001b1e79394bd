// Sharing modes of opened files, emulated among cooperating openers.
//
// An opener states what it does (read, write) and what it denies others
// (reading, writing). Another open fails when its access is denied by an
// existing opener, or when it would deny an access an existing opener has.
//
// Linux has no mandatory sharing modes, so every statement is an
// open-file-description lock (F_OFD_SETLK) on one of four bytes far beyond
// any real file data: "reads", "writes", "denies reading", "denies writing".
// All four are shared locks, so openers that state the same thing coexist;
// conflicts are found by testing the opposite byte (F_OFD_GETLK). An opener
// first places its own locks and then tests, so of two racing openers at most
// one can succeed.
//
// What this enforces: everything above between openers that follow this
// protocol (every instance of this runtime). What it cannot enforce: the locks
// are advisory, so programs that do not take them (editors, shells) read and
// write regardless, and a program that locks a whole file makes a
// conflicting-looking lock on our bytes. The locks live as long as the open
// file description and vanish with it, also when the process dies.
#pragma once

namespace rt {

struct ShareRequest {
  bool reads = false;
  bool writes = false;
  bool deniesReading = false;
  bool deniesWriting = false;
};

// Places the locks of `request` on `lockFd` (a descriptor open for reading on
// the file) and checks them against other openers. False on a conflict (no
// lock is left behind then) or when locking is impossible on that file.
bool acquireShareLocks(int lockFd, const ShareRequest& request);

}  // namespace rt
