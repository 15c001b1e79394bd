// Excel 97-2003 workbooks (.xls, BIFF8): the cells of the first worksheet,
// numbers and dates as cell_text.h shows them, read by hand from the records
// of the workbook stream (xls_stream.h finds it in the compound file).
//
// Written by hand rather than with Debian's libfreexl: fuzzed with crafted
// files, that library leaked the grid of a sheet that declares its
// dimensions twice and read outside its buffers on a damaged record, and a
// file a user picks must not be able to crash the program or take its
// memory. The reader keeps only the cells a sheet holds, never a grid of
// what it declares, and checks every length against its record.
//
// Read: the shared strings (across CONTINUE records, whose first byte
// restates the width of the characters that go on), number formats and
// extended formats (dates), the 1904 date system, and in the worksheet text
// (LABELSST, LABEL, RSTRING), number (NUMBER, RK, MULRK), truth value and
// error (BOOLERR) cells and the cached results of formulas. Refused: BIFF5
// and older workbooks, and encrypted ones.
#pragma once

#include <memory>
#include <string_view>

#include "import/table.h"

namespace learner_import {

std::unique_ptr<Table> readXls(std::string_view bytes, ReadError& error, const TableLimits& limits = {});

}  // namespace learner_import
