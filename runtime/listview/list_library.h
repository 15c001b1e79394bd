// The list-view library (library 2): the ListView unit kind and its commands.
#pragma once

#include "runtime/library.h"

namespace rt {

const Library& listViewLibrary();

}  // namespace rt
