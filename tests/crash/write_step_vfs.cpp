#include "tests/crash/write_step_vfs.h"

#include <unistd.h>

#include <cstring>
#include <string_view>

#include "db/sqlite.h"

namespace crashtest {
namespace {

constexpr const char* kLayerName = "jx-write-steps";
constexpr std::string_view kJournalSuffix = "-journal";

sqlite3_vfs* lower = nullptr;  // the engine's own default
int64_t stepsSoFar = 0;
int64_t killStep = 0;

void step() {
  if (++stepsSoFar == killStep) _exit(kKilledAtStep);
}

// An open file of the layer: its own header, then the lower layer's file.
struct CountedFile {
  sqlite3_file base;
  sqlite3_file* real;
  bool counted;  // the database or its journal
};

sqlite3_file* real(sqlite3_file* file) { return reinterpret_cast<CountedFile*>(file)->real; }
bool counted(sqlite3_file* file) { return reinterpret_cast<CountedFile*>(file)->counted; }

int closeFile(sqlite3_file* file) { return real(file)->pMethods->xClose(real(file)); }
int readFile(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
  return real(file)->pMethods->xRead(real(file), buffer, amount, offset);
}
int writeFile(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
  if (counted(file)) step();
  return real(file)->pMethods->xWrite(real(file), buffer, amount, offset);
}
int truncateFile(sqlite3_file* file, sqlite3_int64 size) {
  if (counted(file)) step();
  return real(file)->pMethods->xTruncate(real(file), size);
}
int syncFile(sqlite3_file* file, int flags) {
  if (counted(file)) step();
  return real(file)->pMethods->xSync(real(file), flags);
}
int fileSize(sqlite3_file* file, sqlite3_int64* size) { return real(file)->pMethods->xFileSize(real(file), size); }
int lockFile(sqlite3_file* file, int level) { return real(file)->pMethods->xLock(real(file), level); }
int unlockFile(sqlite3_file* file, int level) { return real(file)->pMethods->xUnlock(real(file), level); }
int checkReservedLock(sqlite3_file* file, int* out) {
  return real(file)->pMethods->xCheckReservedLock(real(file), out);
}
int fileControl(sqlite3_file* file, int op, void* argument) {
  return real(file)->pMethods->xFileControl(real(file), op, argument);
}
int sectorSize(sqlite3_file* file) { return real(file)->pMethods->xSectorSize(real(file)); }
int deviceCharacteristics(sqlite3_file* file) { return real(file)->pMethods->xDeviceCharacteristics(real(file)); }
int shmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out) {
  return real(file)->pMethods->xShmMap(real(file), region, size, extend, out);
}
int shmLock(sqlite3_file* file, int offset, int n, int flags) {
  return real(file)->pMethods->xShmLock(real(file), offset, n, flags);
}
void shmBarrier(sqlite3_file* file) { real(file)->pMethods->xShmBarrier(real(file)); }
int shmUnmap(sqlite3_file* file, int deleteFlag) { return real(file)->pMethods->xShmUnmap(real(file), deleteFlag); }
int fetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out) {
  return real(file)->pMethods->xFetch(real(file), offset, amount, out);
}
int unfetch(sqlite3_file* file, sqlite3_int64 offset, void* page) {
  return real(file)->pMethods->xUnfetch(real(file), offset, page);
}

// Version 3: the unix layer underneath has shared memory and memory maps.
const sqlite3_io_methods kCountedMethods = {
    3,
    closeFile,
    readFile,
    writeFile,
    truncateFile,
    syncFile,
    fileSize,
    lockFile,
    unlockFile,
    checkReservedLock,
    fileControl,
    sectorSize,
    deviceCharacteristics,
    shmMap,
    shmLock,
    shmBarrier,
    shmUnmap,
    fetch,
    unfetch,
};

int openFile(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
  auto* counted = reinterpret_cast<CountedFile*>(file);
  counted->real = reinterpret_cast<sqlite3_file*>(counted + 1);
  counted->counted = flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL);
  int rc = lower->xOpen(lower, name, counted->real, flags, outFlags);
  // The engine closes a file only when the open left methods on it.
  counted->base.pMethods = counted->real->pMethods ? &kCountedMethods : nullptr;
  return rc;
}

int deleteFile(sqlite3_vfs*, const char* name, int syncFolder) {
  if (name && std::string_view(name).ends_with(kJournalSuffix)) step();
  return lower->xDelete(lower, name, syncFolder);
}

int access(sqlite3_vfs*, const char* name, int flags, int* out) { return lower->xAccess(lower, name, flags, out); }
int fullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  return lower->xFullPathname(lower, name, size, out);
}
void* dlOpen(sqlite3_vfs*, const char* name) { return lower->xDlOpen(lower, name); }
void dlError(sqlite3_vfs*, int size, char* out) { lower->xDlError(lower, size, out); }
void (*dlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) { return lower->xDlSym(lower, handle, symbol); }
void dlClose(sqlite3_vfs*, void* handle) { lower->xDlClose(lower, handle); }
int randomness(sqlite3_vfs*, int size, char* out) { return lower->xRandomness(lower, size, out); }
int sleepFor(sqlite3_vfs*, int microseconds) { return lower->xSleep(lower, microseconds); }
int currentTime(sqlite3_vfs*, double* out) { return lower->xCurrentTime(lower, out); }
int lastError(sqlite3_vfs*, int size, char* out) { return lower->xGetLastError(lower, size, out); }
int currentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return lower->xCurrentTimeInt64(lower, out); }

sqlite3_vfs layer;

}  // namespace

void installWriteStepCounter() {
  if (lower) return;
  lower = sqlite3_vfs_find(nullptr);
  std::memset(&layer, 0, sizeof layer);
  layer.iVersion = 2;
  layer.szOsFile = static_cast<int>(sizeof(CountedFile)) + lower->szOsFile;
  layer.mxPathname = lower->mxPathname;
  layer.zName = kLayerName;
  layer.xOpen = openFile;
  layer.xDelete = deleteFile;
  layer.xAccess = access;
  layer.xFullPathname = fullPathname;
  layer.xDlOpen = dlOpen;
  layer.xDlError = dlError;
  layer.xDlSym = dlSym;
  layer.xDlClose = dlClose;
  layer.xRandomness = randomness;
  layer.xSleep = sleepFor;
  layer.xCurrentTime = currentTime;
  layer.xGetLastError = lastError;
  layer.xCurrentTimeInt64 = currentTimeInt64;
  sqlite3_vfs_register(&layer, 1);
}

void killAtStep(int64_t stepNumber) {
  stepsSoFar = 0;
  killStep = stepNumber;
}

int64_t stepsCounted() { return stepsSoFar; }

}  // namespace crashtest
