// The fixed entry operations through which application code reaches the
// runtime, and the program header that describes the application to it.
#pragma once

#include <atomic>
#include <cstdint>

#include "runtime/error.h"
#include "runtime/heap.h"
#include "runtime/library.h"
#include "runtime/value.h"

namespace rt {

// Arguments pushed to an event handler, each 32-bit, in declaration order.
struct EventArgs {
  int32_t count = 0;
  int32_t values[3] = {0, 0, 0};
};
// An event handler returns its result (read only for events that carry one).
using EventHandler = int32_t (*)(const EventArgs& args);

// An outside-library function the program declares.
struct DllCommand {
  const char* library;   // e.g. "sdtapi.dll", "kernel32"
  const char* function;  // "#n" is ordinal n
};

// The build kind of a debugging build; other builds end the process on a fatal error.
inline constexpr int32_t kBuildDebug = 2;
inline constexpr int32_t kBuildRelease = 3;

struct ProgramHeader {
  int32_t buildKind;
  int32_t reserved;
  int32_t versionWord;
  // Handler offsets in the templates are byte offsets into this table.
  const EventHandler* codeBase;
  const char* constantBlock;
  int32_t constantBlockSize;
  const unsigned char* templateBlock;
  int32_t templateBlockSize;
  int32_t libraryCount;
  const Library* const* libraries;
  int32_t dllCommandCount;
  const DllCommand* dllCommands;
};

// Service numbers.
inline constexpr int32_t kServiceRegisterExitRoutine = 3;
inline constexpr int32_t kServiceStartUp = 6;

using ExitRoutine = void (*)(int32_t index);

// The thirteen entry operations, in slot order.
struct EntryTable {
  void (*ReportError)(int32_t code, int32_t positionA, int32_t positionB);
  void* (*CallDllCommand)(int32_t index);  // resolves and returns the function address
  TypedValue (*CallLibraryCommand)(int32_t libraryIndex, CommandFn command, int32_t count, TypedValue* args);
  TypedValue (*CallCommand)(CommandFn command, int32_t count, TypedValue* args);
  uint64_t (*ReadProperty)(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element);
  void (*WriteProperty)(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element, uint32_t low,
                        uint32_t high);
  void* (*Allocate)(int32_t bytes);
  void* (*Reallocate)(void* block, int32_t bytes);
  void (*Free)(void* block);
  void (*ExitProgram)(int32_t code);
  void (*RunMessageLoop)();
  void (*LoadStartWindow)(uint32_t windowId);
  intptr_t (*Service)(int32_t number, intptr_t argument);
};

// Routines behind slots whose own header cannot be included here (screen.h
// includes this one) forward to it from entry.cpp. The two command-call
// slots are defined here: with the table a constant of this header, a call
// through the slot becomes a direct call, and the jump to the command
// routine is made at each calling place, where it is predicted far better
// than at one shared place for every command of the program.
namespace entry_operations {
[[noreturn]] void reportError(int32_t code, int32_t positionA, int32_t positionB);
void* callDllCommand(int32_t index);
[[noreturn]] void commandMissing();
// The command call protocol: a zeroed result, then (result, count, args).
inline TypedValue callCommand(CommandFn command, int32_t count, TypedValue* args) {
  // A routine the program's libraries do not provide would be a jump to
  // nowhere; it is reported like any other programming error.
  if (!command) commandMissing();
  TypedValue result{};
  command(&result, count, args);
  return result;
}
// The library index tells which library owns the command; the routine
// itself does not need it.
inline TypedValue callLibraryCommand(int32_t, CommandFn command, int32_t count, TypedValue* args) {
  return callCommand(command, count, args);
}
uint64_t readProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element);
void writeProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element, uint32_t low, uint32_t high);
void runMessageLoop();
void loadStartWindow(uint32_t windowId);
intptr_t service(int32_t number, intptr_t argument);
}  // namespace entry_operations

inline constexpr EntryTable kEntryTable{
    &entry_operations::reportError,
    &entry_operations::callDllCommand,
    &entry_operations::callLibraryCommand,
    &entry_operations::callCommand,
    &entry_operations::readProperty,
    &entry_operations::writeProperty,
    &Allocate,
    &Reallocate,
    &Free,
    &ExitProgram,
    &entry_operations::runMessageLoop,
    &entry_operations::loadStartWindow,
    &entry_operations::service,
};
inline const EntryTable& entries() { return kEntryTable; }

// Counts the registrations of the program's libraries. A routine the
// find-command service answered stays the routine of its command while the
// count is unchanged, so callers may keep it (as a compiled program binds
// its imports once) instead of asking for every call.
extern std::atomic<uint32_t> libraryRegistrations;

}  // namespace rt
