// Support libraries: each owns numbered commands and unit kinds and registers
// them with the runtime. The core runtime is library 1, the list view 2, the
// database 3, the spreadsheet 4, the shell 5, timing 6, backups 7 and the
// learner import 8.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/value.h"

namespace rt {

// A command routine: (result zeroed by the caller, declared count, arguments).
using CommandFn = void (*)(TypedValue* result, int32_t count, TypedValue* args);

struct UnitTemplate;

// Where a unit lives: enough for a unit object to raise its own events.
struct UnitContext {
  uint32_t windowId = 0;
  uint32_t unitId = 0;
  const UnitTemplate* tpl = nullptr;
};

// The run-time object behind one unit of a loaded window. Visual kinds are
// implemented with screen objects inside runtime/; non-visual kinds (database,
// spreadsheet) are plain C++ objects of their library.
class UnitObject {
 public:
  virtual ~UnitObject() = default;
  // Kind-specific properties. The caller of a read owns any returned block.
  // Return false for a property the kind does not have.
  virtual bool readProperty(int32_t number, TypedValue& out) {
    (void)number;
    (void)out;
    return false;
  }
  virtual bool writeProperty(int32_t number, const TypedValue& value) {
    (void)number;
    (void)value;
    return false;
  }
};

// Where a visual unit's screen object is placed; only the screen layer knows
// what it is.
struct ScreenParent;

struct UnitKind {
  uint32_t tag = 0;
  const char* name = "";
  bool acceptsEvents = false;
  // Non-visual kinds give this factory.
  std::unique_ptr<UnitObject> (*create)(const UnitContext&) = nullptr;
  // Visual kinds give this one; the screen layer calls it with the unit's
  // parent when a window loads.
  std::unique_ptr<UnitObject> (*createVisual)(const UnitContext&, ScreenParent* parent) = nullptr;
};

// Library notifications.
inline constexpr int kNotifyStart = 1;
inline constexpr int kNotifyShutdown = 6;

struct Library {
  int32_t number = 0;  // 1-based
  const char* name = "";
  std::vector<CommandFn> commands;  // indexed by command number
  std::vector<UnitKind> kinds;
  void (*notify)(int32_t code) = nullptr;
};

// The libraries of the runtime core. The support libraries declare theirs in
// their own folders.
const Library& coreLibrary();
const Library& shellLibrary();
const Library& timingLibrary();

// The registry the runtime builds at start-up from the program's library table.
void registerLibraries(const Library* const* libraries, int32_t count);
const Library* findLibrary(int32_t number);
// Kinds no library table carries (the core kinds, implemented by the screen
// layer); registered after registerLibraries, which forgets them. The kinds
// must outlive the run.
void registerUnitKinds(const UnitKind* kinds, size_t count);
const UnitKind* findUnitKind(uint32_t kindTag);
CommandFn findCommand(int32_t libraryNumber, int32_t commandNumber);

// The directory of live unit objects, filled by the window layer as windows
// load and unload (tests may register objects directly).
void registerUnitObject(uint32_t windowId, uint32_t unitId, UnitObject* object);
void unregisterUnitObject(uint32_t windowId, uint32_t unitId);

// Finds the object of a unit of a loaded window; null when the window is not
// loaded or the unit does not exist.
UnitObject* findUnitObject(uint32_t windowId, uint32_t unitId);
// The same, but a missing unit is the fatal "指定窗口或窗口组件不存在或尚未载入".
UnitObject& requireUnitObject(uint32_t windowId, uint32_t unitId);
inline UnitObject& requireUnitObject(const TypedValue& unitRef) {
  return requireUnitObject(unitRef.windowId(), unitRef.unitId());
}

}  // namespace rt
