// jx_sheet_memory_probe layer|direct ROWS FILE: one measurement of peak
// resident memory of a list export of ROWS rows of 16 cells saved as .xlsx,
// in a process of its own: "layer" through the whole spreadsheet layer (the
// runtime with the main window, as the program exports), "direct" with
// libxlsxwriter alone after starting the same Qt application. Prints the
// peak (VmHWM) in kilobytes.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/support/peak_memory.h"
#include "bench/support/sheet_export.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s layer|direct ROWS FILE\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  const std::string mode = argv[1];
  const auto rows = static_cast<int32_t>(std::atoi(argv[2]));
  namespace ex = bench::sheet_export;
  bool written = false;
  if (mode == "layer") {
    ex::startRuntime();
    // The cells are held as the list view holds them, before the export begins.
    ex::Texts cells = ex::makeCells(rows, true);
    written = ex::throughLayer(ex::makeHeaders(true), cells, rows, argv[3]);
  } else if (mode == "direct") {
    ex::Texts cells = ex::makeCells(rows, false);
    written = ex::direct(ex::makeHeaders(false), cells, rows, argv[3]);
  } else {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  if (!written) return 1;
  bench::reportPeakAndExit();
}
