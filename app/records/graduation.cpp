// Graduation: "学员结业" in the student list's popup moves the selected
// learner into the graduation table, "撤销结业" in the graduates' list's
// popup moves a graduate back. A move is one transaction: the learner is in
// exactly one of the two tables before and after it, whatever fails. The
// learner's bookings stay where they are, found by the identity number.
#include "app/records/graduation.h"

#include "app/exams/exam_results.h"
#include "app/handler_table.h"
#include "app/ids.h"
#include "app/learner.h"
#include "app/records/learner_texts.h"
#include "app/records/operation_log.h"
#include "app/records/student_list.h"
#include "app/statements.h"
#include "app/support.h"
#include "runtime/command_ids.h"

namespace app::records {

using namespace rt::api;
using statements::LearnerTable;

namespace {

enum class MoveOutcome {
  kMoved,
  // The listed row is no longer stored as listed: another desk changed,
  // moved or deleted it meanwhile.
  kChanged,
  // The registry holds the learner's identity number already.
  kNumberTaken,
  kInsertFailed,
  kDeleteFailed,
};

const Unit& recordSetOf(LearnerTable table) {
  return table == LearnerTable::kStudents ? ui::记录集学员 : ui::记录集结业;
}

bool registryHasNumber(std::string_view identityNumber) {
  recordset::open(ui::记录集学员, statements::findStudentById(identityNumber));
  bool found = recordset::count(ui::记录集学员) > 0;
  recordset::close(ui::记录集学员);
  return found;
}

// Moves the learner row listed as `listed` from one table into the other, as
// stored. Rows that are identical in all fifteen columns cannot be told
// apart: one of them moves and the others stay.
MoveOutcome moveLearner(LearnerTable from, LearnerTable to, const LearnerTexts& listed) {
  DatabaseTransaction transaction;
  // Claimed first, so that a desk moving the same row at the same time
  // waits here and then finds it gone.
  if (!transaction.begun() || !executeSql(statements::claimLearner(from, listed.values())))
    return MoveOutcome::kDeleteFailed;
  const Unit& source = recordSetOf(from);
  recordset::open(source, statements::findLearner(from, listed.values()));
  const int32_t copies = recordset::count(source);
  if (copies < 1) {
    recordset::close(source);
    return copies < 0 ? MoveOutcome::kDeleteFailed : MoveOutcome::kChanged;
  }
  recordset::moveToFirst(source);
  LearnerTexts stored = recordedLearner(source);
  recordset::close(source);

  const std::string_view identityNumber = stored.values()[learner::kIdentityNumber];
  if (to == LearnerTable::kStudents && registryHasNumber(identityNumber)) return MoveOutcome::kNumberTaken;
  if (!executeSql(statements::insertLearner(to, stored.values()))) {
    // On a server another desk may have registered the number meanwhile.
    bool taken = to == LearnerTable::kStudents && registryHasNumber(identityNumber);
    return taken ? MoveOutcome::kNumberTaken : MoveOutcome::kInsertFailed;
  }
  if (!executeSql(statements::deleteLearner(from, stored.values()))) return MoveOutcome::kDeleteFailed;
  for (int32_t kept = 1; kept < copies; ++kept)
    if (!executeSql(statements::insertLearner(from, stored.values()))) return MoveOutcome::kDeleteFailed;
  return transaction.commit() ? MoveOutcome::kMoved : MoveOutcome::kInsertFailed;
}

// One direction of the move: its tables, its texts and the list it changes.
struct MoveDirection {
  LearnerTable from;
  LearnerTable to;
  const char* failedCaption;
  const char* insertFailed;
  const char* deleteFailed;
  const char* logName;
  const char* success;
  void (*refillList)();
};

const MoveDirection& graduation() {
  static const MoveDirection direction = {.from = LearnerTable::kStudents,
                                          .to = LearnerTable::kGraduates,
                                          .failedCaption = "学员结业失败"_gb,
                                          .insertFailed = "错误代码Grd#1！"_gb,
                                          .deleteFailed = "错误代码Grd#2！"_gb,
                                          .logName = "学员结业"_gb,
                                          .success = "学员结业成功！"_gb,
                                          .refillList = fillStudentList};
  return direction;
}

const MoveDirection& undoOfGraduation() {
  static const MoveDirection direction = {.from = LearnerTable::kGraduates,
                                          .to = LearnerTable::kStudents,
                                          .failedCaption = "撤销结业失败"_gb,
                                          .insertFailed = "错误代码Grd#3！"_gb,
                                          .deleteFailed = "错误代码Grd#4！"_gb,
                                          .logName = "撤销结业"_gb,
                                          .success = "撤销结业成功！"_gb,
                                          .refillList = fillGraduateList};
  return direction;
}

// Tells the user why a move did not happen; true when it did.
bool reportOutcome(MoveOutcome outcome, const MoveDirection& direction) {
  const char* message = nullptr;
  switch (outcome) {
    case MoveOutcome::kMoved: return true;
    case MoveOutcome::kChanged: message = "该学员的信息已被更改，请重新选择！"_gb; break;
    case MoveOutcome::kNumberTaken: message = "已有此身份证号码！"_gb; break;
    case MoveOutcome::kInsertFailed: message = direction.insertFailed; break;
    case MoveOutcome::kDeleteFailed: message = direction.deleteFailed; break;
  }
  showMessage(message, kMessageErrorIcon, direction.failedCaption);
  return false;
}

// Moves the learner listed in a row, logs it, fills the list again and
// tells the user; true when the learner moved.
bool moveListedLearner(const Unit& list, int32_t row, const LearnerTexts& listed, const MoveDirection& direction) {
  Text loggedValues = listedLearnerLogText(list, row);
  MoveOutcome outcome = moveLearner(direction.from, direction.to, listed);
  if (!reportOutcome(outcome, direction)) {
    // The list shows what is stored now.
    if (outcome == MoveOutcome::kChanged) direction.refillList();
    return false;
  }
  appendLearnerLogEntry(direction.logName, loggedValues.c_str());
  direction.refillList();
  showMessage(direction.success, kMessageNoIcon, "操作成功"_gb);
  return true;
}

// The learner of the selected row leaves the registry after a question;
// with a subject not yet passed the question says so.
void graduateSelectedStudent() {
  const Unit& list = ui::超级列表框1;
  const int32_t row = selectedRow(list);
  if (row == kNoRow) {
    showMessage("请选择学员"_gb, kMessageNoIcon);
    return;
  }
  LearnerTexts listed = listedLearner(list, row);
  Text question = exams::passedEverySubject(listed.texts[learner::kIdentityNumber].view())
                      ? TextConcat("确定学员"_gb, listed.texts[learner::kName], "结业吗？"_gb)
                      : TextConcat("该学员尚有科目未合格，确定结业吗？"_gb);
  if (!askYesNo(question.c_str(), "学员结业"_gb)) return;
  if (moveListedLearner(list, row, listed, graduation())) emptyForm();
}

// The selected graduate goes back into the registry, unless the registry
// holds the number again (the graduate came back for another class).
void undoSelectedGraduation() {
  const Unit& list = ui::超级列表框4;
  const int32_t row = selectedRow(list);
  if (row == kNoRow) {
    showMessage("请选择学员"_gb, kMessageNoIcon);
    return;
  }
  moveListedLearner(list, row, listedLearner(list, row), undoOfGraduation());
}

}  // namespace

void fillGraduateList() {
  recordset::bind(ui::记录集结业);
  recordset::open(ui::记录集结业, statements::selectAllGraduates());
  fillLearnerListFromOpenRecords(ui::超级列表框4, ui::记录集结业);
}

}  // namespace app::records

namespace app::handlers {

int32_t onMenuGraduate(const rt::EventArgs&) {
  records::graduateSelectedStudent();
  return 0;
}

// The graduates' menu pops up at the cursor, whether or not a row is selected.
int32_t onGraduateListRightClick(const rt::EventArgs&) {
  rt::api::call(rt::cmd::core(rt::cmd::kShowPopupMenu), ui::主窗口, ui::菜单结业学员);
  return 0;
}

int32_t onMenuUndoGraduation(const rt::EventArgs&) {
  records::undoSelectedGraduation();
  return 0;
}

}  // namespace app::handlers
