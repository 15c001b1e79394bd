// Filling the student list, the seven searches, the row click and the popup.
#include "app/records/student_list.h"

#include "app/handler_table.h"
#include "app/records/student_table.h"
#include "app/records/support.h"
#include "app/state.h"
#include "app/statements.h"
#include "runtime/command_ids.h"
#include "runtime/properties.h"

namespace app::records {

using namespace rt::api;
namespace cmd = rt::cmd;

namespace {

int32_t lastRow() { return callInt(cmd::list(cmd::kListRowCount), ui::超级列表框1) - 1; }

void setLastRowCell(int32_t column, const char* text) {
  call(cmd::list(cmd::kListSetCellText), ui::超级列表框1, lastRow(), column, text);
}

int32_t selectedRow() { return readInt(ui::超级列表框1, rt::prop::kListSelectedRow); }

Text selectedCell(int32_t column) {
  return callText(cmd::list(cmd::kListGetCellText), ui::超级列表框1, selectedRow(), column);
}

// Replaces the list with the students whose column contains the control's
// text; the control's "all students" value (null: none) lists everyone.
void search(const ui::Unit& control, statements::StudentSearch column, const char* allStudentsValue) {
  {
    Text text = fieldText(control);
    if (allStudentsValue && TextCompare(text.c_str(), allStudentsValue) == 0) {
      fillStudentList();
      return;
    }
  }
  Text text = fieldText(control);
  openRecords(ui::记录集学员, statements::findStudents(column, text.view()));
  fillStudentListFromOpenRecords();
}

}  // namespace

void fillStudentList() {
  openRecords(ui::记录集学员, statements::selectAllStudents());
  fillStudentListFromOpenRecords();
}

void fillStudentListFromOpenRecords() {
  call(cmd::list(cmd::kListClear), ui::超级列表框1);
  call(cmd::db(cmd::kMoveToFirst), ui::记录集学员);
  int32_t runningNumber = 0;
  while (!recordSetAtEnd(ui::记录集学员)) {
    call(cmd::list(cmd::kListInsertRow), ui::超级列表框1);
    ++runningNumber;
    setLastRowCell(0, callText(cmd::core(cmd::kToText), runningNumber).c_str());
    int32_t column = 1;
    for (const char* name : studentColumnNames()) {
      TextVar field;
      call(cmd::db(cmd::kReadFieldText), ui::记录集学员, name, field);
      setLastRowCell(column++, field.c_str());
    }
    call(cmd::db(cmd::kMoveToNext), ui::记录集学员);
  }
  call(cmd::db(cmd::kCloseRecords), ui::记录集学员);
}

void showSelectedStudent() {
  int32_t column = 1;
  for (const ui::Unit& field : kStudentFormFields) setFieldText(field, selectedCell(column++).c_str());
  state().selectedStudentId = selectedCell(kListIdColumn);
  Text name = selectedCell(kListNameColumn);
  writeText(ui::主窗口, rt::prop::kWindowTitle, TextConcat(name, "   ", state().selectedStudentId));
}

void selectAndShow(int32_t row) {
  writeInt(ui::超级列表框1, rt::prop::kListSelectedRow, row);
  call(cmd::core(cmd::kFocusControl), ui::超级列表框1);
  showSelectedStudent();
}

Text pickerDateText(const ui::Unit& picker) {
  Text dateTime = callText(cmd::core(cmd::kToText), DateTime{readDate(picker, rt::prop::kPickedDate)});
  int32_t dayMark = callInt(cmd::core(cmd::kFindText), dateTime, "日"_gb);
  // "日" takes two bytes: keep up to and including its second byte.
  return callText(cmd::core(cmd::kTextLeft), dateTime, dayMark + 1);
}

void writePickerDate(const ui::Unit& picker, const ui::Unit& editBox) {
  setFieldText(editBox, pickerDateText(picker).c_str());
}

}  // namespace app::records

namespace app::handlers {

using Column = app::statements::StudentSearch;

int32_t onEditBox1DoubleClick(const rt::EventArgs&) {
  records::search(ui::编辑框1, Column::kName, rt::emptyLiteral());
  return 0;
}
int32_t onEditBox2DoubleClick(const rt::EventArgs&) {
  records::search(ui::编辑框2, Column::kIdentityNumber, rt::emptyLiteral());
  return 0;
}
int32_t onEditBox3DoubleClick(const rt::EventArgs&) {
  records::search(ui::编辑框3, Column::kTelephone, rt::emptyLiteral());
  return 0;
}
int32_t onEditBox4DoubleClick(const rt::EventArgs&) {
  records::search(ui::编辑框4, Column::kRegistrationDate, nullptr);
  return 0;
}
int32_t onComboBox1DoubleClick(const rt::EventArgs&) {
  records::search(ui::组合框1, Column::kVehicleClass, "所有车型"_gb);
  return 0;
}
int32_t onComboBox2DoubleClick(const rt::EventArgs&) {
  records::search(ui::组合框2, Column::kSubjectTwoCoach, "所有教练"_gb);
  return 0;
}
int32_t onComboBox5DoubleClick(const rt::EventArgs&) {
  records::search(ui::组合框5, Column::kSubjectThreeCoach, "所有教练"_gb);
  return 0;
}

int32_t onStudentListClick(const rt::EventArgs&) {
  records::showSelectedStudent();
  return 0;
}

// The exam menu pops up at the cursor, whether or not a row is selected.
int32_t onStudentListRightClick(const rt::EventArgs&) {
  rt::api::call(rt::cmd::core(rt::cmd::kShowPopupMenu), ui::主窗口, ui::菜单添加考试);
  return 0;
}

}  // namespace app::handlers
