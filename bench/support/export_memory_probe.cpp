// jx_export_memory_probe program|direct FOLDER FILE: one measurement of peak
// resident memory of the student list's export to FILE (.xlsx), in a process
// of its own. "program" starts the program headless on the program folder
// (the whole registry listed) and exports through the menu as the user
// does; "direct" reads the same rows from the folder's database and writes
// them with libxlsxwriter alone, after starting the same Qt application.
// Prints the peak (VmHWM) in kilobytes.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/support/list_export.h"
#include "bench/support/peak_memory.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s program|direct FOLDER FILE\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  const std::string mode = argv[1];
  const std::filesystem::path folder = argv[2], file = argv[3];
  namespace ex = bench::sheet_export;
  if (mode == "program") {
    bench::startProgram(folder);
    bench::list_export::exportThroughWindow(file);
  } else if (mode == "direct") {
    int32_t rows = 0;
    ex::Texts cells = bench::list_export::registryCells(folder, rows);
    if (!ex::direct(ex::makeHeaders(false), cells, rows, file)) return 1;
  } else {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  bench::reportPeakAndExit();
}
