#include "app/exchange/spreadsheet.h"

#include "runtime/command_ids.h"
#include "runtime/properties.h"

namespace app::exchange {

using namespace rt::api;
namespace cmd = rt::cmd;

void startWithNewWorkbook(const SpreadsheetPair& pair) {
  call(cmd::spreadsheet(cmd::kStartExcel), pair.application);
  call(cmd::spreadsheet(cmd::kNewWorkbook), pair.workbooks, pair.application);
  call(cmd::spreadsheet(cmd::kActivateWorkbook), pair.workbooks);
}

void writeCell(const ui::Unit& workbooks, const char* address, const char* text, const char* numberFormat) {
  writeText(workbooks, rt::prop::kStartCell, address);
  writeText(workbooks, rt::prop::kEndCell, address);
  if (numberFormat) writeText(workbooks, rt::prop::kNumberFormat, numberFormat);
  writeText(workbooks, rt::prop::kCellValue, text);
}

Text saveWorkbookAs(const ui::Unit& workbooks, const char* name) {
  call(cmd::spreadsheet(cmd::kSaveSheetAs), workbooks, name);
  return readText(workbooks, rt::prop::kSavedFile);
}

void shutDown(const SpreadsheetPair& pair) {
  call(cmd::spreadsheet(cmd::kCloseWorkbooks), pair.workbooks);
  call(cmd::spreadsheet(cmd::kReleaseWorkbooks), pair.workbooks);
  call(cmd::spreadsheet(cmd::kQuitExcel), pair.application);
  call(cmd::spreadsheet(cmd::kReleaseExcel), pair.application);
}

}  // namespace app::exchange
