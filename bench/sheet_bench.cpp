// The list export to a workbook: 16 text cells a row written through the
// whole spreadsheet layer and saved as .xlsx, against libxlsxwriter writing
// the same cells directly in the same run; and the peak memory of that export
// in a process of its own (jx_sheet_memory_probe). Reading: the peak memory
// of reading such an export back, against the same cells put into a
// workbook in memory, and of reading the largest workbooks of each shape the
// engine's read limits admit.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/support/limit_workbooks.h"
#include "bench/support/peak_memory.h"
#include "bench/support/sheet_export.h"
#include "bench/support/suite.h"
#include "tests/support/temp_folder.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr double kTimeRatioTarget = 1.5;
constexpr double kPeakMemoryTargetMb = 300;
// Any workbook the read limits admit is read in less (sheet/engine/read_limits.h).
constexpr double kReadMemoryTargetMb = 200;

void exportThroughLayer(benchmark::State& state, int32_t rows) {
  sheet_export::startRuntime();
  auto headers = sheet_export::makeHeaders(true);
  auto cells = sheet_export::makeCells(rows, true);
  jxtest::TempFolder scratch("jx-sheet-bench");
  fs::path file = scratch.file("学员.xlsx");
  for (auto _ : state) {
    state.SetIterationTime(secondsOf([&] {
      if (!sheet_export::throughLayer(headers, cells, rows, file)) fail("the export wrote no file");
    }));
  }
  state.counters["cells"] = static_cast<double>(rows) * sheet_export::kColumns;
  state.counters["file_mb"] = static_cast<double>(fs::file_size(file)) / (kKbPerMb * kKbPerMb);
  setTarget(state, rows, "ratio", kTimeRatioTarget);
}

void exportDirect(benchmark::State& state, int32_t rows) {
  auto headers = sheet_export::makeHeaders(false);
  auto cells = sheet_export::makeCells(rows, false);
  jxtest::TempFolder scratch("jx-sheet-bench");
  fs::path file = scratch.file("direct.xlsx");
  for (auto _ : state) {
    state.SetIterationTime(secondsOf([&] {
      if (!sheet_export::direct(headers, cells, rows, file)) fail("libxlsxwriter wrote no file");
    }));
  }
  state.counters["cells"] = static_cast<double>(rows) * sheet_export::kColumns;
  state.counters["file_mb"] = static_cast<double>(fs::file_size(file)) / (kKbPerMb * kKbPerMb);
}

void peakMemory(benchmark::State& state, int32_t rows, const char* mode) {
  double mb = 0;
  for (auto _ : state) {
    jxtest::TempFolder scratch("jx-sheet-bench");
    const std::string file = scratch.file("probe.xlsx");
    state.SetIterationTime(secondsOf([&] {
      mb = probePeakMb("jx_sheet_memory_probe", {mode, std::to_string(rows), file});
    }));
  }
  state.counters["value_mb"] = mb;
  if (std::string(mode) == "layer") setTarget(state, rows, "mb", kPeakMemoryTargetMb);
}

// Reading the list export of `rows` rows back.
void readMemory(benchmark::State& state, int32_t rows) {
  sheet_export::startRuntime();
  jxtest::TempFolder scratch("jx-sheet-bench");
  const fs::path file = scratch.file("list.xlsx");
  if (!sheet_export::throughLayer(sheet_export::makeHeaders(true), sheet_export::makeCells(rows, true), rows, file))
    fail("the export wrote no file");
  double mb = 0;
  for (auto _ : state)
    state.SetIterationTime(secondsOf([&] {
      mb = probePeakMb("jx_sheet_memory_probe", {"read", file.string(), "must"});
    }));
  state.counters["value_mb"] = mb;
  state.counters["file_mb"] = static_cast<double>(fs::file_size(file)) / (kKbPerMb * kKbPerMb);
  setTarget(state, rows, "mb", kReadMemoryTargetMb);
}

void modelMemory(benchmark::State& state, int32_t rows) {
  double mb = 0;
  for (auto _ : state)
    state.SetIterationTime(secondsOf([&] {
      mb = probePeakMb("jx_sheet_memory_probe", {"model", std::to_string(rows)});
    }));
  state.counters["value_mb"] = mb;
}

// The workbooks at the read limits; at the size the targets hold for they
// are the real limits, smaller sizes read the same shapes scaled down.
void limitMemory(benchmark::State& state, int32_t size, limit_workbooks::Shape shape) {
  jxtest::TempFolder scratch("jx-sheet-bench");
  const fs::path file = scratch.file("limits.xlsx");
  limit_workbooks::write(shape, static_cast<double>(size) / kTargetSize, file);
  const char* outcome = shape == limit_workbooks::Shape::kEverything ? "may" : "must";
  double mb = 0;
  for (auto _ : state)
    state.SetIterationTime(secondsOf([&] {
      mb = probePeakMb("jx_sheet_memory_probe", {"read", file.string(), outcome});
    }));
  state.counters["value_mb"] = mb;
  state.counters["file_mb"] = static_cast<double>(fs::file_size(file)) / (kKbPerMb * kKbPerMb);
  setTarget(state, size, "mb", kReadMemoryTargetMb);
}

[[maybe_unused]] const bool kRegistered = [] {
  for (int32_t rows : kSizes) {
    addBenchmark("sheet_export", rows, exportThroughLayer);
    addBenchmark("sheet_export_baseline", rows, exportDirect);
    addBenchmark("sheet_export_memory", rows, [](benchmark::State& s, int32_t n) {
      peakMemory(s, n, "layer");
    })->Iterations(1);
    addBenchmark("sheet_export_memory_baseline", rows, [](benchmark::State& s, int32_t n) {
      peakMemory(s, n, "direct");
    })->Iterations(1);
    addBenchmark("sheet_read_memory", rows, readMemory)->Iterations(1);
    addBenchmark("sheet_read_memory_baseline", rows, modelMemory)->Iterations(1);
  }
  using limit_workbooks::Shape;
  for (Shape shape : {Shape::kRows, Shape::kCells, Shape::kTexts, Shape::kEverything})
    for (int32_t size : {kSizes[0], kTargetSize})
      addBenchmark(std::string("sheet_read_limits_") + limit_workbooks::nameOf(shape), size,
                   [shape](benchmark::State& s, int32_t n) { limitMemory(s, n, shape); })
          ->Iterations(1);
  return true;
}();

}  // namespace
}  // namespace bench
