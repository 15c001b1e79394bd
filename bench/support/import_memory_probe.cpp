// jx_import_memory_probe program|direct TARGET SOURCE LEARNERS: one
// measurement of peak resident memory of importing LEARNERS learners into
// TARGET (a program folder with an empty registry), in a process of its
// own. "program" starts the program headless on TARGET and imports the file
// SOURCE through the menu as the user does; "direct" reads the learners of
// the registry folder SOURCE and inserts them into TARGET with SQLCipher
// alone, after starting the same Qt application. Prints the peak (VmHWM)
// in kilobytes.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/support/learner_import.h"
#include "bench/support/peak_memory.h"
#include "bench/support/program.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s program|direct TARGET SOURCE LEARNERS\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  const std::string mode = argv[1];
  const std::filesystem::path target = argv[2], source = argv[3];
  const int32_t learners = std::atoi(argv[4]);
  namespace li = bench::learner_import;
  if (mode == "program") {
    bench::startProgram(target);
    li::importThroughWindow(source, learners);
  } else if (mode == "direct") {
    li::insertDirectly(target, li::registryRows(source));
  } else {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  bench::reportPeakAndExit();
}
