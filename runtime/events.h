// Event dispatch: a unit's event goes to the handler its window template
// binds to it.
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

}  // namespace rt
