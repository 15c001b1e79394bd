// Checking the sources as a whole: ids that fit their units, names and
// symbols used once, containers that agree with what they contain, Tab pages,
// fonts, menu events, and a handler list whose every entry is bound exactly
// once. A mistake stops the build instead of producing a block the runtime
// would misread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/tplgen/source.h"

namespace tplgen {

// Checks every window and resolves the container references of its units.
void checkWindows(std::vector<SourceWindow>& windows);

// The byte offset of each handler in the application's handler table.
std::map<std::string, int32_t> handlerOffsets(const std::vector<std::string>& names,
                                              const std::vector<SourceWindow>& windows);

}  // namespace tplgen
