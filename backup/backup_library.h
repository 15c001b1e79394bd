// The backup library (library 7): the program's daily automatic backup,
// reached by the handlers through two commands. It has no unit kinds.
#pragma once

#include "runtime/library.h"

namespace rt {

const Library& backupLibrary();

}  // namespace rt
