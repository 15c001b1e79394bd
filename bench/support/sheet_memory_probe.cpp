// jx_sheet_memory_probe: one measurement of peak resident memory in a process
// of its own, printed (VmHWM) in kilobytes.
//
//   layer|direct ROWS FILE   a list export of ROWS rows of 16 cells saved as
//                            .xlsx: "layer" through the whole spreadsheet layer
//                            (the runtime with the main window, as the program
//                            exports), "direct" with libxlsxwriter alone
//   read FILE must|may       FILE read by the engine; "must" fails the probe
//                            when the engine refuses it
//   model ROWS               the cells of such an export put into a workbook
//                            in memory, as reading makes them
//
// Every mode starts the same Qt application first.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/support/peak_memory.h"
#include "bench/support/sheet_export.h"
#include "sheet/engine/xlsx_reader.h"

namespace {

// The export's header and rows as text cells of a new workbook.
std::unique_ptr<sheet::Workbook> modelOfExport(int32_t rows) {
  namespace ex = bench::sheet_export;
  auto workbook = sheet::Workbook::createNew();
  sheet::Worksheet& ws = *workbook->sheets.front();
  ex::Texts headers = ex::makeHeaders(false), cells = ex::makeCells(rows, false);
  size_t next = 0;
  for (uint32_t c = 0; c < ex::kColumns; ++c) ws.setText({0, c}, headers[c]);
  for (uint32_t r = 1; r <= static_cast<uint32_t>(rows); ++r)
    for (uint32_t c = 0; c < ex::kColumns; ++c) ws.setText({r, c}, cells[next++]);
  return workbook;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (argc != (mode == "model" ? 3 : 4)) {
    std::fprintf(stderr, "usage: %s layer|direct ROWS FILE | read FILE must|may | model ROWS\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  if (mode == "read") {
    sheet::ReadError error;
    auto workbook = sheet::readXlsxFile(argv[2], &error);
    if (!workbook) std::fprintf(stderr, "refused: %s\n", error.reason.c_str());
    if (!workbook && std::string(argv[3]) == "must") return 1;
    bench::reportPeakAndExit();
  }
  const auto rows = static_cast<int32_t>(std::atoi(argv[2]));
  if (mode == "model") {
    auto workbook = modelOfExport(rows);
    bench::reportPeakAndExit();
  }
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
