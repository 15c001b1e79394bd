// The spreadsheet library (library 4): the unit kinds ExcelApp and
// ExcelWorkbooks and their command routines. Routines take their unit from
// the first argument; commands with a result answer booleans.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <typeinfo>

#include "runtime/command_ids.h"
#include "runtime/encoding.h"
#include "runtime/library.h"
#include "runtime/value.h"
#include "sheet/spreadsheet_library.h"
#include "sheet/spreadsheet_units.h"

namespace sheet {
namespace {

using rt::TypedValue;

// Argument positions after the unit itself.
constexpr int32_t kFirstArgument = 1;
// PrintSheets: From, To, Copies, Preview, ActivePrinter, PrintToFile, Collate, PrToFileName.
enum PrintArgument : int32_t {
  kFrom = 1,
  kTo,
  kCopies,
  kPreview,
  kPrinter,
  kPrintToFile,
  kCollate,
  kFileName,
  kPrintArguments
};

// Cells are written one at a time: the exact type is checked first, which
// costs far less than a cast through the hierarchy.
template <typename Unit>
Unit* unitOf(const TypedValue& ref) {
  rt::UnitObject& object = rt::requireUnitObject(ref);
  if (typeid(object) == typeid(Unit)) return static_cast<Unit*>(&object);
  return dynamic_cast<Unit*>(&object);
}

void answer(TypedValue* result, bool value) { *result = TypedValue::ofBool(value); }

std::string_view textOf(const TypedValue& value) {
  const char* text = value.tag == rt::tag::kText ? value.asText() : nullptr;
  return text ? std::string_view(text) : std::string_view();
}

// A value of any numeric type as int (fractions cut off); 0 otherwise.
int32_t integerOf(const TypedValue& value) {
  auto clamp = [](double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int32_t>(std::clamp(v, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                           static_cast<double>(std::numeric_limits<int32_t>::max())));
  };
  switch (value.tag) {
    case rt::tag::kByte: return static_cast<int32_t>(value.low & 0xFF);
    case rt::tag::kShort: return static_cast<int16_t>(value.low);
    case rt::tag::kInt:
    case rt::tag::kBool: return value.asInt();
    case rt::tag::kInt64: return clamp(static_cast<double>(value.asInt64()));
    case rt::tag::kFloat: return clamp(value.asFloat());
    case rt::tag::kDouble: return clamp(value.asDouble());
    default: return 0;
  }
}

// The print call carries booleans as the low 16 bits of the runtime's value.
bool flagOf(const TypedValue& value) { return static_cast<uint16_t>(value.low) != 0; }

std::string utf8Of(const TypedValue& value) { return rt::gbToUtf8(textOf(value)); }

// ExcelApp

void startExcel(TypedValue* result, int32_t, TypedValue* args) {
  auto* app = unitOf<ExcelAppUnit>(args[0]);
  answer(result, app && app->start());
}

void quitExcel(TypedValue*, int32_t, TypedValue* args) {
  if (auto* app = unitOf<ExcelAppUnit>(args[0])) app->quit();
}

void releaseExcel(TypedValue*, int32_t, TypedValue* args) {
  if (auto* app = unitOf<ExcelAppUnit>(args[0])) app->release();
}

// ExcelWorkbooks

void newWorkbook(TypedValue* result, int32_t count, TypedValue* args) {
  auto* workbooks = unitOf<ExcelWorkbooksUnit>(args[0]);
  if (!workbooks) return answer(result, false);
  ExcelAppUnit* app = nullptr;
  if (count > kFirstArgument && rt::kind::isUnitKind(args[kFirstArgument].tag))
    app =
        dynamic_cast<ExcelAppUnit*>(rt::findUnitObject(args[kFirstArgument].windowId(), args[kFirstArgument].unitId()));
  answer(result, workbooks->newWorkbook(app));
}

void openWorkbook(TypedValue* result, int32_t count, TypedValue* args) {
  auto* workbooks = unitOf<ExcelWorkbooksUnit>(args[0]);
  answer(result, workbooks && count > kFirstArgument && workbooks->openWorkbook(textOf(args[kFirstArgument])));
}

void activateWorkbook(TypedValue*, int32_t, TypedValue* args) {
  if (auto* workbooks = unitOf<ExcelWorkbooksUnit>(args[0])) workbooks->activateWorkbook();
}

void saveSheetAs(TypedValue*, int32_t count, TypedValue* args) {
  auto* workbooks = unitOf<ExcelWorkbooksUnit>(args[0]);
  if (workbooks) workbooks->saveSheetAs(count > kFirstArgument ? textOf(args[kFirstArgument]) : std::string_view());
}

void closeWorkbooks(TypedValue*, int32_t, TypedValue* args) {
  if (auto* workbooks = unitOf<ExcelWorkbooksUnit>(args[0])) workbooks->closeWorkbooks();
}

void releaseWorkbooks(TypedValue*, int32_t, TypedValue* args) {
  if (auto* workbooks = unitOf<ExcelWorkbooksUnit>(args[0])) workbooks->releaseWorkbooks();
}

// The caller owns the holder and releases it with ObjectRelease.
void currentSheet(TypedValue* result, int32_t, TypedValue* args) {
  auto* workbooks = unitOf<ExcelWorkbooksUnit>(args[0]);
  rt::ObjectHolder* holder = workbooks ? workbooks->currentSheet() : rt::newObjectHolder(rt::DispatchRef());
  *result = TypedValue::ofPointer(holder, rt::kind::kComObject);
}

void printSheets(TypedValue*, int32_t count, TypedValue* args) {
  auto* workbooks = unitOf<ExcelWorkbooksUnit>(args[0]);
  if (!workbooks || count < kPrintArguments) return;
  automation::PrintRequest request;
  request.from = integerOf(args[kFrom]);
  request.to = integerOf(args[kTo]);
  request.copies = integerOf(args[kCopies]);
  request.preview = flagOf(args[kPreview]);
  request.printer = utf8Of(args[kPrinter]);
  request.printToFile = flagOf(args[kPrintToFile]);
  request.collate = flagOf(args[kCollate]);
  request.fileName = rt::toNativePath(textOf(args[kFileName]));
  workbooks->printSheets(request);
}

rt::Library makeLibrary() {
  namespace cmd = rt::cmd;
  rt::Library library;
  library.number = rt::lib::kSpreadsheet;
  library.name = "spreadsheet";
  library.commands.resize(cmd::kSpreadsheetCount);
  library.commands[cmd::kStartExcel] = &startExcel;
  library.commands[cmd::kQuitExcel] = &quitExcel;
  library.commands[cmd::kReleaseExcel] = &releaseExcel;
  library.commands[cmd::kNewWorkbook] = &newWorkbook;
  library.commands[cmd::kOpenWorkbook] = &openWorkbook;
  library.commands[cmd::kActivateWorkbook] = &activateWorkbook;
  library.commands[cmd::kSaveSheetAs] = &saveSheetAs;
  library.commands[cmd::kCloseWorkbooks] = &closeWorkbooks;
  library.commands[cmd::kReleaseWorkbooks] = &releaseWorkbooks;
  library.commands[cmd::kCurrentSheet] = &currentSheet;
  library.commands[cmd::kPrintSheets] = &printSheets;
  library.kinds = {
      {rt::kind::kExcelApp, "ExcelApp", false, &ExcelAppUnit::create},
      {rt::kind::kExcelWorkbooks, "ExcelWorkbooks", false, &ExcelWorkbooksUnit::create},
  };
  return library;
}

}  // namespace
}  // namespace sheet

namespace rt {
const Library& spreadsheetLibrary() {
  static const Library library = sheet::makeLibrary();
  return library;
}
}  // namespace rt
