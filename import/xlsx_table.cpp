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

bool isText(const sheet::Cell& cell) {
  return cell.kind == sheet::CellKind::kText || cell.kind == sheet::CellKind::kError;
}

// Room for every cell up to each row's last and every text (a number's
// text counted at its longest), so that the table never copies what it
// holds while it grows.
void reserveForSheet(Table& table, const sheet::Worksheet& sheet) {
  constexpr size_t kLongestNumberText = 24;
  size_t textBytes = 0, cells = 0;
  for (const auto& [index, row] : sheet.rows()) {
    if (!row.cells.empty()) cells += row.cells.back().column + size_t{1};
    for (const sheet::Cell& cell : row.cells) textBytes += isText(cell) ? sheet.text(cell).size() : kLongestNumberText;
  }
  table.reserve(textBytes, cells);
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
  reserveForSheet(*table, *sheet);
  for (const auto& [index, row] : sheet->rows()) {
    table->startRow(index + 1);
    for (const sheet::Cell& cell : row.cells) {
      if (isText(cell)) {
        // Most cells: the text goes from the sheet into the table with no copy between.
        std::string_view text = sheet->text(cell);
        if (!text.empty() && (error = table->addCell(cell.column, text, CellKind::kText))) return nullptr;
        continue;
      }
      CellValue value = valueOf(*workbook, *sheet, cell);
      if (value.text.empty()) continue;
      if ((error = table->addCell(cell.column, value.text, value.kind))) return nullptr;
    }
    table->finishRow();
  }
  return table;
}

}  // namespace learner_import
