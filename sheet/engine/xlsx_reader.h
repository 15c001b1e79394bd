// Reading an .xlsx workbook: cells (shared and inline strings, numbers,
// booleans, errors, the cached results of formulas), the cell formats (number
// formats, fonts, fills, borders, alignment), column widths, row heights,
// merged cells, page setup and margins, and print areas. Parts the engine
// does not model stay in the package bytes the workbook keeps, so a save
// writes them back unchanged.
#pragma once

#include <memory>
#include <string>

#include "sheet/engine/read_limits.h"
#include "sheet/engine/workbook.h"
#include "sheet/engine/zip_package.h"

namespace sheet {

// Null, with the failure and a reason in `error`, when the bytes are not a
// workbook package, a part is malformed, or the workbook is larger than the
// limits admit (read_limits.h). Sheets and shared strings are read as they
// inflate; merged ranges that overlap one before them are dropped, as the
// spreadsheet programs drop them; a row given twice makes the file malformed.
std::unique_ptr<Workbook> readXlsx(std::string bytes, ReadError* error = nullptr, const ReadLimits& limits = {});
// The same for a file (UTF-8 path): a missing or unreadable file, or a pipe
// or device in its place, fails as kUnreadable.
std::unique_ptr<Workbook> readXlsxFile(const std::string& path, ReadError* error = nullptr,
                                       const ReadLimits& limits = {});

}  // namespace sheet
