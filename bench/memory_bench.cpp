// Peak resident memory with the whole registry listed: jx_memory_probe runs
// the program (start-up up to the shown, painted main window) in a process
// of its own and reports its peak; the baseline process keeps the same rows
// as strings read with direct SQLCipher calls.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/support/suite.h"

namespace bench {
namespace {

constexpr double kKbPerMb = 1024.0;
constexpr double kPeakMemoryTargetMb = 250;

std::filesystem::path probePath() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "jx_memory_probe";
}

// The probe's peak in megabytes.
double probePeakMb(const std::filesystem::path& folder, const char* mode) {
  std::string command = "'";
  command += probePath().string();
  command += "' '";
  command += folder.string();
  command += "' ";
  command += mode;
  command += " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) fail("cannot start " + command);
  long kb = -1;
  if (std::fscanf(pipe, "%ld", &kb) != 1) kb = -1;
  int status = pclose(pipe);
  if (kb <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) fail("the memory probe failed: " + command);
  return static_cast<double>(kb) / kKbPerMb;
}

void peakMemory(benchmark::State& state, int32_t learners, const char* mode) {
  const auto& folder = registryFolder(learners);
  double mb = 0;
  for (auto _ : state) state.SetIterationTime(secondsOf([&] { mb = probePeakMb(folder, mode); }));
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
      benchmark::RegisterBenchmark(name.c_str(), [learners, mode](benchmark::State& state) {
        peakMemory(state, learners, mode);
      })->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
    }
  }
  return true;
}();

}  // namespace
}  // namespace bench
