// What the screen layer (runtime/qt) offers the rest of the runtime without
// exposing Qt: event raising, event processing and the tick count.
#pragma once

#include <cstdint>

#include "runtime/entry.h"

namespace rt {

// Raises event `event` of a unit (0 = the window's own unit) through its event
// table. Returns whether a handler ran; *result receives the handler's result.
// Nothing is dispatched while the event-block counter is above zero.
bool raiseEvent(uint32_t windowId, uint32_t unitId, int32_t event, const EventArgs& args = {},
                int32_t* result = nullptr);

// Handles every pending event and returns (nested message processing).
void processPendingEvents();

// Milliseconds of a monotonic clock.
uint64_t tickCount();

}  // namespace rt
