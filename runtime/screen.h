// What the screen layer (runtime/qt) offers the rest of the runtime without
// exposing Qt: event raising, event processing, the tick count, idle
// routines, and the entry operations that need windows.
#pragma once

#include <cstdint>

#include "runtime/entry.h"

namespace rt {

// Raises event `event` of a unit (0 = the window's own unit) through its event
// table. Returns whether a handler ran; *result receives the handler's result.
// Nothing is dispatched while the event-block counter is above zero.
bool raiseEvent(uint32_t windowId, uint32_t unitId, int32_t event, const EventArgs& args = {},
                int32_t* result = nullptr);

// The unit whose event handler is running (zeros outside any handler).
struct EventSource {
  uint32_t windowId = 0;
  uint32_t unitId = 0;
  int32_t event = 0;
};
EventSource currentEventSource();

// Handles every pending event and returns (nested message processing).
void processPendingEvents();

// Milliseconds of a monotonic clock.
uint64_t tickCount();

// Idle routines: called whenever the message loop finds no pending event,
// newest first; a routine goes when its window is no longer loaded.
using IdleRoutine = void (*)(intptr_t argument);
void registerIdleRoutine(uint32_t windowId, IdleRoutine routine, intptr_t argument);

// --- entry operations implemented by the screen layer ---

// Service 6: the runtime's start-up for the program the header describes.
void startUpRuntime(const ProgramHeader& header);
uint64_t readUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element);
void writeUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element, uint64_t data);
// Loads the start window; failure is the fatal "载入启动窗口失败".
void loadStartWindow(uint32_t windowId);
// Runs until the start window or the last window has gone.
void runMessageLoop();

// Closes every window at once (tests between cases; the exit sequence).
void closeAllWindows();

}  // namespace rt
