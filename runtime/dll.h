// Outside-library functions the program declares (DllCommands): resolved on
// first use through dlopen and cached per index.
#pragma once

#include <cstdint>

#include "runtime/entry.h"

namespace rt {

// The program's DllCommand table, given at start-up; the table must outlive the run.
void setDllCommands(const DllCommand* table, int32_t count);
// The address of DllCommand `index`; resolves and caches it on the first call.
// A library or function that cannot be found is a fatal run-time error.
void* resolveDllCommand(int32_t index);
// Unloads every module loaded for DllCommands and clears the cache (exit sequence).
void unloadDllModules();

}  // namespace rt
