// The stored window templates of the program, generated at build time from
// the readable sources in this folder by tools/tplgen.
#pragma once

#include <cstdint>

namespace app {

extern const unsigned char kTemplateBlock[];
extern const int32_t kTemplateBlockSize;

// Entries of the application's handler table, one per handlers.def line; the
// block's handler offsets index into that table.
inline constexpr int32_t kHandlerCount = 0
#define JX_HANDLER(name) +1
#include "app/windows/handlers.def"
#undef JX_HANDLER
    ;

}  // namespace app
