// The thirteen entry operations through which application code reaches the
// runtime.
#include "runtime/entry.h"

#include "runtime/api.h"
#include "runtime/dll.h"
#include "runtime/error.h"
#include "runtime/heap.h"
#include "runtime/library.h"
#include "runtime/screen.h"

namespace rt::entry_operations {

void reportError(int32_t code, int32_t positionA, int32_t positionB) {
  RunTimeError(errorMessageOf(code), code, static_cast<uint32_t>(positionA), static_cast<uint32_t>(positionB));
}

void* callDllCommand(int32_t index) { return resolveDllCommand(index); }

void commandMissing() { fatalUtf8("所调用的命令不存在"); }

uint64_t readProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element) {
  return readUnitProperty(windowId, unitId, property, element);
}

void writeProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element, uint32_t low, uint32_t high) {
  writeUnitProperty(windowId, unitId, property, element, (static_cast<uint64_t>(high) << 32) | low);
}

void runMessageLoop() { rt::runMessageLoop(); }
void loadStartWindow(uint32_t windowId) { rt::loadStartWindow(windowId); }

intptr_t service(int32_t number, intptr_t argument) {
  switch (number) {
    case kServiceStartUp: startUpRuntime(*reinterpret_cast<const ProgramHeader*>(argument)); return 0;
    case kServiceRegisterExitRoutine: registerExitRoutine(reinterpret_cast<ExitRoutine>(argument)); return 0;
    case kServiceFindCommand: {
      auto libraryNumber = static_cast<int32_t>(argument >> 16);
      auto commandNumber = static_cast<int32_t>(argument & 0xFFFF);
      return reinterpret_cast<intptr_t>(findCommand(libraryNumber, commandNumber));
    }
    default: return 0;
  }
}

}  // namespace rt::entry_operations
