#include <cstdint>

namespace rt {
// Outside-library modules are resolved and cached here (work in progress).
void unloadDllModules() {}
}  // namespace rt
