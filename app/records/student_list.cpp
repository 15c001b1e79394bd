// Filling the student list, the seven searches, the row click and the popup.
#include "app/records/student_list.h"

#include "app/form.h"
#include "app/handler_table.h"
#include "app/learner.h"
#include "app/state.h"
#include "app/statements.h"
#include "app/support.h"
#include "runtime/command_ids.h"
#include "runtime/properties.h"

namespace app::records {

using namespace rt::api;
namespace cmd = rt::cmd;

namespace {

Text selectedCell(int32_t column) { return selectedCellText(ui::超级列表框1, column); }

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
  recordset::open(ui::记录集学员, statements::findStudents(column, text.view()));
  fillStudentListFromOpenRecords();
}

}  // namespace

void fillStudentList() {
  recordset::open(ui::记录集学员, statements::selectAllStudents());
  fillStudentListFromOpenRecords();
}

void fillStudentListFromOpenRecords() { fillLearnerListFromOpenRecords(ui::超级列表框1, ui::记录集学员); }

void fillLearnerListFromOpenRecords(const Unit& list, const Unit& set) {
  clearList(list);
  recordset::moveToFirst(set);
  int32_t runningNumber = 0;
  while (!recordset::isEof(set)) {
    appendRow(list);
    ++runningNumber;
    setLastRowCell(list, learner::kListNumberColumn, numberText(runningNumber).c_str());
    for (const learner::Column& column : learner::kColumns)
      setLastRowCell(list, learner::listColumn(column.field),
                     recordset::field(set, learner::nameGb(column.field)).c_str());
    recordset::moveToNext(set);
  }
  recordset::close(set);
}

void showSelectedStudent() {
  for (const learner::Column& column : learner::kColumns)
    setFieldText(form::fieldOf(column.field), selectedCell(learner::listColumn(column.field)).c_str());
  state().selectedStudentId = selectedCell(learner::listColumn(learner::kIdentityNumber));
  Text name = selectedCell(learner::listColumn(learner::kName));
  writeText(ui::主窗口, rt::prop::kWindowTitle, TextConcat(name, "   ", state().selectedStudentId));
}

void selectAndShow(int32_t row) {
  writeInt(ui::超级列表框1, rt::prop::kListSelectedRow, row);
  call(cmd::core(cmd::kFocusControl), ui::超级列表框1);
  showSelectedStudent();
}

void emptyForm() {
  for (learner::Field field : form::kEmptiedAfterAChange) clearFieldText(form::fieldOf(field));
}

}  // namespace app::records

namespace app::handlers {

using Column = app::statements::StudentSearch;

int32_t onEditBox1DoubleClick(const rt::EventArgs&) {
  records::search(form::kName, Column::kName, rt::emptyLiteral());
  return 0;
}
int32_t onEditBox2DoubleClick(const rt::EventArgs&) {
  records::search(form::kIdentityNumber, Column::kIdentityNumber, rt::emptyLiteral());
  return 0;
}
int32_t onEditBox3DoubleClick(const rt::EventArgs&) {
  records::search(form::kTelephone, Column::kTelephone, rt::emptyLiteral());
  return 0;
}
int32_t onEditBox4DoubleClick(const rt::EventArgs&) {
  records::search(form::kRegistrationDate, Column::kRegistrationDate, nullptr);
  return 0;
}
int32_t onComboBox1DoubleClick(const rt::EventArgs&) {
  records::search(form::kVehicleClass, Column::kVehicleClass, "所有车型"_gb);
  return 0;
}
int32_t onComboBox2DoubleClick(const rt::EventArgs&) {
  records::search(form::kSubjectTwoCoach, Column::kSubjectTwoCoach, "所有教练"_gb);
  return 0;
}
int32_t onComboBox5DoubleClick(const rt::EventArgs&) {
  records::search(form::kSubjectThreeCoach, Column::kSubjectThreeCoach, "所有教练"_gb);
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
