// Peak resident memory with the whole registry listed: jx_memory_probe runs
// the program (start-up up to the shown, painted main window) in a process
// of its own and reports its peak; the baseline process keeps the same rows
// as strings read with direct SQLCipher calls.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/support/peak_memory.h"
#include "bench/support/suite.h"

namespace bench {
namespace {

constexpr double kPeakMemoryTargetMb = 250;

void peakMemory(benchmark::State& state, int32_t learners, const char* mode) {
  const auto& folder = registryFolder(learners);
  double mb = 0;
  for (auto _ : state)
    state.SetIterationTime(secondsOf([&] { mb = probePeakMb("jx_memory_probe", {folder.string(), mode}); }));
  state.counters["value_mb"] = mb;
  if (std::string(mode) == "program") setTarget(state, learners, "mb", kPeakMemoryTargetMb);
}

[[maybe_unused]] const bool kRegistered = [] {
  for (int32_t learners : kSizes) {
    for (const char* mode : {"program", "baseline"}) {
      std::string name = "peak_memory";
      if (std::string(mode) == "baseline") name += "_baseline";
      name += '/';
      name += std::to_string(learners);
      benchmark::RegisterBenchmark(name.c_str(),
                                   [learners, mode](benchmark::State& state) { peakMemory(state, learners, mode); })
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond)
          ->Iterations(1);
    }
  }
  return true;
}();

}  // namespace
}  // namespace bench
