// Program entry: runtime start-up, program state and exit routine, the main
// window, the message loop, and the exit sequence.
#include "app/ids.h"
#include "app/program.h"
#include "app/state.h"
#include "runtime/entry.h"

int main() {
  const rt::EntryTable& entries = rt::entries();
  entries.Service(rt::kServiceStartUp, reinterpret_cast<intptr_t>(&app::programHeader()));
  app::initialiseProgramState();
  entries.Service(rt::kServiceRegisterExitRoutine, reinterpret_cast<intptr_t>(&app::exitRoutine));
  entries.LoadStartWindow(ui::kMainWindow);
  entries.RunMessageLoop();
  entries.ExitProgram(0);
}
