// The program header: what the runtime learns about the application at
// start-up (handler table, templates, libraries, outside-library commands).
#pragma once

#include "runtime/entry.h"

namespace app {

const rt::ProgramHeader& programHeader();

}  // namespace app
