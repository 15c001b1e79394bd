// Booking a learner for an exam from the student list's popup menu: one row
// in the subject's exam table and one row in the exam list of this run.
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

// A field of the learner selected in the student list at this moment.
Text selectedStudentCell(learner::Field field) { return selectedCellText(ui::超级列表框1, learner::listColumn(field)); }

void appendExamListRow(const Subject& subject, int32_t bookingCount) {
  const Unit& list = ui::超级列表框3;
  ++state().examListCounter;
  appendRow(list);
  setLastRowCell(list, kListNumber, numberText(state().examListCounter).c_str());
  setLastRowCell(list, kListName, selectedStudentCell(learner::kName).c_str());
  setLastRowCell(list, kListSex, selectedStudentCell(learner::kSex).c_str());
  setLastRowCell(list, kListNation, selectedStudentCell(learner::kNation).c_str());
  setLastRowCell(list, kListId, selectedStudentCell(learner::kIdentityNumber).c_str());
  setLastRowCell(list, kListAddress, selectedStudentCell(learner::kAddress).c_str());
  setLastRowCell(list, kListPhone, selectedStudentCell(learner::kTelephone).c_str());
  setLastRowCell(list, kListVehicle, selectedStudentCell(learner::kVehicleClass).c_str());
  setLastRowCell(list, kListSubject, subject.numeral);
  if (subject.coach == nullptr)
    setLastRowCell(list, kListCoach, schoolCoachName());
  else
    setLastRowCell(list, kListCoach, selectedStudentCell(*subject.coach).c_str());
  setLastRowCell(list, kListBookingCount, numberText(bookingCount).c_str());
}

void bookExam(const Subject& subject) {
  // Booking without a learner would store a booking nobody owns.
  if (selectedRow(ui::超级列表框1) < 0) {
    showMessage("请选择学员"_gb, kMessageNoIcon);
    return;
  }
  const Unit& counter = ui::记录集考试名单;
  recordset::bind(counter);

  Text id = selectedStudentCell(learner::kIdentityNumber);
  // The booking takes its date from the registration date field.
  Text examDate = fieldText(form::kRegistrationDate);
  executeSql(statements::insertBooking(subject, id.view(), examDate.view()));

  // The count is the booked learner's, whatever the form shows (a right
  // click selects a row without filling the form); the booking above is
  // already part of it.
  recordset::open(counter, statements::findBookingsById(subject, id.view()));
  appendExamListRow(subject, recordset::count(counter));
  recordset::close(counter);
}

}  // namespace
}  // namespace app::exams

namespace app::handlers {

namespace {
// The menu items of the four subjects, subject one first.
int32_t bookSubject(int32_t subjectIndex) {
  app::exams::bookExam(*app::exams::subjectAt(subjectIndex));
  return 0;
}
}  // namespace

int32_t onMenuAddSubject1(const rt::EventArgs&) { return bookSubject(0); }
int32_t onMenuAddSubject2(const rt::EventArgs&) { return bookSubject(1); }
int32_t onMenuAddSubject3(const rt::EventArgs&) { return bookSubject(2); }
int32_t onMenuAddSubject4(const rt::EventArgs&) { return bookSubject(3); }

}  // namespace app::handlers
