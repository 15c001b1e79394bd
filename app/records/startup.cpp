// The main window's creation, its date pickers and its tab pages.
#include <initializer_list>

#include "app/exams/subjects.h"
#include "app/form.h"
#include "app/handler_table.h"
#include "app/ids.h"
#include "app/learner.h"
#include "app/records/automatic_backup.h"
#include "app/records/graduation.h"
#include "app/records/settings.h"
#include "app/records/student_list.h"
#include "app/state.h"
#include "app/statements.h"
#include "app/support.h"
#include "runtime/command_ids.h"
#include "runtime/properties.h"

namespace app::records {

using namespace rt::api;
namespace cmd = rt::cmd;

namespace {

// The records database and its key, compiled into the program.
const char* const kDatabaseFileName = "hj.mdb";
const char* const kDatabasePassword = "58203917460";

// The template gives the main window no title of its own.
const char* windowTitle() { return "驾校学员管理"_gb; }

void openDatabase() {
  Text path = programFilePath(kDatabaseFileName);
  call(cmd::db(cmd::kOpenAccess), ui::数据库连接1, path, kDatabasePassword);
}

// The coach boxes offer "所有教练" at index 0, the vehicle box "所有车型".
void resetComboLists() {
  auto reset = [](const ui::Unit& box, const char* firstItem) {
    call(cmd::core(cmd::kComboClear), box);
    if (firstItem) call(cmd::core(cmd::kComboAddItem), box, firstItem);
  };
  reset(form::kVehicleClass, "所有车型"_gb);
  reset(form::kSubjectTwoCoach, "所有教练"_gb);
  reset(form::kSubjectTwoCoachTelephone, nullptr);
  reset(form::kSubjectTwoPlate, nullptr);
  reset(form::kSubjectThreeCoach, "所有教练"_gb);
  reset(form::kSubjectThreeCoachTelephone, nullptr);
  reset(form::kSubjectThreePlate, nullptr);
}

// Every field but the registration date, whose text comes from its picker.
void emptyWholeForm() {
  for (const learner::Column& column : learner::kColumns)
    if (column.field != learner::kRegistrationDate) clearFieldText(form::fieldOf(column.field));
}

void showStudentsPage() {
  writePickerDate(form::kRegistrationDatePicker, form::kRegistrationDate);
  recordset::bind(ui::记录集学员);
  recordset::open(ui::记录集学员, statements::selectAllStudents());
  fillStudentListFromOpenRecords();
}

// The date query needs the four exam record sets bound and open. The exam
// date starts as the registration date's picker shows it.
void showExamDetailsPage() {
  writePickerDate(form::kRegistrationDatePicker, form::kExamDate);
  for (const exams::Subject& subject : exams::allSubjects()) recordset::bind(subject.recordSet);
  for (const exams::Subject& subject : exams::allSubjects())
    recordset::open(subject.recordSet, statements::selectAllBookings(subject));
}

}  // namespace

}  // namespace app::records

namespace app::handlers {

int32_t onMainWindowCreated(const rt::EventArgs&) {
  rt::api::writeText(ui::主窗口, rt::prop::kWindowTitle, records::windowTitle());
  records::openDatabase();
  state().examListCounter = 0;
  records::resetComboLists();
  records::loadSettings();
  records::emptyWholeForm();
  onTabPageChanged(rt::EventArgs{});
  records::showAutomaticBackupFailure();
  records::startAutomaticBackup();
  return 0;
}

int32_t onTabPageChanged(const rt::EventArgs&) {
  switch (rt::api::readInt(ui::选择夹1, rt::prop::kTabPage)) {
    case form::kPageStudents: records::showStudentsPage(); break;
    case form::kPageExamDetails: records::showExamDetailsPage(); break;
    case form::kPageExamList: rt::api::writeText(ui::主窗口, rt::prop::kWindowTitle, "查看考试名单"_gb); break;
    case form::kPageGraduates: records::fillGraduateList(); break;
    default: break;
  }
  return 0;
}

int32_t onDatePicker1Changed(const rt::EventArgs&) {
  writePickerDate(form::kRegistrationDatePicker, form::kRegistrationDate);
  return 0;
}

int32_t onDatePicker2Changed(const rt::EventArgs&) {
  writePickerDate(form::kExamDatePicker, form::kExamDate);
  return 0;
}

}  // namespace app::handlers
