// Peak resident memory measured in a process of its own: a probe program
// (bench/support/*_memory_probe.cpp) does one thing and prints its peak,
// and the benchmark beside it starts the probe and reads that number, so
// that nothing else the benchmark did counts.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

#include "bench/support/registry.h"

namespace bench {

inline constexpr double kKbPerMb = 1024.0;

// In the probe: this process's peak (VmHWM) in kilobytes, -1 when unknown.
inline long peakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

// In the probe: prints the peak for the benchmark and ends at once (tearing
// the program down would only add time).
[[noreturn]] inline void reportPeakAndExit() {
  std::printf("%ld\n", peakResidentKb());
  std::fflush(stdout);
  std::_Exit(0);
}

// In the benchmark: runs the probe program of that name (beside the
// benchmark's executable) with the arguments and answers its peak in
// megabytes; a probe that fails ends the benchmark run.
inline double probePeakMb(const char* probe, std::initializer_list<std::string> arguments) {
  // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about a
  // literal put before a temporary string.
  std::string command = "'";
  command += (std::filesystem::read_symlink("/proc/self/exe").parent_path() / probe).string();
  command += "'";
  for (const std::string& argument : arguments) command.append(" '").append(argument).append("'");
  command += " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) fail("cannot start " + command);
  long kb = -1;
  if (std::fscanf(pipe, "%ld", &kb) != 1) kb = -1;
  int status = pclose(pipe);
  if (kb <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) fail("the memory probe failed: " + command);
  return static_cast<double>(kb) / kKbPerMb;
}

}  // namespace bench
