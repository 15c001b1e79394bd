// The program header: what the runtime learns about the application at
// start-up (handler table, templates, libraries, outside-library commands).
#pragma once

#include "runtime/entry.h"

namespace app {

const rt::ProgramHeader& programHeader();

// The outside-library functions the program declares, by their index in the
// header's DllCommand table.
namespace dll {
enum Command : int32_t { kInitComm, kAuthenticate, kReadBaseInfos, kBeep, kCloseComm, kCommandCount };
}  // namespace dll

}  // namespace app
