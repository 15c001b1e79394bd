// Writing a workbook as an Excel 97-2003 file: a BIFF8 "Workbook" stream in a
// compound file. Written by hand because no Debian library writes this
// format (libxlsxwriter writes only .xlsx).
//
// What is written: every sheet's cells (texts through the shared string
// table, numbers, booleans, error values), cell formats (fonts, number
// formats, alignment, borders, fills; colours as the nearest colour of the
// standard palette), column widths, row heights, merged ranges, page setup
// (orientation, paper, scale or fit to pages, margins, centring, page order)
// and print areas. Formulas of a workbook read from a file are written as
// their last results.
#pragma once

#include <string>

#include "sheet/engine/workbook.h"

namespace sheet {

// The largest sheet the format holds.
inline constexpr uint32_t kXlsMaxRows = 65536;
inline constexpr uint32_t kXlsMaxColumns = 256;

// The whole file as bytes; nothing and a reason when the workbook does not
// fit the format (cells beyond row 65 536 or column IV, more than 4 000 cell
// formats), so that nothing is lost silently.
bool buildXls(const Workbook& workbook, std::string& file, std::string& error);
// buildXls written to `path` (UTF-8).
bool writeXls(const Workbook& workbook, const std::string& path, std::string& error);

}  // namespace sheet
