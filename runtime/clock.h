// The runtime's clock: milliseconds of a monotonic clock. Tests that depend
// on time (the date picker's quiet period, delays) replace it with a clock
// they advance themselves instead of sleeping.
#pragma once

#include <cstdint>

namespace rt {

uint64_t tickCount();

// Null restores the system's monotonic clock.
using TickSource = uint64_t (*)();
void setTickSource(TickSource source);

}  // namespace rt
