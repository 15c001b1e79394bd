// The units of the spreadsheet library: ExcelApp (one running application of
// the engine) and ExcelWorkbooks (the workbook side bound to an application:
// its workbook collection, one current workbook, that workbook's sheet
// collection, one current sheet, one current range and the two cell address
// texts of that range).
//
// Every operation holds to the rules the application relies on: a reference
// is replaced (and the old one released) only when the new one was obtained;
// a write whose target is not held does nothing; a failing engine call ends
// that one command or write and leaves everything else as it was. Nothing is
// shown to the user and nothing is fatal, except the printing message of a
// system without printers.
//
// Beyond what the application uses, ExcelWorkbooks answers two read
// properties that tell its caller what happened (runtime/properties.h):
// kSavedFile, the file the last SaveSheetAs wrote (empty when it wrote
// nothing), and kSpreadsheetStatus, the status of its last command or
// property write (0, or a status of rt::automation).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "runtime/library.h"
#include "sheet/automation/objects.h"

namespace sheet {

class ExcelAppUnit : public rt::UnitObject {
 public:
  static std::unique_ptr<rt::UnitObject> create(const rt::UnitContext&);

  // Releases what is held, then starts a new application: true when held.
  bool start();
  // Asks the application to quit; it is still held until released.
  void quit();
  // Drops the application without asking it to quit.
  void release();
  const automation::Ref<automation::Application>& application() const { return application_; }

  bool readProperty(int32_t number, rt::TypedValue& out) override;

 private:
  automation::Ref<automation::Application> application_;
};

class ExcelWorkbooksUnit : public rt::UnitObject {
 public:
  static std::unique_ptr<rt::UnitObject> create(const rt::UnitContext&);

  bool newWorkbook(ExcelAppUnit* application);
  bool openWorkbook(std::string_view pathGb);
  void activateWorkbook();
  void saveSheetAs(std::string_view fileNameGb);
  void closeWorkbooks();
  void releaseWorkbooks();
  // A new heap object holder with the current sheet (an empty one without).
  rt::ObjectHolder* currentSheet() const;
  void printSheets(const automation::PrintRequest& request);

  bool writeProperty(int32_t number, const rt::TypedValue& value) override;
  bool readProperty(int32_t number, rt::TypedValue& out) override;

  int32_t lastStatus() const { return lastStatus_; }

 private:
  void setEndCell(std::string_view textGb);
  void setSheetIndex(int32_t index);
  // Records the outcome of the command or write; returns it.
  int32_t record(int32_t status) { return lastStatus_ = status; }

  automation::Ref<automation::Workbooks> workbooks_;
  automation::Ref<automation::WorkbookObject> workbook_;
  automation::Ref<automation::Sheets> sheets_;
  automation::Ref<automation::WorksheetObject> sheet_;
  automation::Ref<automation::Range> range_;
  std::string startCell_;  // GB18030, as written
  std::string endCell_;
  std::string savedFile_;  // GB18030
  int32_t lastStatus_ = 0;
  std::string converted_;  // the UTF-8 of the text being written, reused
};

}  // namespace sheet
