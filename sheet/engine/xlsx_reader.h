// Reading an .xlsx workbook: cells (shared and inline strings, numbers,
// booleans, errors, the cached results of formulas), the cell formats (number
// formats, fonts, fills, borders, alignment), column widths, row heights,
// merged cells, page setup and margins, and print areas. Parts the engine
// does not model stay in the package bytes the workbook keeps, so a save
// writes them back unchanged.
#pragma once

#include <memory>
#include <string>

#include "sheet/engine/workbook.h"
#include "sheet/engine/zip_package.h"

namespace sheet {

// Null, with a reason in `error` (English, for diagnostics), when the bytes
// are not a workbook package within the limits or a part is malformed.
std::unique_ptr<Workbook> readXlsx(std::string bytes, std::string* error = nullptr, const ReadLimits& limits = {});
// The same for a file (UTF-8 path); a missing or unreadable file fails.
std::unique_ptr<Workbook> readXlsxFile(const std::string& path, std::string* error = nullptr,
                                       const ReadLimits& limits = {});

}  // namespace sheet
