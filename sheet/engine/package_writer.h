// Saving a workbook that was read from an .xlsx file: the new file is the old
// package with only these parts written anew:
//   - the part of each sheet whose cells, column widths or page setup were
//     changed (the changed cells, columns and the page setup element are
//     edited in place; every other element and attribute stays);
//   - the styles part, when cell formats were made (appended after the file's
//     own, which keep their indices);
//   - when a written cell held a formula, the calculation chain is dropped
//     (with its relationship and content type), since it would name a cell
//     that no longer has a formula.
// Every other part is copied as it is, compressed bytes included. Texts are
// written as inline strings, so the shared-string part is never touched.
#pragma once

#include <string>

#include "sheet/engine/workbook.h"

namespace sheet {

// Writes the file at `path` (UTF-8); false and a reason on failure.
bool rewriteXlsx(const Workbook& workbook, const std::string& path, std::string& error);

}  // namespace sheet
