// The learner import library (library 8 of the program): the unit kind
// LearnerImport and its commands (runtime/command_ids.h).
#pragma once

#include "runtime/library.h"

namespace rt {
const Library& learnerImportLibrary();
}  // namespace rt
