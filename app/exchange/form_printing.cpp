// Printing the registration forms of the learner selected in the student
// list: the school's template table.xlsx (current directory) is opened, the
// learner's texts go into fixed cells of worksheet 1, worksheet 2 and the
// worksheet of the learner's vehicle class, each form is printed in its
// orientation, and the filled copy is saved as tem.xlsx and deleted, so that
// the template on disk never changes.
//
// The spreadsheet application ends with Quit; no process is killed, so the
// work in any other spreadsheet program of the user is never lost.
#include <array>
#include <cstdint>
#include <span>

#include "app/exchange/spreadsheet.h"
#include "app/handler_table.h"
#include "app/ids.h"
#include "app/learner.h"
#include "app/program_files.h"
#include "app/state.h"
#include "app/support.h"
#include "runtime/command_ids.h"
#include "runtime/properties.h"

namespace app::exchange {
namespace {

using namespace rt::api;
namespace cmd = rt::cmd;

constexpr SpreadsheetPair kFormPair{ui::Excel程序1, ui::Excel工作簿1};

const char* const kTemplateName = "\\table.xlsx";
const char* const kPathSeparator = "\\";

constexpr int32_t kPortrait = 1;
constexpr int32_t kLandscape = 2;
constexpr int32_t kNoSelection = -1;

using learner::kAddress;
using learner::kBirthDate;
using learner::kIdentityNumber;
using learner::kName;
using learner::kRegistrationDate;
using learner::kSex;
using learner::kTelephone;
using learner::kVehicleClass;

// What a form cell receives.
enum class Take {
  kColumn,            // the column's text
  kFixedText,         // a text of the form itself
  kIdentityByte,      // one byte of the identity number
  kYearAndMonth,      // the birth date up to and including its first "月"
  kRegistrationYear,  // the first bytes of the registration date
};

struct FormCell {
  const char* address;
  Take take;
  learner::Field field = kName;         // kColumn
  const char* fixedTextUtf8 = nullptr;  // kFixedText
  int32_t bytePosition = 0;             // kIdentityByte, 1-based
};

constexpr FormCell column(const char* address, learner::Field source) { return {address, Take::kColumn, source}; }
constexpr FormCell fixedText(const char* address, const char* utf8) { return {address, Take::kFixedText, kName, utf8}; }
constexpr FormCell identityByte(const char* address, int32_t position) {
  return {address, Take::kIdentityByte, kName, nullptr, position};
}

// Worksheet 1: the application form. The 18 boxes E4 to V4 take one byte of
// the identity number each.
constexpr std::array<FormCell, 28> kApplicationForm = {
    column("C3", kName),           column("L3", kSex),
    column("Q3", kBirthDate),      fixedText("X3", "中国"),
    fixedText("C4", "居民身份证"), identityByte("E4", 1),
    identityByte("F4", 2),         identityByte("G4", 3),
    identityByte("H4", 4),         identityByte("I4", 5),
    identityByte("J4", 6),         identityByte("K4", 7),
    identityByte("L4", 8),         identityByte("M4", 9),
    identityByte("N4", 10),        identityByte("O4", 11),
    identityByte("P4", 12),        identityByte("Q4", 13),
    identityByte("R4", 14),        identityByte("S4", 15),
    identityByte("T4", 16),        identityByte("U4", 17),
    identityByte("V4", 18),        column("C6", kAddress),
    column("C8", kTelephone),      fixedText("N8", "860000"),
    column("E9", kVehicleClass),   column("T29", kRegistrationDate),
};

// Worksheet 2: the learner's record card.
constexpr std::array<FormCell, 6> kRecordCard = {
    column("B5", kName),           column("D5", kSex),     FormCell{"G5", Take::kYearAndMonth},
    column("B6", kIdentityNumber), column("B7", kAddress), column("B8", kTelephone),
};

// Worksheets 3 to 6: the training record of one vehicle class, all alike.
constexpr std::array<FormCell, 6> kTrainingRecord = {
    column("B3", kName),           column("E3", kSex),
    column("H3", kIdentityNumber), FormCell{"K3", Take::kRegistrationYear},
    column("B4", kAddress),        column("I4", kTelephone),
};

constexpr int32_t kApplicationSheet = 1;
constexpr int32_t kRecordCardSheet = 2;

struct ClassSheet {
  const char* vehicleClassUtf8;
  int32_t sheet;
};
// Compared in this order; any other class prints no training record.
constexpr std::array<ClassSheet, 4> kClassSheets = {{{"C2", 3}, {"C1", 4}, {"B2", 5}, {"A1", 6}}};

// "2014年5月6日" -> "2014年": four digits and the two bytes of "年".
constexpr int32_t kRegistrationYearBytes = 6;
// "月" takes two bytes.
constexpr int32_t kMonthMarkExtraBytes = 1;

Text studentText(learner::Field source) { return selectedCellText(ui::超级列表框1, learner::listColumn(source)); }

Text yearAndMonth() {
  Text birthDate = studentText(kBirthDate);
  int32_t monthMark = callInt(cmd::core(cmd::kFindText), birthDate, "月"_gb);
  if (monthMark < 0) return Text();
  return callText(cmd::core(cmd::kTextLeft), birthDate, monthMark + kMonthMarkExtraBytes);
}

Text valueOf(const FormCell& cell) {
  switch (cell.take) {
    case Take::kColumn: return studentText(cell.field);
    case Take::kFixedText: return TextConcat(rt::internUtf8(cell.fixedTextUtf8));
    case Take::kIdentityByte:
      return callText(cmd::core(cmd::kTextMid), studentText(kIdentityNumber), cell.bytePosition, 1);
    case Take::kYearAndMonth: return yearAndMonth();
    case Take::kRegistrationYear:
      return callText(cmd::core(cmd::kTextLeft), studentText(kRegistrationDate), kRegistrationYearBytes);
  }
  return Text();
}

rt::TypedValue objectRef(rt::ObjectHolder* holder) { return rt::TypedValue::ofPointer(holder, rt::kind::kComObject); }

// Puts a new object into a program-wide holder: what the holder held is
// released, the new object moves in, and the holder it came in is freed.
void holdObject(rt::ObjectHolder* holder, const rt::TypedValue& fresh) {
  call(cmd::core(cmd::kObjectRelease), objectRef(holder));
  auto* arrived = fresh.pointer<rt::ObjectHolder>();
  if (!arrived) return;
  *holder = *arrived;
  *arrived = rt::ObjectHolder{};
  rt::entries().Free(arrived);
}

// Fills one worksheet, turns its paper and prints it: From 1 To 1, one copy,
// no preview, on the printer named by the export's application object.
void printForm(int32_t sheet, std::span<const FormCell> cells, int32_t orientation) {
  writeInt(kFormPair.workbooks, rt::prop::kSheetIndex, sheet);
  for (const FormCell& cell : cells) writeCell(kFormPair.workbooks, cell.address, valueOf(cell).c_str());

  ProgramState& s = state();
  holdObject(s.formSheetObject, call(cmd::spreadsheet(cmd::kCurrentSheet), kFormPair.workbooks));
  holdObject(s.formPageSetupObject,
             call(cmd::core(cmd::kObjectGetProperty), objectRef(s.formSheetObject), "PageSetup"));
  call(cmd::core(cmd::kObjectSetProperty), objectRef(s.formPageSetupObject), "Orientation", orientation);

  Text printer = readText(ui::Excel程序, rt::prop::kActivePrinter);
  call(cmd::spreadsheet(cmd::kPrintSheets), kFormPair.workbooks, 1, 1, 1, false, printer, false, false, "");
}

void printClassForm() {
  for (const ClassSheet& entry : kClassSheets) {
    if (TextCompare(studentText(kVehicleClass).c_str(), rt::internUtf8(entry.vehicleClassUtf8)) == 0) {
      printForm(entry.sheet, kTrainingRecord, kLandscape);
      return;
    }
  }
}

// Saving the copy, shutting down and deleting the copy run on every way
// out, also when no learner is selected.
void printSelectedLearnerForms() {
  Text folder = callText(cmd::core(cmd::kCurrentDirectory));
  startWithNewWorkbook(kFormPair);
  bool templateOpen =
      callBool(cmd::spreadsheet(cmd::kOpenWorkbook), kFormPair.workbooks, TextConcat(folder, kTemplateName));

  if (selectedRow(ui::超级列表框1) == kNoSelection) {
    showMessage("请选择学员"_gb, kMessageNoIcon);
  } else if (!templateOpen) {
    // Filling the blank workbook instead would print texts without their form.
    showMessage("无法打开报名表模板table.xlsx"_gb, kMessageErrorIcon);
  } else {
    printForm(kApplicationSheet, kApplicationForm, kPortrait);
    printForm(kRecordCardSheet, kRecordCard, kPortrait);
    printClassForm();
  }

  saveWorkbookAs(kFormPair.workbooks, TextConcat(folder, kPathSeparator, files::kFilledFormCopyStem).c_str());
  shutDown(kFormPair);
  call(cmd::core(cmd::kObjectRelease), objectRef(state().formSheetObject));
  call(cmd::core(cmd::kRemoveFile), TextConcat(folder, kPathSeparator, files::kFilledFormCopy));
}

}  // namespace
}  // namespace app::exchange

namespace app::handlers {

int32_t onMenuPrintForm(const rt::EventArgs&) {
  exchange::printSelectedLearnerForms();
  return 0;
}

}  // namespace app::handlers
