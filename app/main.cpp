// Program entry: the Qt screen and the system's printers, runtime start-up,
// the files a cut-off run left removed, program state and exit routine, the
// main window, the message loop, and the exit sequence.
#include "app/ids.h"
#include "app/leftovers.h"
#include "app/program.h"
#include "app/state.h"
#include "runtime/entry.h"
#include "runtime/qt/qt_screen.h"
#include "sheet/print/system_printing.h"

int main() {
  rt::qt::installQtScreen();
  // Sheets print on the system's printers (or into PDF files).
  sheet::print::installSystemPrintService();
  const rt::EntryTable& entries = rt::entries();
  entries.Service(rt::kServiceStartUp, reinterpret_cast<intptr_t>(&app::programHeader()));
  // Start-up made the program folder the current directory.
  app::removeLeftoverFiles();
  app::initialiseProgramState();
  entries.Service(rt::kServiceRegisterExitRoutine, reinterpret_cast<intptr_t>(&app::exitRoutine));
  entries.LoadStartWindow(ui::kMainWindow);
  entries.RunMessageLoop();
  entries.ExitProgram(0);
}
