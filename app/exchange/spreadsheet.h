// The steps the list export and the form printing share on a pair of
// spreadsheet units of the main window: an application (ExcelApp) and the
// workbook side bound to it (ExcelWorkbooks).
#pragma once

#include "app/ids.h"
#include "runtime/api.h"

namespace app::exchange {

struct SpreadsheetPair {
  ui::Unit application;
  ui::Unit workbooks;
};

// Starts the application, creates a new workbook on it and activates it.
void startWithNewWorkbook(const SpreadsheetPair& pair);

// One cell of the current sheet: start cell and end cell set to the address,
// then its number format when one is given, then its value.
void writeCell(const ui::Unit& workbooks, const char* address, const char* text, const char* numberFormat = nullptr);

// Saves the workbook under the name and answers the file written (the name
// with any extension the save added); empty when nothing was written.
rt::api::Text saveWorkbookAs(const ui::Unit& workbooks, const char* name);

// Closes every workbook, releases the workbook side, quits the application
// and releases it.
void shutDown(const SpreadsheetPair& pair);

}  // namespace app::exchange
