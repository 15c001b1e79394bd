// The main window's creation, its date pickers and its tab pages.
#include <initializer_list>

#include "app/exams/subjects.h"
#include "app/handler_table.h"
#include "app/ids.h"
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

// Tab pages, in order.
constexpr int32_t kPageStudents = 0;
constexpr int32_t kPageExamDetails = 1;
constexpr int32_t kPageExamList = 2;
constexpr int32_t kPageGraduates = 3;

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
  reset(ui::组合框1, "所有车型"_gb);
  reset(ui::组合框2, "所有教练"_gb);
  reset(ui::组合框3, nullptr);
  reset(ui::组合框4, nullptr);
  reset(ui::组合框5, "所有教练"_gb);
  reset(ui::组合框6, nullptr);
  reset(ui::组合框7, nullptr);
}

// Every field but the registration date, whose text comes from 日期框1.
void emptyWholeForm() {
  for (const ui::Unit& field :
       {ui::编辑框1, ui::编辑框2, ui::编辑框3, ui::编辑框5, ui::编辑框7, ui::编辑框8, ui::编辑框9, ui::组合框1,
        ui::组合框2, ui::组合框3, ui::组合框4, ui::组合框5, ui::组合框6, ui::组合框7}) {
    clearFieldText(field);
  }
}

void showStudentsPage() {
  writePickerDate(ui::日期框1, ui::编辑框4);
  recordset::bind(ui::记录集学员);
  recordset::open(ui::记录集学员, statements::selectAllStudents());
  fillStudentListFromOpenRecords();
}

// The date query needs the four exam record sets bound and open.
void showExamDetailsPage() {
  writePickerDate(ui::日期框1, ui::编辑框6);
  for (const exams::Subject& subject : exams::allSubjects()) recordset::bind(subject.recordSet);
  for (const exams::Subject& subject : exams::allSubjects())
    recordset::open(subject.recordSet, statements::selectAllBookings(subject));
}

void showGraduatesPage() {
  recordset::bind(ui::记录集结业);
  recordset::open(ui::记录集结业, statements::selectAllGraduates());
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
  return 0;
}

int32_t onTabPageChanged(const rt::EventArgs&) {
  switch (rt::api::readInt(ui::选择夹1, rt::prop::kTabPage)) {
    case records::kPageStudents: records::showStudentsPage(); break;
    case records::kPageExamDetails: records::showExamDetailsPage(); break;
    case records::kPageExamList: rt::api::writeText(ui::主窗口, rt::prop::kWindowTitle, "查看考试名单"_gb); break;
    case records::kPageGraduates: records::showGraduatesPage(); break;
    default: break;
  }
  return 0;
}

int32_t onDatePicker1Changed(const rt::EventArgs&) {
  writePickerDate(ui::日期框1, ui::编辑框4);
  return 0;
}

int32_t onDatePicker2Changed(const rt::EventArgs&) {
  writePickerDate(ui::日期框2, ui::编辑框6);
  return 0;
}

// Graduation is not part of this program yet: choosing it changes nothing.
int32_t onMenuGraduate(const rt::EventArgs&) { return 0; }

}  // namespace app::handlers
