// Excel 97-2003 workbooks (.xls, BIFF8 and the older forms) read with
// Debian's libfreexl, a read-only library for the format: the cells of the
// first worksheet, numbers and dates as cell_text.h shows them. The library
// sets aside room for every cell a sheet declares, so a file that declares
// more than the table may hold is refused before it is handed over
// (xls_dimensions.h).
#pragma once

#include <memory>
#include <string_view>

#include "import/table.h"

namespace learner_import {

// The file's bytes. The library reads files by name: it gets these very
// bytes through a file in memory.
std::unique_ptr<Table> readXls(std::string_view bytes, ReadError& error, const TableLimits& limits = {});

}  // namespace learner_import
