#include "import/import_report.h"

#include <algorithm>
#include <filesystem>

#include "sheet/engine/save.h"
#include "sheet/engine/workbook.h"

namespace learner_import {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kReportSuffix = "_未导入.xlsx";
constexpr std::string_view kTextFormat = "@";
// Column widths in characters: the reason is a sentence, the row number short.
constexpr double kReasonWidth = 60, kRowNumberWidth = 8;

class ReportSheet {
 public:
  explicit ReportSheet(sheet::Workbook& workbook)
      : sheet_(*workbook.sheets.front()),
        textFormat_(workbook.styles.withNumberFormat(0, workbook.styles.numberFormatId(kTextFormat))) {}

  void text(uint32_t row, uint32_t column, std::string_view utf8) {
    sheet::CellRef ref{row, column};
    sheet::Cell& cell = sheet_.touch(ref);
    sheet_.setFormat(cell, ref, textFormat_);
    if (!utf8.empty()) sheet_.setText(cell, ref, utf8);
  }
  void width(uint32_t column, double characters) {
    sheet_.setColumnWidth(column, column, sheet::storedColumnWidth(characters));
  }

 private:
  sheet::Worksheet& sheet_;
  uint32_t textFormat_;
};

}  // namespace

std::string reportPath(std::string_view sourcePath, std::string_view folder) {
  fs::path source(sourcePath);
  fs::path base = folder.empty() ? source.parent_path() : fs::path(folder);
  return (base / (source.stem().string() + std::string(kReportSuffix))).string();
}

bool writeReport(const ImportPlan& plan, const std::string& path, std::string& error) {
  const Table& table = plan.table();
  const Table::Row& header = table.row(plan.headerRow());
  uint32_t columns = header.count;
  for (const RefusedRow& refused : plan.refused()) columns = std::max(columns, table.row(refused.tableRow).count);

  auto workbook = sheet::Workbook::createNew();
  ReportSheet sheet(*workbook);
  auto copyRow = [&](uint32_t to, const Table::Row& row) {
    for (uint32_t column = 0; column < row.count; ++column)
      sheet.text(to, column, table.text(table.cellAt(row, column)));
  };
  copyRow(0, header);
  sheet.text(0, columns, kRowNumberHeader);
  sheet.text(0, columns + 1, kReasonHeader);
  uint32_t to = 1;
  for (const RefusedRow& refused : plan.refused()) {
    const Table::Row& row = table.row(refused.tableRow);
    copyRow(to, row);
    sheet.text(to, columns, std::to_string(row.number));
    sheet.text(to, columns + 1, refused.reason);
    ++to;
  }
  sheet.width(columns, kRowNumberWidth);
  sheet.width(columns + 1, kReasonWidth);
  sheet::SaveTarget target{path, sheet::FileFormat::kXlsx, true};
  return sheet::saveWorkbook(*workbook, target, error);
}

std::string writeReportBesideOr(const ImportPlan& plan, std::string_view sourcePath, std::string_view fallbackFolder,
                                std::string& error) {
  std::string beside = reportPath(sourcePath);
  if (writeReport(plan, beside, error)) return beside;
  if (fallbackFolder.empty()) return {};
  std::string inFallback = reportPath(sourcePath, fallbackFolder);
  if (inFallback != beside && writeReport(plan, inFallback, error)) return inFallback;
  return {};
}

}  // namespace learner_import
