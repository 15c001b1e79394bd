// Workbooks (.xlsx) read with the spreadsheet engine's reader, within its
// bounds: the cells of the first worksheet, numbers and dates as
// cell_text.h shows them (a number whose format shows a date is a date).
#pragma once

#include <memory>
#include <string>

#include "import/table.h"

namespace learner_import {

// The package's bytes (at most the engine's package size).
std::unique_ptr<Table> readXlsxTable(std::string bytes, ReadError& error, const TableLimits& limits = {});

}  // namespace learner_import
