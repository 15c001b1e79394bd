// The export of the student list through the real main window, from the
// choice of 学员管理 > 导出数据 to the saved .xlsx (dialog answered, progress
// window, every cell written on its own, the window messages handled once a
// row, the save, the message), against libxlsxwriter writing the same cells
// directly in the same run; and the peak memory of that export in a process
// of its own (jx_export_memory_probe). The progress bar's paints during the
// export are counted: the window repaints while it runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QProgressBar>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "bench/support/list_export.h"
#include "bench/support/peak_memory.h"
#include "bench/support/suite.h"
#include "tests/support/temp_folder.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr double kTimeRatioTarget = 3;
constexpr double kPeakMemoryTargetMb = 400;

// Counts the paints of progress bars and the positions they showed.
class BarPaints : public QObject {
 public:
  BarPaints() { qApp->installEventFilter(this); }
  ~BarPaints() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      if (auto* bar = qobject_cast<QProgressBar*>(watched)) {
        ++paints;
        positions.insert(bar->value());
      }
    }
    return false;
  }
  int64_t paints = 0;
  std::set<int> positions;
};

void exportThroughWindow(benchmark::State& state, int32_t learners) {
  ensureProgram(registryFolder(learners));
  requireRows("the student list", rowCount(ui::超级列表框1), learners);
  showPage(0);
  jxtest::TempFolder scratch("jx-export-bench");
  const fs::path file = scratch / "学员.xlsx";
  int64_t paints = 0;
  size_t positions = 0;
  for (auto _ : state) {
    BarPaints bar;
    state.SetIterationTime(secondsOf([&] { list_export::exportThroughWindow(file); }));
    paints = bar.paints;
    positions = bar.positions.size();
  }
  if (paints == 0) fail("the progress bar was never painted during the export");
  state.counters["cells"] = static_cast<double>(learners) * sheet_export::kColumns;
  state.counters["file_mb"] = static_cast<double>(fs::file_size(file)) / (kKbPerMb * kKbPerMb);
  state.counters["bar_paints"] = static_cast<double>(paints);
  state.counters["bar_positions"] = static_cast<double>(positions);
  setTarget(state, learners, "ratio", kTimeRatioTarget);
}

void exportDirect(benchmark::State& state, int32_t learners) {
  int32_t rows = 0;
  sheet_export::Texts cells = list_export::registryCells(registryFolder(learners), rows);
  requireRows("the registry", rows, learners);
  sheet_export::Texts headers = sheet_export::makeHeaders(false);
  jxtest::TempFolder scratch("jx-export-bench");
  const fs::path file = scratch / "direct.xlsx";
  for (auto _ : state) {
    state.SetIterationTime(secondsOf([&] {
      if (!sheet_export::direct(headers, cells, rows, file)) fail("libxlsxwriter wrote no file");
    }));
  }
  state.counters["cells"] = static_cast<double>(learners) * sheet_export::kColumns;
  state.counters["file_mb"] = static_cast<double>(fs::file_size(file)) / (kKbPerMb * kKbPerMb);
}

void peakMemory(benchmark::State& state, int32_t learners, const char* mode) {
  registryFolder(learners);  // made before the probe starts
  double mb = 0;
  for (auto _ : state) {
    jxtest::TempFolder scratch("jx-export-bench");
    const std::string file = (scratch / "probe.xlsx").string();
    state.SetIterationTime(secondsOf([&] {
      mb = probePeakMb("jx_export_memory_probe", {mode, registryFolder(learners).string(), file});
    }));
  }
  state.counters["value_mb"] = mb;
  if (std::string(mode) == "program") setTarget(state, learners, "mb", kPeakMemoryTargetMb);
}

[[maybe_unused]] const bool kRegistered = [] {
  for (int32_t learners : kSizes) {
    addBenchmark("list_export", learners, exportThroughWindow);
    addBenchmark("list_export_baseline", learners, exportDirect);
    addBenchmark("list_export_memory", learners, [](benchmark::State& s, int32_t n) {
      peakMemory(s, n, "program");
    })->Iterations(1);
    addBenchmark("list_export_memory_baseline", learners, [](benchmark::State& s, int32_t n) {
      peakMemory(s, n, "direct");
    })->Iterations(1);
  }
  return true;
}();

}  // namespace
}  // namespace bench
