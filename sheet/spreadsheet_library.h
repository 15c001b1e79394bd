// The spreadsheet library (library 4): the ExcelApp and ExcelWorkbooks unit
// kinds and their commands, over the in-process spreadsheet engine.
#pragma once

#include "runtime/library.h"

namespace rt {

const Library& spreadsheetLibrary();

}  // namespace rt
