// The commands of the core library that act on windows and controls. Their
// routines belong to the screen layer, which hands them over when it is
// installed (runtime/screen.h); without a screen they are missing commands.
#pragma once

#include <cstdint>

#include "runtime/command_ids.h"

namespace rt {

class Screen;

inline constexpr int32_t kWindowCommands[] = {
    cmd::kLoadWindow,   cmd::kShowMessage,   cmd::kIsLoaded,   cmd::kProcessEvents, cmd::kUnloadWindow,
    cmd::kFocusControl, cmd::kShowPopupMenu, cmd::kOpenDialog, cmd::kComboAddItem,  cmd::kComboClear,
};

// Puts the screen's routines into the core library's table.
void attachWindowCommands(Screen& screen);

}  // namespace rt
