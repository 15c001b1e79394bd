// Registering, modifying and deleting a student from the student form.
#include <array>
#include <initializer_list>
#include <span>
#include <string>

#include "app/exams/subjects.h"
#include "app/form.h"
#include "app/handler_table.h"
#include "app/ids.h"
#include "app/learner.h"
#include "app/records/operation_log.h"
#include "app/records/student_list.h"
#include "app/statements.h"
#include "app/support.h"
#include "runtime/properties.h"

namespace app::records {

using namespace rt::api;

namespace {

constexpr int32_t kAllCoachesIndex = 0;

int32_t selectedStudentRow() { return selectedRow(ui::超级列表框1); }

Text cellOf(int32_t row, int32_t column) { return cellText(ui::超级列表框1, row, column); }

using learner::Field;

// What the log keeps of the form after a change: the fields a change
// empties afterwards.
constexpr std::span<const Field> kLoggedNewValues = form::kEmptiedAfterAChange;
constexpr Field kRequiredForRegistration[] = {learner::kName, learner::kIdentityNumber, learner::kTelephone,
                                              learner::kVehicleClass, learner::kRegistrationDate};

// The texts joined with two spaces between neighbours.
template <typename Read>
Text joinedValues(std::span<const Field> fields, Read read) {
  std::string joined;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) joined += kLogValueSeparator;
    joined += read(fields[i]).view();
  }
  return TextConcat(joined);
}

// What the log keeps of the selected row.
Text oldValuesText() { return listedLearnerLogText(ui::超级列表框1, selectedStudentRow()); }

Text newValuesText() {
  return joinedValues(kLoggedNewValues, [](Field field) { return fieldText(form::fieldOf(field)); });
}

void clearCoach(const form::CoachFields& fields) {
  for (const ui::Unit& box : {fields.coach, fields.telephone, fields.plate}) clearFieldText(box);
}

bool allCoachesChosen(const ui::Unit& coach) { return readInt(coach, rt::prop::kComboSelection) == kAllCoachesIndex; }

// Registration: "所有教练" or no coach at all means no coach, telephone, plate.
void normaliseCoachesForRegistration() {
  for (const form::CoachFields& fields : {form::kSubjectTwoCoachFields, form::kSubjectThreeCoachFields})
    if (allCoachesChosen(fields.coach) || fieldText(fields.coach).empty()) clearCoach(fields);
}

// Modification empties only after "所有教练"; an empty coach text keeps the
// telephone and plate.
void normaliseCoachesForModification() {
  for (const form::CoachFields& fields : {form::kSubjectTwoCoachFields, form::kSubjectThreeCoachFields})
    if (allCoachesChosen(fields.coach)) clearCoach(fields);
}

bool registrationComplete() {
  for (Field field : kRequiredForRegistration)
    if (fieldText(form::fieldOf(field)).empty()) return false;
  return true;
}

// The insert of the fifteen current form values.
std::string insertStudentFromForm() {
  std::array<Text, learner::kFieldCount> texts;
  statements::StudentValues values;
  for (const learner::Column& column : learner::kColumns) {
    texts[column.field] = fieldText(form::fieldOf(column.field));
    values[column.field] = texts[column.field].view();
  }
  return statements::insertStudent(values);
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
    if (TextCompare(recordset::field(students, learner::nameGb(learner::kIdentityNumber)).c_str(), identityNumber) ==
        0) {
      found = true;
      break;
    }
    recordset::moveToNext(students);
  }
  return passed;
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
  int32_t passed = scanForIdentityNumber(fieldText(form::kIdentityNumber).c_str(), found);
  if (found) {
    showMessage("已有此身份证号码！"_gb, kMessageErrorIcon, caption);
    selectAndShow(passed - 1);
    return;
  }
  if (!executeSql(insert)) {
    // Another desk may have registered the number since the scan: the
    // database's unique number refused the insert.
    passed = scanForIdentityNumber(fieldText(form::kIdentityNumber).c_str(), found);
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
  std::string entry =
      joinedLearnerLogBody("添加学员"_gb, fieldText(form::kName).view(), fieldText(form::kIdentityNumber).view());
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
  Text oldNumber = cellOf(row, learner::listColumn(learner::kIdentityNumber));
  Text newNumber = fieldText(form::kIdentityNumber);
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
  appendLogEntry(TextConcat(kLogLineBreak, "修改学员"_gb, kLogLineBreak, oldValues, kLogLineBreak, newValues).c_str());
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
  Text identityNumber = cellOf(row, learner::listColumn(learner::kIdentityNumber));
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
  appendLearnerLogEntry("删除学员"_gb, oldValues.c_str());
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
