// The page "考试详情": a learner's exam history, the bookings of one subject
// on one date, and recording a booking's result.
#include "app/exams/columns.h"
#include "app/exams/subjects.h"
#include "app/form.h"
#include "app/handler_table.h"
#include "app/learner.h"
#include "app/state.h"
#include "app/statements.h"
#include "app/support.h"
#include "runtime/properties.h"

namespace app::exams {

namespace {

using rt::api::readInt;
using rt::api::writeInt;
using rt::api::writeText;

// Subjects three and four number their date-query rows from 2: the counter
// is advanced once before their first row.
bool numbersFromTwo(const Subject& subject) { return subject.index >= 2; }

// Appends the current booking of the subject's record set to the detail
// list, with the vehicle class and name of the learner the booking belongs to.
void appendDetailRow(const Subject& subject) {
  const Unit& list = ui::超级列表框2;
  const Unit& bookings = subject.recordSet;
  appendRow(list);
  ++state().examDetailCounter;
  setLastRowCell(list, kDetailNumber, numberText(state().examDetailCounter).c_str());

  Text id = recordset::field(bookings, "身份证号码"_gb);
  recordset::open(ui::记录集学员, statements::findStudentById(id.view()));
  recordset::moveToFirst(ui::记录集学员);
  setLastRowCell(list, kDetailId, id.c_str());
  setLastRowCell(list, kDetailVehicle,
                 recordset::field(ui::记录集学员, learner::nameGb(learner::kVehicleClass)).c_str());
  setLastRowCell(list, kDetailSubject, subject.numeral);
  setLastRowCell(list, kDetailName, recordset::field(ui::记录集学员, learner::nameGb(learner::kName)).c_str());
  setLastRowCell(list, kDetailDate, recordset::field(bookings, "考试时间"_gb).c_str());
  setLastRowCell(list, kDetailResult, recordset::field(bookings, "是否通过"_gb).c_str());
}

void appendAllBookings(const Subject& subject) {
  const Unit& bookings = subject.recordSet;
  for (recordset::moveToFirst(bookings); !recordset::isEof(bookings); recordset::moveToNext(bookings))
    appendDetailRow(subject);
}

void bindExamRecordSets() {
  for (const Subject& subject : allSubjects()) recordset::bind(subject.recordSet);
}

// The bookings of the learner double-clicked in the student list, subject
// one first. With no row selected every booking is listed.
void showStudentHistory() {
  state().examDetailCounter = 0;
  state().selectedStudentId = selectedCellText(ui::超级列表框1, learner::listColumn(learner::kIdentityNumber));
  writeInt(ui::选择夹1, rt::prop::kTabPage, form::kPageExamDetails);
  writePickerDate(form::kRegistrationDatePicker, form::kExamDate);

  bindExamRecordSets();
  std::string_view id = state().selectedStudentId.view();
  for (const Subject& subject : allSubjects()) {
    recordset::open(subject.recordSet,
                    id.empty() ? statements::selectAllBookings(subject) : statements::findBookingsById(subject, id));
  }

  clearList(ui::超级列表框2);
  for (const Subject& subject : allSubjects()) appendAllBookings(subject);
}

// The bookings of the chosen subject whose date contains the exam date field's text.
void runDateQuery() {
  state().examDetailCounter = 0;
  const Subject* subject = subjectAt(readInt(form::kExamSubject, rt::prop::kComboSelection));
  Text date = fieldText(form::kExamDate);
  if (!subject || date.empty()) {
    showMessage("请选择科目和时间！"_gb, kMessageErrorIcon, "考试查询失败"_gb);
    return;
  }
  // Only the query of subject one names itself in the title.
  if (subject->index == 0) writeText(ui::主窗口, rt::prop::kWindowTitle, "按考试日期查找"_gb);

  const Unit& bookings = subject->recordSet;
  recordset::open(bookings, statements::findBookingsByDate(*subject, date.view()));
  clearList(ui::超级列表框2);
  recordset::moveToFirst(bookings);
  if (numbersFromTwo(*subject)) ++state().examDetailCounter;
  for (; !recordset::isEof(bookings); recordset::moveToNext(bookings)) appendDetailRow(*subject);
  recordset::close(bookings);
}

// Replaces the selected booking by one that carries the chosen result. The
// delete and the insert form one transaction, so a failure keeps the old
// booking as it was.
void changeResult() {
  const Unit& list = ui::超级列表框2;
  const char* failedCaption = "修改成绩失败"_gb;
  int32_t row = selectedRow(list);
  // The row's own subject: the chooser may show another one by now.
  const Subject* subject = row < 0 ? nullptr : subjectByNumeral(cellText(list, row, kDetailSubject).view());
  if (!subject) {
    showMessage("请选择将要修改的学员信息！"_gb, kMessageErrorIcon, failedCaption);
    return;
  }
  Text id = cellText(list, row, kDetailId);
  Text date = cellText(list, row, kDetailDate);
  Text result = fieldText(form::kExamResult);

  DatabaseTransaction transaction;
  if (!transaction.begun() || !executeSql(statements::deleteBooking(*subject, id.view(), date.view()))) {
    transaction.rollback();
    showMessage("错误代码Del#3！"_gb, kMessageErrorIcon, failedCaption);
    return;
  }
  if (!executeSql(statements::insertBookingWithResult(*subject, id.view(), date.view(), result.view())) ||
      !transaction.commit()) {
    transaction.rollback();
    showMessage("错误代码Add#2！"_gb, kMessageNoIcon, failedCaption);
    return;
  }
  runDateQuery();
  showMessage("修改学员信息成功！"_gb, kMessageNoIcon, "修改成绩成功"_gb);
}

}  // namespace
}  // namespace app::exams

namespace app::handlers {

int32_t onStudentListDoubleClick(const rt::EventArgs&) {
  app::exams::showStudentHistory();
  return 0;
}

int32_t onExamQueryClicked(const rt::EventArgs&) {
  app::exams::runDateQuery();
  return 0;
}

int32_t onResultChangeClicked(const rt::EventArgs&) {
  app::exams::changeResult();
  return 0;
}

}  // namespace app::handlers
