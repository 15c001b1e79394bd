// A list export to a workbook, as the export handler makes it, for the
// spreadsheet benchmarks and their memory probe: through the whole layer
// (the main window's ExcelApp and ExcelWorkbooks units, reached through the
// runtime's entry operations: start cell, end cell, number format "@" and
// value per cell, column widths on the header, save as .xlsx), and the same
// cells written straight with libxlsxwriter as the baseline.
#pragma once

#include <xlsxwriter.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ids.h"
#include "runtime/api.h"
#include "runtime/encoding.h"
#include "runtime/library.h"
#include "runtime/listview/list_library.h"
#include "runtime/properties.h"
#include "sheet/spreadsheet_library.h"
#include "tests/support/runtime_fixture.h"

namespace bench::sheet_export {

inline constexpr int32_t kColumns = 16;

// Header and cell texts (UTF-8) shaped like the student list's.
inline std::vector<std::string> headers() {
  return {"ID",   "姓名",     "性别",     "民族",         "出生日期", "住址",     "身份证号码",   "电话号码",
          "车型", "报名日期", "科二教练", "科二教练电话", "科二车牌", "科三教练", "科三教练电话", "科三车牌"};
}

// Texts kept as the list view keeps its cells: one buffer, each text
// NUL-terminated.
class Texts {
 public:
  void add(const std::string& text) {
    starts_.push_back(bytes_.size());
    bytes_ += text;
    bytes_ += '\0';
  }
  const char* operator[](size_t i) const { return bytes_.data() + starts_[i]; }
  size_t size() const { return starts_.size(); }

 private:
  std::string bytes_;
  std::vector<size_t> starts_;
};

// UTF-8, or GB18030 when `gb` is set.
inline Texts makeCells(int32_t rows, bool gb) {
  Texts cells;
  for (int32_t row = 0; row < rows; ++row) {
    std::string number = std::to_string(row + 1);
    char id[24];
    std::snprintf(id, sizeof id, "130102199001%06d", row % 1000000);
    const std::string rowCells[kColumns] = {number,
                                            "张伟" + number,
                                            "男",
                                            "汉",
                                            "1990年1月1日",
                                            "河北省石家庄市长安区建设北大街",
                                            id,
                                            "1380000" + number,
                                            "C1",
                                            "2014年5月6日",
                                            "李教练",
                                            "13900000000",
                                            "冀A1234学",
                                            "王教练",
                                            "13700000000",
                                            "冀A5678学"};
    for (const std::string& cell : rowCells) cells.add(gb ? rt::utf8ToGb(cell) : cell);
  }
  return cells;
}

inline Texts makeHeaders(bool gb) {
  Texts out;
  for (const std::string& h : headers()) out.add(gb ? rt::utf8ToGb(h) : h);
  return out;
}

// The runtime with the spreadsheet library and the main window loaded.
inline void startRuntime() {
  jxtest::RuntimeOptions options;
  options.libraries = {&rt::coreLibrary(),        &rt::listViewLibrary(), nullptr,
                       &rt::spreadsheetLibrary(), &rt::shellLibrary(),    &rt::timingLibrary()};
  jxtest::startRuntime(options);
  jxtest::resetRuntime();
  jxtest::loadMainWindow();
}

// The export through the layer; false when no file was written.
inline bool throughLayer(const Texts& headersGb, const Texts& cellsGb, int32_t rows,
                         const std::filesystem::path& file) {
  namespace api = rt::api;
  namespace cmd = rt::cmd;
  namespace prop = rt::prop;
  const api::Unit& app = ui::Excel程序;
  const api::Unit& book = ui::Excel工作簿;
  api::callBool(cmd::spreadsheet(cmd::kStartExcel), app);
  api::callBool(cmd::spreadsheet(cmd::kNewWorkbook), book, app);
  api::call(cmd::spreadsheet(cmd::kActivateWorkbook), book);
  api::writeInt(book, prop::kSheetIndex, 1);
  const char* text = "@"_gb;
  char address[16];
  for (int32_t c = 0; c < kColumns; ++c) {
    std::snprintf(address, sizeof address, "%c1", 'a' + c);
    api::writeText(book, prop::kStartCell, address);
    api::writeText(book, prop::kEndCell, address);
    api::writeText(book, prop::kNumberFormat, text);
    api::writeText(book, prop::kCellValue, headersGb[static_cast<size_t>(c)]);
    api::writeInt(book, prop::kColumnWidth, api::TextLength(headersGb[static_cast<size_t>(c)]) + 3);
  }
  size_t next = 0;
  for (int32_t r = 0; r < rows; ++r) {
    // The row's number once; the column letter changes per cell.
    std::snprintf(address, sizeof address, "a%d", r + 2);
    for (int32_t c = 0; c < kColumns; ++c) {
      address[0] = static_cast<char>('a' + c);
      api::writeText(book, prop::kStartCell, address);
      api::writeText(book, prop::kEndCell, address);
      api::writeText(book, prop::kNumberFormat, text);
      api::writeText(book, prop::kCellValue, cellsGb[next++]);
    }
  }
  std::string path = rt::utf8ToGb(file.string());
  api::call(cmd::spreadsheet(cmd::kSaveSheetAs), book, path);
  bool saved = !api::readText(book, prop::kSavedFile).empty();
  api::call(cmd::spreadsheet(cmd::kCloseWorkbooks), book);
  api::call(cmd::spreadsheet(cmd::kReleaseWorkbooks), book);
  api::call(cmd::spreadsheet(cmd::kQuitExcel), app);
  api::call(cmd::spreadsheet(cmd::kReleaseExcel), app);
  return saved;
}

// The same cells written with libxlsxwriter directly (constant memory, one
// text format), as a program that held the rows in UTF-8 would.
inline bool direct(const Texts& headersUtf8, const Texts& cellsUtf8, int32_t rows, const std::filesystem::path& file) {
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* book = workbook_new_opt(file.c_str(), &options);
  if (!book) return false;
  lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
  lxw_format* text = workbook_add_format(book);
  format_set_num_format(text, "@");
  for (int32_t c = 0; c < kColumns; ++c) {
    const char* header = headersUtf8[static_cast<size_t>(c)];
    worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), header, text);
    worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                         static_cast<double>(rt::utf8ToGb(header).size() + 3), nullptr);
  }
  size_t next = 0;
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < kColumns; ++c)
      worksheet_write_string(sheet, static_cast<lxw_row_t>(r + 1), static_cast<lxw_col_t>(c), cellsUtf8[next++], text);
  return workbook_close(book) == LXW_NO_ERROR;
}

}  // namespace bench::sheet_export
