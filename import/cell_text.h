// The texts the import gives the values of spreadsheet cells: numbers as a
// spreadsheet shows them in full, dates as the program writes dates.
#pragma once

#include <string>

#include "import/table.h"

namespace learner_import {

// The largest magnitude whose digits a spreadsheet keeps all of: a number
// from 1e15 on has more than 15 significant digits, and spreadsheets keep 15.
inline constexpr double kLostDigitsFrom = 1e15;

// Serials of the 1904 date system count from 1904-01-01, 1 462 days after
// the 1900 system's day of the same number.
inline constexpr double k1904Offset = 1462;

struct CellValue {
  std::string text;
  CellKind kind = CellKind::kText;
};

// A number cell: whole numbers without a decimal point ("13800138000"),
// others with up to 15 significant digits ("2.5"); from 1e15 on the number
// has lost digits and reads in scientific notation ("1.10101199003071E+17").
// Infinities and NaN read "#NUM!".
CellValue numberCell(double value);

// The program's date text: year, "年", month, "月", day, "日", without
// leading zeros ("2024年3月5日").
std::string dateText(int year, int month, int day);

}  // namespace learner_import
