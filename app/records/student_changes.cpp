// Registering, modifying and deleting a student from the student form.
#include <initializer_list>
#include <string>

#include "app/exams/subjects.h"
#include "app/handler_table.h"
#include "app/ids.h"
#include "app/records/operation_log.h"
#include "app/records/student_list.h"
#include "app/records/student_table.h"
#include "app/statements.h"
#include "app/support.h"
#include "runtime/properties.h"

namespace app::records {

using namespace rt::api;

namespace {

constexpr int32_t kNoRow = -1;
constexpr int32_t kAllCoachesIndex = 0;
const char* const kValueSeparator = "  ";
const char* const kLineBreak = "\r\n";

int32_t selectedStudentRow() { return selectedRow(ui::超级列表框1); }

Text cellOf(int32_t row, int32_t column) { return cellText(ui::超级列表框1, row, column); }

// Texts joined with two spaces between neighbours.
template <typename Source, typename Read>
Text joinedValues(std::initializer_list<Source> sources, Read read) {
  std::string joined;
  bool first = true;
  for (const Source& source : sources) {
    if (!first) joined += kValueSeparator;
    first = false;
    joined += read(source).view();
  }
  return TextConcat(joined);
}

// The selected row's 姓名, 身份证号码, 民族, 出生日期, 住址, 身份证号码 again,
// 电话号码, 车型, 报名日期, 科二教练, 科二教练电话: what the log keeps of it.
Text oldValuesText() {
  int32_t row = selectedStudentRow();
  return joinedValues({1, 6, 3, 4, 5, 6, 7, 8, 9, 10, 11}, [row](int32_t column) { return cellOf(row, column); });
}

Text newValuesText() {
  return joinedValues({ui::编辑框1, ui::编辑框2, ui::编辑框3, ui::组合框1, ui::编辑框4, ui::组合框2, ui::组合框3,
                       ui::组合框4, ui::组合框5, ui::组合框6, ui::组合框7},
                      [](const ui::Unit& field) { return fieldText(field); });
}

void clearCoach(const ui::Unit& coach, const ui::Unit& telephone, const ui::Unit& plate) {
  for (const ui::Unit& box : {coach, telephone, plate}) clearFieldText(box);
}

bool allCoachesChosen(const ui::Unit& coach) { return readInt(coach, rt::prop::kComboSelection) == kAllCoachesIndex; }

// Registration: "所有教练" or no coach at all means no coach, telephone, plate.
void normaliseCoachesForRegistration() {
  if (allCoachesChosen(ui::组合框2) || fieldText(ui::组合框2).empty())
    clearCoach(ui::组合框2, ui::组合框3, ui::组合框4);
  if (allCoachesChosen(ui::组合框5) || fieldText(ui::组合框5).empty())
    clearCoach(ui::组合框5, ui::组合框6, ui::组合框7);
}

// Modification empties only after "所有教练"; an empty coach text keeps the
// telephone and plate.
void normaliseCoachesForModification() {
  if (allCoachesChosen(ui::组合框2)) clearCoach(ui::组合框2, ui::组合框3, ui::组合框4);
  if (allCoachesChosen(ui::组合框5)) clearCoach(ui::组合框5, ui::组合框6, ui::组合框7);
}

bool registrationComplete() {
  for (const ui::Unit& field : {ui::编辑框1, ui::编辑框2, ui::编辑框3, ui::组合框1, ui::编辑框4}) {
    if (fieldText(field).empty()) return false;
  }
  return true;
}

// Walks the whole student table for `identityNumber`, leaving 记录集学员 open.
// Returns the number of records passed: the position of the match counted
// from 1, or the number of students when nothing matched.
int32_t scanForIdentityNumber(const char* identityNumber, bool& found) {
  const Unit& students = ui::记录集学员;
  recordset::open(students, statements::selectAllStudents());
  recordset::moveToFirst(students);
  int32_t passed = 0;
  found = false;
  while (!recordset::isEof(students)) {
    ++passed;
    recordset::moveTo(students, passed - 1);
    if (TextCompare(recordset::field(students, "身份证号码"_gb).c_str(), identityNumber) == 0) {
      found = true;
      break;
    }
    recordset::moveToNext(students);
  }
  return passed;
}

// Every field that names the student; sex, nationality, birth date, address
// and the photo stay for the next registration.
void emptyForm() {
  for (const ui::Unit& field : {ui::编辑框1, ui::编辑框2, ui::编辑框3, ui::组合框1, ui::编辑框4, ui::组合框2,
                                ui::组合框3, ui::组合框4, ui::组合框5, ui::组合框6, ui::组合框7}) {
    clearFieldText(field);
  }
}

void registerStudent() {
  const char* const caption = "添加学员失败"_gb;
  if (!registrationComplete()) {
    showMessage("请输入完整的学员报名信息！"_gb, kMessageErrorIcon, caption);
    return;
  }
  normaliseCoachesForRegistration();
  std::string insert = insertStudentFromForm();
  bool found = false;
  int32_t passed = scanForIdentityNumber(fieldText(ui::编辑框2).c_str(), found);
  if (found) {
    showMessage("已有此身份证号码！"_gb, kMessageErrorIcon, caption);
    selectAndShow(passed - 1);
    return;
  }
  if (!executeSql(insert)) {
    // Another desk may have registered the number since the scan: the
    // database's unique number refused the insert.
    passed = scanForIdentityNumber(fieldText(ui::编辑框2).c_str(), found);
    if (found) {
      // The list does not show that row yet.
      fillStudentList();
      showMessage("已有此身份证号码！"_gb, kMessageErrorIcon, caption);
      selectAndShow(passed - 1);
      return;
    }
    showMessage("错误代码Add#1！"_gb, kMessageNoIcon, caption);
    return;
  }
  fillStudentList();
  Text entry = TextConcat(kLineBreak, "添加学员"_gb, fieldText(ui::编辑框1), kValueSeparator, fieldText(ui::编辑框2));
  appendLogEntry(entry.c_str());
  emptyForm();
  showMessage("添加记录成功！"_gb, kMessageNoIcon, "添加学员成功"_gb);
  // The students before the insert come first, so the new one is row `passed`.
  selectAndShow(passed);
}

// The row is replaced in one transaction: a failed delete or insert leaves
// the stored student as it was. A new identity number that another student
// already has is refused.
void modifyStudent() {
  const char* const caption = "修改学员信息失败"_gb;
  Text oldValues = oldValuesText();
  int32_t row = selectedStudentRow();
  if (row == kNoRow) {
    showMessage("请选择需要修改的学员！"_gb, kMessageErrorIcon, caption);
    return;
  }
  Text oldNumber = cellOf(row, kListIdColumn);
  Text newNumber = fieldText(ui::编辑框2);
  if (TextCompare(newNumber.c_str(), oldNumber.c_str()) != 0) {
    bool taken = false;
    scanForIdentityNumber(newNumber.c_str(), taken);
    recordset::close(ui::记录集学员);
    if (taken) {
      showMessage("已有此身份证号码！"_gb, kMessageErrorIcon, caption);
      return;
    }
  }
  DatabaseTransaction transaction;
  if (!transaction.begun() || !executeSql(statements::deleteStudent(oldNumber.view()))) {
    transaction.rollback();
    showMessage("错误代码Del#2！"_gb, kMessageErrorIcon, caption);
    return;
  }
  normaliseCoachesForModification();
  if (!executeSql(insertStudentFromForm()) || !transaction.commit()) {
    transaction.rollback();
    bool taken = false;
    scanForIdentityNumber(newNumber.c_str(), taken);
    recordset::close(ui::记录集学员);
    // Another desk took the new number meanwhile.
    bool takenElsewhere = taken && TextCompare(newNumber.c_str(), oldNumber.c_str()) != 0;
    showMessage(takenElsewhere ? "已有此身份证号码！"_gb : "错误代码Add#2！"_gb,
                takenElsewhere ? kMessageErrorIcon : kMessageNoIcon, caption);
    return;
  }
  Text newValues = newValuesText();
  appendLogEntry(TextConcat(kLineBreak, "修改学员"_gb, kLineBreak, oldValues, kLineBreak, newValues).c_str());
  fillStudentList();
  emptyForm();
  showMessage("修改学员信息成功！"_gb, kMessageNoIcon, "修改学员信息成功"_gb);
}

// Deletes the student of the selected row (the one the log names) and all
// of its bookings, in one transaction.
void deleteStudentAndBookings() {
  Text oldValues = oldValuesText();
  int32_t row = selectedStudentRow();
  if (row == kNoRow) {
    showMessage("请选择需要删除的学员！"_gb, kMessageErrorIcon, "删除学员信息失败"_gb);
    return;
  }
  Text identityNumber = cellOf(row, kListIdColumn);
  DatabaseTransaction transaction;
  bool deleted = transaction.begun();
  if (deleted) {
    // A booking table that cannot be cleared does not stop the deletion.
    for (const exams::Subject& subject : exams::allSubjects())
      executeSql(statements::deleteBookingsOf(subject, identityNumber.view()));
    deleted = executeSql(statements::deleteStudent(identityNumber.view())) && transaction.commit();
  }
  if (!deleted) {
    transaction.rollback();
    showMessage("错误代码Del#1"_gb, kMessageErrorIcon, "删除学员数据失败"_gb);
    return;
  }
  appendLogEntry(TextConcat(kLineBreak, "删除学员"_gb, kLineBreak, oldValues).c_str());
  fillStudentList();
  showMessage("删除学员数据成功！"_gb, kMessageNoIcon, "操作成功"_gb);
  emptyForm();
}

}  // namespace

}  // namespace app::records

namespace app::handlers {

int32_t onAddClicked(const rt::EventArgs&) {
  records::registerStudent();
  return 0;
}

int32_t onModifyClicked(const rt::EventArgs&) {
  records::modifyStudent();
  return 0;
}

int32_t onMenuDeleteStudent(const rt::EventArgs&) {
  records::deleteStudentAndBookings();
  return 0;
}

}  // namespace app::handlers
