// The thirteen entry operations through which application code reaches the
// runtime.
#include "runtime/entry.h"

#include "runtime/api.h"
#include "runtime/dll.h"
#include "runtime/error.h"
#include "runtime/heap.h"
#include "runtime/library.h"
#include "runtime/screen.h"

namespace rt {
namespace {

[[noreturn]] void reportError(int32_t code, int32_t positionA, int32_t positionB) {
  RunTimeError(errorMessageOf(code), code, static_cast<uint32_t>(positionA), static_cast<uint32_t>(positionB));
}

void* callDllCommand(int32_t index) { return resolveDllCommand(index); }

// The command call protocol: a zeroed result, then (result, count, args).
TypedValue callCommand(CommandFn command, int32_t count, TypedValue* args) {
  // A routine the program's libraries do not provide would be a jump to
  // nowhere; it is reported like any other programming error.
  if (!command) fatalUtf8("所调用的命令不存在");
  TypedValue result{};
  command(&result, count, args);
  return result;
}

// The library index tells which library owns the command; the routine itself
// does not need it.
TypedValue callLibraryCommand(int32_t libraryIndex, CommandFn command, int32_t count, TypedValue* args) {
  (void)libraryIndex;
  return callCommand(command, count, args);
}

void writeProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element, uint32_t low,
                   uint32_t high) {
  writeUnitProperty(windowId, unitId, property, element, (static_cast<uint64_t>(high) << 32) | low);
}

intptr_t service(int32_t number, intptr_t argument) {
  switch (number) {
    case kServiceStartUp:
      startUpRuntime(*reinterpret_cast<const ProgramHeader*>(argument));
      return 0;
    case kServiceRegisterExitRoutine:
      registerExitRoutine(reinterpret_cast<ExitRoutine>(argument));
      return 0;
    case kServiceFindCommand: {
      auto libraryNumber = static_cast<int32_t>(argument >> 16);
      auto commandNumber = static_cast<int32_t>(argument & 0xFFFF);
      return reinterpret_cast<intptr_t>(findCommand(libraryNumber, commandNumber));
    }
    default:
      return 0;
  }
}

}  // namespace

const EntryTable kEntryTable{
    &reportError, &callDllCommand, &callLibraryCommand, &callCommand, &readUnitProperty, &writeProperty,
    &Allocate,    &Reallocate,     &Free,               &ExitProgram, &runMessageLoop,   &loadStartWindow,
    &service,
};

}  // namespace rt
