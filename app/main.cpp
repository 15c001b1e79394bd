// Program entry: the command line and the choice of the school folder, the
// Qt screen and the system's printers, runtime start-up, the files a cut-off
// run left removed, program state and exit routine, the main window, the
// message loop, and the exit sequence.
#include <cstdio>
#include <string>

#include "app/ids.h"
#include "app/leftovers.h"
#include "app/program.h"
#include "app/school_folder.h"
#include "app/state.h"
#include "runtime/entry.h"
#include "runtime/program_folder.h"
#include "runtime/qt/qt_screen.h"
#include "sheet/print/system_printing.h"

namespace {

constexpr int kExitUsage = 2;

// Help, version and a refused command line end the program before any window.
int answerCommandLine(const app::school::CommandLine& line) {
  using Action = app::school::CommandLine::Action;
  if (line.action == Action::kHelp) {
    std::fwrite(app::school::usage().data(), 1, app::school::usage().size(), stdout);
    return 0;
  }
  if (line.action == Action::kVersion) {
    std::printf("jiaxiao %s\n", JX_VERSION);
    return 0;
  }
  std::fprintf(stderr, "jiaxiao: %s\n\n", line.refusal.c_str());
  std::fwrite(app::school::usage().data(), 1, app::school::usage().size(), stderr);
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  const app::school::CommandLine line = app::school::parseCommandLine(argc, argv);
  if (line.action != app::school::CommandLine::Action::kRun) return answerCommandLine(line);
  const std::string ownFolder = rt::executableFolder();
  if (app::school::worksInSchoolFolder(line, ownFolder)) app::school::installSchoolFolderChoice(line, ownFolder);

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
