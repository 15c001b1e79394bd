// The database library (library 3): the DBConnection and RecordSet unit
// kinds and their commands.
#pragma once

#include "runtime/library.h"

namespace rt {

const Library& databaseLibrary();

}  // namespace rt
