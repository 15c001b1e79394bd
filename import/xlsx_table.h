// Workbooks (.xlsx) read with the spreadsheet engine's reader, within its
// bounds: the cells of the first worksheet, numbers and dates as
// cell_text.h shows them (a number whose format shows a date is a date).
#pragma once

#include <memory>
#include <string>

#include "import/table.h"
#include "sheet/engine/read_limits.h"

namespace learner_import {

// The engine's bounds for a workbook the import reads, the one place they
// are set: its own, which admit a list of 100 000 learners (sheets and shared
// strings are read as they inflate, the cells and texts counted as they come,
// so a zip bomb stops at them), except that the package may be as large as
// any file the import reads (kMaxFileBytes): a registry written with its
// texts inline is larger than a template or a list the program exports.
sheet::ReadLimits xlsxImportLimits();

// The package's bytes (at most kMaxFileBytes).
std::unique_ptr<Table> readXlsxTable(std::string bytes, ReadError& error, const TableLimits& limits = {});

}  // namespace learner_import
