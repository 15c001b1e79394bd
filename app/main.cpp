// Program entry: the Qt screen, runtime start-up, program state and exit
// routine, the main window, the message loop, and the exit sequence.
#include "app/ids.h"
#include "app/program.h"
#include "app/state.h"
#include "runtime/entry.h"
#include "runtime/qt/qt_screen.h"

int main() {
  rt::qt::installQtScreen();
  const rt::EntryTable& entries = rt::entries();
  entries.Service(rt::kServiceStartUp, reinterpret_cast<intptr_t>(&app::programHeader()));
  app::initialiseProgramState();
  entries.Service(rt::kServiceRegisterExitRoutine, reinterpret_cast<intptr_t>(&app::exitRoutine));
  entries.LoadStartWindow(ui::kMainWindow);
  entries.RunMessageLoop();
  entries.ExitProgram(0);
}
