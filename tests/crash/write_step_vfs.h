// A file-system layer for the engine, put in front of its default one, that
// counts the steps by which a change reaches the disk - every write, sync and
// truncation of a database file or its rollback journal, and every deletion
// of a journal - and can end the process just before the k-th of them, as a
// crash or a kill would at that moment. Nothing is timed: step k is the same
// point of the change in every run.
#pragma once

#include <cstdint>

namespace crashtest {

// The exit status of a process ended at its step.
inline constexpr int kKilledAtStep = 77;

// Makes the counting layer the engine's default; connections opened from
// now on go through it. Call once per process, before the first open.
void installWriteStepCounter();

// From now on, counts steps from zero and ends the process with
// kKilledAtStep just before step `step` (1 is the first); 0 only counts.
void killAtStep(int64_t step);

// The steps counted since the last killAtStep.
int64_t stepsCounted();

}  // namespace crashtest
