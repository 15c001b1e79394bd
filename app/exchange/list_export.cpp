// Export of the list on the current tab page into a new workbook saved under
// a name the user picks, with the progress window over the main window; and
// that window's creation.
//
// Every cell is written on its own (text format "@", then its text), and the
// window messages are handled once per row so that the bar moves and the
// program answers. The user hears of success only when the file was written:
// the workbook side tells which file its save wrote.
#include <array>
#include <charconv>
#include <cstdint>
#include <span>

#include "app/exams/columns.h"
#include "app/exchange/progress.h"
#include "app/exchange/spreadsheet.h"
#include "app/form.h"
#include "app/handler_table.h"
#include "app/ids.h"
#include "app/learner.h"
#include "app/support.h"
#include "runtime/command_ids.h"
#include "runtime/properties.h"

namespace app::exchange {
namespace {

using namespace rt::api;
namespace cmd = rt::cmd;

constexpr int32_t kSaveFileDialog = 1;
constexpr int32_t kShellVerbOpen = 4;
constexpr int32_t kFirstSheet = 1;
constexpr int32_t kHeaderRow = 1;
// A column is as wide as its header's bytes and this many more characters.
constexpr int32_t kHeaderWidthAllowance = 3;

constexpr SpreadsheetPair kExportPair{ui::Excel程序, ui::Excel工作簿};

// The column titles of the student list, in GB18030: the running number's,
// then the learner record's.
std::span<const char* const> studentListHeaders() {
  static const std::array<const char*, learner::kListColumnCount> headers = [] {
    std::array<const char*, learner::kListColumnCount> titles{};
    titles[learner::kListNumberColumn] = rt::internUtf8(learner::kListNumberTitleUtf8);
    for (const learner::Column& column : learner::kColumns)
      titles[learner::listColumn(column.field)] = learner::nameGb(column.field);
    return titles;
  }();
  return headers;
}

std::span<const char* const> examListHeaders() {
  static const std::array<const char*, exams::kExamListTitlesUtf8.size()> headers = [] {
    std::array<const char*, exams::kExamListTitlesUtf8.size()> titles{};
    for (size_t i = 0; i < titles.size(); ++i) titles[i] = rt::internUtf8(exams::kExamListTitlesUtf8[i]);
    return titles;
  }();
  return headers;
}

// The address of a cell of one sheet row: the column's lower-case letter
// ('a' is column 1) and the row number, built once per row.
class RowAddresses {
 public:
  explicit RowAddresses(int32_t row) {
    auto [end, error] = std::to_chars(text_ + 1, text_ + sizeof text_ - 1, row);
    (void)error;  // an int32 always fits
    *end = '\0';
  }
  const char* of(int32_t column) {
    text_[0] = static_cast<char>('a' - 1 + column);
    return text_;
  }

 private:
  char text_[16] = {};
};

void writeHeaderRow(std::span<const char* const> headers, const char* textFormat) {
  RowAddresses addresses(kHeaderRow);
  for (int32_t column = 1; column <= static_cast<int32_t>(headers.size()); ++column) {
    const char* header = headers[static_cast<size_t>(column - 1)];
    writeCell(kExportPair.workbooks, addresses.of(column), header, textFormat);
    writeInt(kExportPair.workbooks, rt::prop::kColumnWidth, TextLength(header) + kHeaderWidthAllowance);
  }
}

// Writes list row r into sheet row r + 1, handling the window messages before
// each row. False when the main window was closed meanwhile: its units, the
// workbook side among them, are gone, and the export ends with them. The
// user may close the progress window; the export goes on.
bool writeListRows(ProgressWindow& progress, const ui::Unit& list, int32_t rows, int32_t columns,
                   const char* textFormat) {
  for (int32_t row = 1; row <= rows; ++row) {
    if (!progress.handleWindowMessages()) return false;
    RowAddresses addresses(row + kHeaderRow);
    for (int32_t column = 1; column <= columns; ++column) {
      Text cell = callText(cmd::list(cmd::kListGetCellText), list, row - 1, column - 1);
      writeCell(kExportPair.workbooks, addresses.of(column), cell.c_str(), textFormat);
    }
    progress.advance();
  }
  return true;
}

void exportList(const ui::Unit& list, std::span<const char* const> headers) {
  writeInt(ui::通用对话框_公用, rt::prop::kDialogType, kSaveFileDialog);
  if (!callBool(cmd::core(cmd::kOpenDialog), ui::通用对话框_公用)) return;
  ProgressWindow progress;

  startWithNewWorkbook(kExportPair);
  writeInt(kExportPair.workbooks, rt::prop::kSheetIndex, kFirstSheet);
  const char* textFormat = "@"_gb;
  writeHeaderRow(headers, textFormat);
  int32_t rows = callInt(cmd::list(cmd::kListRowCount), list);
  progress.setMaximum(rows);
  if (!writeListRows(progress, list, rows, static_cast<int32_t>(headers.size()), textFormat)) return;
  progress.close();

  Text chosenPath = readText(ui::通用对话框_公用, rt::prop::kDialogFileName);
  Text savedFile = saveWorkbookAs(kExportPair.workbooks, chosenPath.c_str());
  shutDown(kExportPair);
  if (savedFile.empty()) {
    showMessage("导出失败!"_gb, kMessageErrorIcon);
  } else {
    showMessage("导出成功!"_gb, kMessageInformationIcon);
    call(cmd::shell(cmd::kShellOpen), kShellVerbOpen, savedFile);
  }
}

// The student list and the graduates' list have the same columns; an empty
// one is refused before the dialog.
void exportLearnerList(const ui::Unit& list) {
  if (callInt(cmd::list(cmd::kListRowCount), list) == 0) {
    showMessage("学员数据为空，请检查！"_gb, kMessageErrorIcon, "导出学员信息错误"_gb);
    return;
  }
  exportList(list, studentListHeaders());
}

}  // namespace
}  // namespace app::exchange

namespace app::handlers {

int32_t onMenuExportData(const rt::EventArgs&) {
  switch (rt::api::readInt(ui::选择夹1, rt::prop::kTabPage)) {
    case form::kPageStudents: exchange::exportLearnerList(ui::超级列表框1); break;
    case form::kPageExamList: exchange::exportList(ui::超级列表框3, exchange::examListHeaders()); break;
    case form::kPageGraduates: exchange::exportLearnerList(ui::超级列表框4); break;
    default: break;  // the exam details are not exported
  }
  return 0;
}

int32_t onProgressWindowCreated(const rt::EventArgs&) {
  rt::api::writeText(ui::进度窗口, rt::prop::kWindowTitle, "正在导出数据,请稍后"_gb);
  return 0;
}

}  // namespace app::handlers
