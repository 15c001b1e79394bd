#include "sheet/spreadsheet_units.h"

#include "runtime/encoding.h"
#include "runtime/heap.h"
#include "runtime/properties.h"

namespace sheet {
namespace {

namespace status = rt::automation;
using automation::Ref;

// A text property's value: the address of its text (or none).
std::string_view propertyText(const rt::TypedValue& value) {
  const char* text = value.asText();
  return text ? std::string_view(text) : std::string_view();
}

}  // namespace

// --- ExcelApp ---

std::unique_ptr<rt::UnitObject> ExcelAppUnit::create(const rt::UnitContext&) {
  return std::make_unique<ExcelAppUnit>();
}

bool ExcelAppUnit::start() {
  release();
  application_ = automation::make<automation::Application>();
  return static_cast<bool>(application_);
}

void ExcelAppUnit::quit() {
  if (application_) application_->quit();
}

void ExcelAppUnit::release() { application_.reset(); }

bool ExcelAppUnit::readProperty(int32_t number, rt::TypedValue& out) {
  if (number != rt::prop::kActivePrinter) return false;
  std::string name;
  char* text = nullptr;
  if (application_ && application_->activePrinter(name) == status::kOk) text = rt::newTextFromUtf8(name);
  out = rt::TypedValue::ofText(text);
  return true;
}

// --- ExcelWorkbooks ---

std::unique_ptr<rt::UnitObject> ExcelWorkbooksUnit::create(const rt::UnitContext&) {
  return std::make_unique<ExcelWorkbooksUnit>();
}

bool ExcelWorkbooksUnit::newWorkbook(ExcelAppUnit* application) {
  releaseWorkbooks();
  savedFile_.clear();
  if (!application || !application->application()) return record(status::kNoInterface), false;
  Ref<automation::Workbooks> workbooks;
  if (record(application->application()->workbooks(workbooks)) != status::kOk) return false;
  workbooks_ = workbooks;
  Ref<automation::WorkbookObject> workbook;
  if (record(workbooks_->add(workbook)) != status::kOk) return false;
  workbook_ = workbook;
  Ref<automation::Sheets> sheets;
  if (record(workbook_->sheets(sheets)) != status::kOk) return false;
  sheets_ = sheets;
  Ref<automation::WorksheetObject> sheet;
  if (record(sheets_->item(1, sheet)) != status::kOk) return false;
  sheet_ = sheet;
  return true;
}

bool ExcelWorkbooksUnit::openWorkbook(std::string_view pathGb) {
  if (!workbooks_) return record(status::kNoInterface), false;
  Ref<automation::WorkbookObject> workbook;
  if (record(workbooks_->open(rt::toNativePath(pathGb), workbook)) != status::kOk) return false;
  // The workbook held before stays open in the application.
  workbook_ = workbook;
  Ref<automation::Sheets> sheets;
  if (record(workbook_->sheets(sheets)) != status::kOk) return false;
  sheets_ = sheets;
  Ref<automation::WorksheetObject> sheet;
  if (record(sheets_->item(1, sheet)) != status::kOk) return false;
  // The current range and the address texts stay: the range still belongs
  // to the previous workbook until the end cell is written again.
  sheet_ = sheet;
  return true;
}

void ExcelWorkbooksUnit::activateWorkbook() {
  if (!workbook_) return void(record(status::kNoInterface));
  record(workbook_->activate());
}

void ExcelWorkbooksUnit::saveSheetAs(std::string_view fileNameGb) {
  savedFile_.clear();
  if (!workbook_ || !sheet_) return void(record(status::kNoInterface));
  std::string native = rt::toNativePath(fileNameGb);
  std::string written;
  if (record(sheet_->saveAs(native, &written)) != status::kOk) return;
  // The name as the caller wrote it, with the extension the save added.
  savedFile_.assign(fileNameGb);
  if (written.size() > native.size()) savedFile_ += rt::utf8ToGb(std::string_view(written).substr(native.size()));
}

void ExcelWorkbooksUnit::closeWorkbooks() {
  if (!workbooks_) return void(record(status::kNoInterface));
  record(workbooks_->close());
}

void ExcelWorkbooksUnit::releaseWorkbooks() {
  workbook_.reset();
  workbooks_.reset();
  range_.reset();
  sheet_.reset();
  sheets_.reset();
  startCell_.clear();
  endCell_.clear();
  record(status::kOk);
}

rt::ObjectHolder* ExcelWorkbooksUnit::currentSheet() const { return rt::newObjectHolder(sheet_.dispatch()); }

void ExcelWorkbooksUnit::printSheets(const automation::PrintRequest& request) {
  if (!sheets_) return void(record(status::kNoInterface));
  record(sheets_->printOut(request));
}

void ExcelWorkbooksUnit::setEndCell(std::string_view textGb) {
  if (!sheet_) return void(record(status::kNoInterface));  // not even stored
  endCell_.assign(textGb);
  // Addresses are ASCII: the GB18030 bytes are the address itself. A failed
  // call leaves the current range as it was.
  record(sheet_->range(startCell_, std::string_view(endCell_), range_));
}

void ExcelWorkbooksUnit::setSheetIndex(int32_t index) {
  if (!sheets_) return void(record(status::kNoInterface));
  Ref<automation::WorksheetObject> sheet;
  if (record(sheets_->item(index, sheet)) != status::kOk) return;
  sheet_ = std::move(sheet);  // the current range stays on the previous sheet
}

bool ExcelWorkbooksUnit::writeProperty(int32_t number, const rt::TypedValue& value) {
  switch (number) {
    case rt::prop::kStartCell:
      startCell_.assign(propertyText(value));
      record(status::kOk);
      return true;
    case rt::prop::kEndCell: setEndCell(propertyText(value)); return true;
    case rt::prop::kCellValue:
      if (!range_) return record(status::kNoInterface), true;
      converted_.clear();
      rt::appendGbAsUtf8(propertyText(value), converted_);
      record(range_->setText(converted_));
      return true;
    case rt::prop::kNumberFormat:
      if (!range_) return record(status::kNoInterface), true;
      converted_.clear();
      rt::appendGbAsUtf8(propertyText(value), converted_);
      record(range_->setNumberFormat(converted_));
      return true;
    case rt::prop::kSheetIndex: setSheetIndex(value.asInt()); return true;
    case rt::prop::kColumnWidth:
      if (!range_) return record(status::kNoInterface), true;
      record(range_->setColumnWidth(value.asInt()));
      return true;
    default: return false;
  }
}

bool ExcelWorkbooksUnit::readProperty(int32_t number, rt::TypedValue& out) {
  switch (number) {
    case rt::prop::kSavedFile: out = rt::TypedValue::ofText(rt::newText(savedFile_)); return true;
    case rt::prop::kSpreadsheetStatus: out = rt::TypedValue::ofInt(lastStatus_); return true;
    default: return false;
  }
}

}  // namespace sheet
