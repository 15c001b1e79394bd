// 学员管理 > 导入数据 through the real main window into a folder with an
// empty registry, from the menu choice to the last message: the open dialog
// answered, the file read and every row checked (identity numbers, the
// duplicates in the file and in the registry), the question confirmed, every
// learner inserted in one transaction with the progress window, one log
// entry each, the list refilled. The file holds the registry's learners
// under the export's headers, as .xlsx (learner_import) and as CSV
// (learner_import_csv). The baseline inserts the same rows with one prepared
// SQLCipher statement in one transaction. The admin tool's import reads,
// checks and inserts the .xlsx (admin_import) or the CSV (admin_import_csv)
// without a window.
// learner_import_memory is the peak resident memory of the import through
// the window in a process of its own (jx_import_memory_probe).
#include <benchmark/benchmark.h>

#include "bench/support/learner_import.h"
#include "bench/support/peak_memory.h"
#include "bench/support/suite.h"
#include "tools/import_learners.h"

namespace bench {
namespace {

namespace fs = std::filesystem;
namespace li = learner_import;

constexpr double kTimeRatioTarget = 2;
constexpr double kPeakMemoryTargetMb = 400;

void importThroughWindow(benchmark::State& state, int32_t learners, const std::string& extension) {
  const fs::path& file = li::sourceFile(learners, extension);
  const fs::path& folder = li::emptyFolder("program");
  ensureProgram(folder);
  showPage(0);
  for (auto _ : state) {
    state.SetIterationTime(secondsOf([&] { li::importThroughWindow(file, learners); }));
    requireRows("the student list after the import", rowCount(ui::超级列表框1), learners);
    li::emptyRegistry(folder);
  }
  setTarget(state, learners, "ratio", kTimeRatioTarget);
}

void importWithAdminTool(benchmark::State& state, int32_t learners, const std::string& extension) {
  const fs::path& file = li::sourceFile(learners, extension);
  const fs::path& folder = li::emptyFolder("admin");
  for (auto _ : state) {
    admin::ImportOutcome outcome;
    state.SetIterationTime(secondsOf([&] { outcome = admin::importLearners({folder, file, false}); }));
    if (outcome.learners != static_cast<size_t>(learners)) fail("the admin import said: " + outcome.message);
    li::deleteDirectly(folder);
  }
}

void insertDirectly(benchmark::State& state, int32_t learners) {
  li::Rows rows = li::registryRows(registryFolder(learners));
  const fs::path& folder = li::emptyFolder("baseline");
  for (auto _ : state) {
    state.SetIterationTime(secondsOf([&] { li::insertDirectly(folder, rows); }));
    li::deleteDirectly(folder);
  }
}

void peakMemory(benchmark::State& state, int32_t learners, const std::string& mode) {
  const fs::path& file = li::sourceFile(learners, "xlsx");
  const fs::path& folder = li::emptyFolder("memory-" + mode);
  const std::string source = mode == "program" ? file.string() : registryFolder(learners).string();
  double mb = 0;
  for (auto _ : state) {
    state.SetIterationTime(secondsOf([&] {
      mb = probePeakMb("jx_import_memory_probe", {mode, folder.string(), source, std::to_string(learners)});
    }));
    li::deleteDirectly(folder);
  }
  state.counters["value_mb"] = mb;
  if (mode == "program") setTarget(state, learners, "mb", kPeakMemoryTargetMb);
}

[[maybe_unused]] const bool kRegistered = [] {
  for (int32_t learners : kSizes) {
    addBenchmark("learner_import", learners, [](benchmark::State& s, int32_t n) { importThroughWindow(s, n, "xlsx"); });
    addBenchmark("learner_import_baseline", learners, insertDirectly);
    addBenchmark("learner_import_csv", learners,
                 [](benchmark::State& s, int32_t n) { importThroughWindow(s, n, "csv"); });
    addBenchmark("learner_import_csv_baseline", learners, insertDirectly);
    addBenchmark("admin_import", learners, [](benchmark::State& s, int32_t n) { importWithAdminTool(s, n, "xlsx"); });
    addBenchmark("admin_import_baseline", learners, insertDirectly);
    addBenchmark("admin_import_csv", learners,
                 [](benchmark::State& s, int32_t n) { importWithAdminTool(s, n, "csv"); });
    addBenchmark("admin_import_csv_baseline", learners, insertDirectly);
    addBenchmark("learner_import_memory", learners, [](benchmark::State& s, int32_t n) {
      peakMemory(s, n, "program");
    })->Iterations(1);
    addBenchmark("learner_import_memory_baseline", learners, [](benchmark::State& s, int32_t n) {
      peakMemory(s, n, "direct");
    })->Iterations(1);
  }
  return true;
}();

}  // namespace
}  // namespace bench
