// Writing a workbook made in the engine as .xlsx with libxlsxwriter. Rows are
// handed over in order, so a workbook without merged cells is written in
// libxlsxwriter's constant-memory mode (a row is written out as soon as the
// next one begins).
#pragma once

#include <string>

#include "sheet/engine/workbook.h"

namespace sheet {

// Writes `workbook` to the file at `path` (UTF-8). False and a reason on failure
// (the file may then hold part of the workbook; callers write to a temporary
// name).
bool writeNewXlsx(const Workbook& workbook, const std::string& path, std::string& error);

}  // namespace sheet
