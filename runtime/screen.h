// The screen as the core sees it. Windows, controls, the message loop and
// the core library's window commands belong to a screen layer (runtime/qt),
// which the program installs before start-up; the core includes nothing of
// it and reaches it only through this interface. Without a screen the core
// runs headless: no window loads, the message loop returns at once and a
// window command is a command the program does not have.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/clock.h"
#include "runtime/entry.h"
#include "runtime/events.h"
#include "runtime/library.h"

namespace rt {

// Idle routines: called whenever the message loop finds no pending event,
// newest first; a routine goes when its window is no longer loaded.
using IdleRoutine = void (*)(intptr_t argument);

class Screen {
 public:
  virtual ~Screen() = default;

  // Start-up: before the core's steps (the platform's application object,
  // the desktop, no window of an earlier start-up) and after them, once the
  // templates are loaded.
  virtual void beginStartUp() = 0;
  virtual void finishStartUp() = 0;
  // The kinds of the core library, which are all visual; registered after
  // the program's libraries.
  virtual std::span<const UnitKind> coreUnitKinds() = 0;
  // The routine of a window command of the core library (see
  // runtime/commands/window_commands.h); null for any other number.
  virtual CommandFn windowCommand(int32_t commandNumber) = 0;

  virtual uint64_t readUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element) = 0;
  virtual void writeUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element,
                                 uint64_t data) = 0;
  virtual void loadStartWindow(uint32_t windowId) = 0;
  // Runs until the start window or the last window has gone.
  virtual void runMessageLoop() = 0;
  // Handles every pending event and returns (nested message processing).
  virtual void processPendingEvents() = 0;
  virtual void registerIdleRoutine(uint32_t windowId, IdleRoutine routine, intptr_t argument) = 0;
  // Closes every window and stops the message loop (the exit sequence;
  // tests between cases).
  virtual void closeAllWindows() = 0;

  // An exit asked for on another thread is carried out on the GUI thread:
  // forwardExit returns after the GUI thread has run the exit sequence, or
  // when it could not.
  virtual bool onGuiThread() = 0;
  virtual void forwardExit(int32_t code) = 0;
};

// Installs the screen (null: headless) and gives the core library its
// window commands. The screen must outlive the run.
void installScreen(Screen* screen);
Screen& screen();

// Service 6: the runtime's start-up for the program the header describes.
void startUpRuntime(const ProgramHeader& header);

// The screen's operations, for the core and for tests.
inline uint64_t readUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element) {
  return screen().readUnitProperty(windowId, unitId, property, element);
}
inline void writeUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element, uint64_t data) {
  screen().writeUnitProperty(windowId, unitId, property, element, data);
}
// Failure is the fatal "载入启动窗口失败".
inline void loadStartWindow(uint32_t windowId) { screen().loadStartWindow(windowId); }
inline void runMessageLoop() { screen().runMessageLoop(); }
inline void processPendingEvents() { screen().processPendingEvents(); }
inline void registerIdleRoutine(uint32_t windowId, IdleRoutine routine, intptr_t argument) {
  screen().registerIdleRoutine(windowId, routine, argument);
}
inline void closeAllWindows() { screen().closeAllWindows(); }

}  // namespace rt
