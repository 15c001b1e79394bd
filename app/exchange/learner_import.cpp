// 导入数据: learners brought in from a workbook or a CSV file the user picks.
//
// The learner import (library 8, the unit 学员导入1) reads the file and
// checks every row before anything is written: it learns the identity
// numbers the student table holds from the walk below. The user sees the
// counts and decides; all good learners then go in one transaction, with
// the progress window over the main window, and a failure anywhere leaves
// the table as it was. Only after the commit does each learner get its log
// entry. The rows the import refused are written to a report workbook that
// the last message names.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "app/exchange/progress.h"
#include "app/form.h"
#include "app/handler_table.h"
#include "app/ids.h"
#include "app/learner.h"
#include "app/records/operation_log.h"
#include "app/records/student_list.h"
#include "app/statements.h"
#include "app/support.h"
#include "runtime/command_ids.h"
#include "runtime/desktop.h"
#include "runtime/properties.h"

namespace app::exchange {
namespace {

using namespace rt::api;
namespace cmd = rt::cmd;

constexpr int32_t kOpenFileDialog = 0;
// Learners go to the database a hundred at a time; the progress window
// repaints after each hundred.
constexpr int32_t kLearnersPerCall = 100;

const Unit& importer() { return ui::学员导入1; }

// The open dialog with the export's filter and one for CSV files; the
// dialog's own filter is put back afterwards. Empty when cancelled.
Text chooseSourceFile() {
  const Unit& dialog = ui::通用对话框_公用;
  Text ownFilter = readText(dialog, rt::prop::kDialogFilter);
  writeInt(dialog, rt::prop::kDialogType, kOpenFileDialog);
  writeText(dialog, rt::prop::kDialogFilter, TextConcat(ownFilter, "|CSV 文件(*.csv)|*.csv"_gb));
  bool chosen = callBool(cmd::core(cmd::kOpenDialog), dialog);
  writeText(dialog, rt::prop::kDialogFilter, ownFilter);
  if (!chosen) return Text();
  return readText(dialog, rt::prop::kDialogFileName);
}

// The importer forgets the file whichever way the import ends, unless the
// main window (and the importer with it) went first.
class HeldFile {
 public:
  HeldFile() = default;
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  ~HeldFile() {
    if (mainWindowLoaded()) call(cmd::learnerImport(cmd::kCloseLearnerFile), importer());
  }
};

// Hands the importer every identity number the student table holds.
void passRegisteredNumbers() {
  const Unit& students = ui::记录集学员;
  recordset::open(students, statements::selectAllStudents());
  recordset::moveToFirst(students);
  while (!recordset::isEof(students)) {
    call(cmd::learnerImport(cmd::kAddRegisteredNumber), importer(),
         recordset::field(students, learner::nameGb(learner::kIdentityNumber)));
    recordset::moveToNext(students);
  }
  recordset::close(students);
}

int32_t importCount(int32_t property) { return readInt(importer(), property); }

bool userWantsImport(int32_t rows, int32_t learners, int32_t duplicates, int32_t faulty) {
  Text question = TextConcat("共 "_gb, numberText(rows), " 行：可导入 "_gb, numberText(learners), " 行，重复 "_gb,
                             numberText(duplicates), " 行，有误 "_gb, numberText(faulty), " 行。是否导入？"_gb);
  return askYesNo(question.c_str(), "导入数据"_gb);
}

Text learnerField(int32_t index, learner::Field field) {
  return callText(cmd::learnerImport(cmd::kLearnerField), importer(), index, static_cast<int32_t>(field));
}

// The values of `count` learners from `first` on, fifteen each in the order
// of the insert's columns, and each one's log body ("导入学员", name, two
// spaces, identity number) added to `logBodies`.
std::vector<Text> valuesOf(int32_t first, int32_t count, std::vector<std::string>& logBodies) {
  std::vector<Text> values;
  values.reserve(static_cast<size_t>(count) * learner::kFieldCount);
  for (int32_t index = first; index < first + count; ++index) {
    // A field's value stands at its position in the table (learner::Field).
    const size_t learnerStart = values.size();
    for (const learner::Column& column : learner::kColumns) values.push_back(learnerField(index, column.field));
    logBodies.push_back(records::joinedLearnerLogBody("导入学员"_gb, values[learnerStart + learner::kName].view(),
                                                      values[learnerStart + learner::kIdentityNumber].view()));
  }
  return values;
}

// Learners go in a hundred at a time through one prepared insert, their
// values bound, never written into the statement.
bool insertLearners(const std::string& insert, int32_t first, int32_t count, std::vector<std::string>& logBodies) {
  std::vector<Text> values = valuesOf(first, count, logBodies);
  std::vector<const char*> texts;
  texts.reserve(values.size());
  for (const Text& value : values) texts.push_back(value.c_str());
  return executeSqlWithValues(insert, texts);
}

enum class Written { kAll, kFailed, kWindowClosed };

// Every learner in one transaction, the progress window following; the log
// bodies of the learners written.
Written writeLearners(int32_t learners, std::vector<std::string>& logBodies) {
  ProgressWindow progress("正在导入数据,请稍后"_gb, learners);
  InputPause pause;
  DatabaseTransaction transaction;
  if (!transaction.begun()) return Written::kFailed;
  const std::string insert = statements::insertStudentWithParameters();
  for (int32_t first = 0; first < learners; first += kLearnersPerCall) {
    int32_t count = std::min(kLearnersPerCall, learners - first);
    if (!insertLearners(insert, first, count, logBodies)) return Written::kFailed;
    progress.advanceTo(first + count);
    if (!progress.handleWindowMessages()) {
      // The connection went with the main window and rolled the transaction back.
      transaction.abandon();
      return Written::kWindowClosed;
    }
  }
  return transaction.commit() ? Written::kAll : Written::kFailed;
}

void reportOutcome(int32_t learners, int32_t refused) {
  Text done = TextConcat("已导入 "_gb, numberText(learners), " 名学员。"_gb);
  if (refused == 0) {
    showMessage(done.c_str(), kMessageInformationIcon, "导入数据成功"_gb);
    return;
  }
  Text folder = callText(cmd::core(cmd::kProgramFolder));
  Text report = callText(cmd::learnerImport(cmd::kWriteImportReport), importer(), folder);
  Text told = report.empty() ? TextConcat(done, "未导入的 "_gb, numberText(refused),
                                          " 行无法写入报告文件（原文件所在的文件夹和程序文件夹都不能写入）。"_gb)
                             : TextConcat(done, "未导入的 "_gb, numberText(refused), " 行及原因见：\r\n"_gb, report);
  showMessage(told.c_str(), report.empty() ? kMessageErrorIcon : kMessageInformationIcon, "导入数据"_gb);
}

void importLearners() {
  Text source = chooseSourceFile();
  if (source.empty()) return;
  HeldFile held;
  if (!callBool(cmd::learnerImport(cmd::kReadLearnerFile), importer(), source)) {
    showMessage(readText(importer(), rt::prop::kImportRefusal).c_str(), kMessageErrorIcon, "导入数据失败"_gb);
    return;
  }
  passRegisteredNumbers();
  call(cmd::learnerImport(cmd::kCheckLearners), importer());
  int32_t rows = importCount(rt::prop::kImportRowCount);
  if (rows == 0) {
    showMessage("文件中只有表头，没有学员。"_gb, kMessageErrorIcon, "导入数据失败"_gb);
    return;
  }
  int32_t learners = importCount(rt::prop::kImportLearnerCount);
  int32_t duplicates = importCount(rt::prop::kImportDuplicateCount);
  int32_t faulty = importCount(rt::prop::kImportFaultyCount);
  if (!userWantsImport(rows, learners, duplicates, faulty)) return;
  if (learners > 0) {
    std::vector<std::string> logBodies;
    switch (writeLearners(learners, logBodies)) {
      case Written::kWindowClosed: return;
      case Written::kFailed:
        showMessage("写入数据库失败，已撤销本次导入，没有导入任何学员。"_gb, kMessageErrorIcon, "导入数据失败"_gb);
        return;
      case Written::kAll: break;
    }
    records::appendLogEntries(logBodies);
    records::fillStudentList();
  }
  reportOutcome(learners, duplicates + faulty);
}

}  // namespace
}  // namespace app::exchange

namespace app::handlers {

int32_t onMenuImportData(const rt::EventArgs&) {
  // Learners come in on their own page only, as the export of them goes out.
  if (rt::api::readInt(ui::选择夹1, rt::prop::kTabPage) == form::kPageStudents) exchange::importLearners();
  return 0;
}

}  // namespace app::handlers
