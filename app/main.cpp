// Program entry: runtime start-up, program state and exit routine, the main
// window, the message loop, and the exit sequence.
#include "app/handler_table.h"
#include "app/ids.h"
#include "app/state.h"
#include "runtime/entry.h"
#include "runtime/library.h"
#include "runtime/templates/template_block.h"

namespace {

constexpr int32_t kVersionWord = 84674;

const rt::DllCommand kDllCommands[] = {
    {"sdtapi.dll", "InitComm"}, {"sdtapi.dll", "Authenticate"}, {"sdtapi.dll", "ReadBaseInfos"},
    {"kernel32", "Beep"},       {"sdtapi.dll", "CloseComm"},
};

}  // namespace

int main() {
  // The program's libraries in number order; the spreadsheet library (4) is
  // not linked into this build yet, so its slot is empty.
  const rt::Library* const libraries[] = {&rt::coreLibrary(),  &rt::listViewLibrary(), &rt::databaseLibrary(),
                                          nullptr,             &rt::shellLibrary(),    &rt::timingLibrary()};
  const rt::ProgramHeader header{
      rt::kBuildRelease,
      0,
      kVersionWord,
      app::kHandlerTable,
      nullptr,
      0,
      rt::kTemplateBlock,
      rt::kTemplateBlockSize,
      static_cast<int32_t>(std::size(libraries)),
      libraries,
      static_cast<int32_t>(std::size(kDllCommands)),
      kDllCommands,
  };
  const rt::EntryTable& entries = rt::entries();
  entries.Service(rt::kServiceStartUp, reinterpret_cast<intptr_t>(&header));
  app::initialiseProgramState();
  entries.Service(rt::kServiceRegisterExitRoutine, reinterpret_cast<intptr_t>(&app::exitRoutine));
  entries.LoadStartWindow(ui::kMainWindow);
  entries.RunMessageLoop();
  entries.ExitProgram(0);
}
