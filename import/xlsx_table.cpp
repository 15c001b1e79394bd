#include "import/xlsx_table.h"

#include <cmath>
#include <span>
#include <vector>

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

// A number as the import shows it: a date where its format shows one (a
// time of day alone, below one day, stays a number).
CellValue numberValue(const sheet::Workbook& workbook, double value, uint32_t format) {
  std::string_view code = workbook.styles.numberFormatCode(workbook.styles.format(format).numberFormat);
  if (value >= 1 && sheet::isDateFormat(code)) {
    if (auto date = sheet::civilDate(std::floor(value) + (workbook.date1904 ? k1904Offset : 0)))
      return {dateText(date->year, date->month, date->day), CellKind::kDate};
  }
  return numberCell(value);
}

// The cells of one row into the table; a text goes in with no copy between.
ReadError addRow(Table& table, const sheet::Workbook& workbook, uint32_t rowNumber,
                 std::span<const sheet::RowCell> cells) {
  table.startRow(rowNumber);
  for (const sheet::RowCell& cell : cells) {
    ReadError error;
    if (cell.kind == sheet::CellKind::kText || cell.kind == sheet::CellKind::kError) {
      if (!cell.text.empty()) error = table.addCell(cell.column, cell.text, CellKind::kText);
    } else if (cell.kind == sheet::CellKind::kBool) {
      error = table.addCell(cell.column, cell.number != 0 ? "TRUE" : "FALSE", CellKind::kText);
    } else if (cell.kind == sheet::CellKind::kNumber) {
      CellValue value = numberValue(workbook, cell.number, cell.format);
      error = table.addCell(cell.column, value.text, value.kind);
    }
    if (error) return error;
  }
  table.finishRow();
  return {};
}

ReadError refusalOf(const sheet::ReadError& refusal) {
  bool beyondLimits = refusal.failure == sheet::ReadFailure::kBeyondLimits;
  return {beyondLimits ? ReadFailure::kTooLarge : ReadFailure::kNotReadable, 0, 0, refusal.reason};
}

// A sheet's texts usually come to less than a few times the package's size
// (deflated XML): the table reserves that much room, within its limits,
// which only takes memory as it fills, so that it seldom copies what it
// holds while it grows.
void reserveForPackage(Table& table, size_t packageBytes) {
  constexpr size_t kTextsPerPackageByte = 4;
  constexpr size_t kPackageBytesPerCell = 4;
  table.reserve(packageBytes * kTextsPerPackageByte, packageBytes / kPackageBytesPerCell);
}

// The first worksheet's rows as the reader hands them over, without a model
// of the sheet. Nothing when a row comes again or out of order (`outOfOrder`),
// which the model's reading sorts or refuses.
std::unique_ptr<Table> readRows(const std::string& bytes, ReadError& error, const TableLimits& limits,
                                bool& outOfOrder) {
  auto table = std::make_unique<Table>(limits);
  reserveForPackage(*table, bytes.size());
  int64_t lastRow = -1;
  auto sink = [&](const sheet::Workbook& workbook, uint32_t row, std::span<const sheet::RowCell> cells) {
    if (int64_t{row} <= lastRow) {
      outOfOrder = true;
      return false;
    }
    lastRow = row;
    error = addRow(*table, workbook, row + 1, cells);
    return !error;
  };
  sheet::ReadError refusal;
  std::unique_ptr<sheet::Workbook> workbook = sheet::readXlsxRows(bytes, sink, &refusal, xlsxImportLimits());
  if (error || outOfOrder) return nullptr;
  if (!workbook) {
    error = refusalOf(refusal);
    return nullptr;
  }
  if (!firstWorksheet(*workbook)) {
    error = {ReadFailure::kNoWorksheet, 0, 0, "no worksheet"};
    return nullptr;
  }
  return table;
}

// The same through the sheet's model, which puts rows in order (and refuses
// a row given twice).
std::unique_ptr<Table> readModel(std::string bytes, ReadError& error, const TableLimits& limits) {
  sheet::ReadError refusal;
  std::unique_ptr<sheet::Workbook> workbook = sheet::readXlsx(std::move(bytes), &refusal, xlsxImportLimits());
  if (!workbook) {
    error = refusalOf(refusal);
    return nullptr;
  }
  const sheet::Worksheet* sheet = firstWorksheet(*workbook);
  if (!sheet) {
    error = {ReadFailure::kNoWorksheet, 0, 0, "no worksheet"};
    return nullptr;
  }
  auto table = std::make_unique<Table>(limits);
  std::vector<sheet::RowCell> cells;
  for (const auto& [index, row] : sheet->rows()) {
    cells.clear();
    for (const sheet::Cell& c : row.cells) {
      bool text = c.kind == sheet::CellKind::kText || c.kind == sheet::CellKind::kError;
      cells.push_back({c.column, c.kind, c.format, text ? 0 : c.number(), text ? sheet->text(c) : std::string_view()});
    }
    if ((error = addRow(*table, *workbook, index + 1, cells))) return nullptr;
  }
  return table;
}

}  // namespace

sheet::ReadLimits xlsxImportLimits() {
  sheet::ReadLimits limits;
  limits.maxPackageBytes = kMaxFileBytes;
  return limits;
}

std::unique_ptr<Table> readXlsxTable(std::string bytes, ReadError& error, const TableLimits& limits) {
  bool outOfOrder = false;
  std::unique_ptr<Table> table = readRows(bytes, error, limits, outOfOrder);
  if (!outOfOrder) return table;
  return readModel(std::move(bytes), error, limits);
}

}  // namespace learner_import
