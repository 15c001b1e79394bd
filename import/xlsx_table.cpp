#include "import/xlsx_table.h"

#include <cmath>

#include "import/cell_text.h"
#include "import/read_table.h"
#include "sheet/engine/typed_input.h"
#include "sheet/engine/xlsx_reader.h"

namespace learner_import {
namespace {

const sheet::Worksheet* firstWorksheet(const sheet::Workbook& workbook) {
  for (const auto& sheet : workbook.sheets)
    if (sheet->kind() == sheet::Worksheet::Kind::kWorksheet) return sheet.get();
  return nullptr;
}

CellValue valueOf(const sheet::Workbook& workbook, const sheet::Worksheet& sheet, const sheet::Cell& cell) {
  switch (cell.kind) {
    case sheet::CellKind::kText:
    case sheet::CellKind::kError: return {std::string(sheet.text(cell)), CellKind::kText};
    case sheet::CellKind::kBool: return {cell.number() != 0 ? "TRUE" : "FALSE", CellKind::kText};
    case sheet::CellKind::kNumber: {
      double value = cell.number();
      std::string_view code = workbook.styles.numberFormatCode(workbook.styles.format(cell.format).numberFormat);
      // A date with or without a time of day; a time alone (below one day) stays a number.
      if (value >= 1 && sheet::isDateFormat(code)) {
        if (auto date = sheet::civilDate(std::floor(value) + (workbook.date1904 ? k1904Offset : 0)))
          return {dateText(date->year, date->month, date->day), CellKind::kDate};
      }
      return numberCell(value);
    }
    case sheet::CellKind::kBlank: break;
  }
  return {};
}

}  // namespace

sheet::ReadLimits xlsxImportLimits() {
  sheet::ReadLimits limits;
  limits.maxPackageBytes = kMaxFileBytes;
  return limits;
}

std::unique_ptr<Table> readXlsxTable(std::string bytes, ReadError& error, const TableLimits& limits) {
  sheet::ReadError refusal;
  std::unique_ptr<sheet::Workbook> workbook = sheet::readXlsx(std::move(bytes), &refusal, xlsxImportLimits());
  if (!workbook) {
    bool beyondLimits = refusal.failure == sheet::ReadFailure::kBeyondLimits;
    error = {beyondLimits ? ReadFailure::kTooLarge : ReadFailure::kNotReadable, 0, 0, refusal.reason};
    return nullptr;
  }
  const sheet::Worksheet* sheet = firstWorksheet(*workbook);
  if (!sheet) {
    error = {ReadFailure::kNoWorksheet, 0, 0, "no worksheet"};
    return nullptr;
  }
  auto table = std::make_unique<Table>(limits);
  for (const auto& [index, row] : sheet->rows()) {
    table->startRow(index + 1);
    for (const sheet::Cell& cell : row.cells) {
      CellValue value = valueOf(*workbook, *sheet, cell);
      if (value.text.empty()) continue;
      if ((error = table->addCell(cell.column, value.text, value.kind))) return nullptr;
    }
    table->finishRow();
  }
  return table;
}

}  // namespace learner_import
