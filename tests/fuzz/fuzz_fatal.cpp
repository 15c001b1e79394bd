// In a fuzz build a fatal run-time error ends the run as a finding: no input
// the fuzzer can make (at most a few kilobytes) may reach one.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/error.h"

namespace rt {

[[noreturn]] void RunTimeError(std::string_view messageGb, int32_t code, uint32_t, uint32_t) {
  std::fprintf(stderr, "fatal run-time error %d: %.*s\n", code, static_cast<int>(messageGb.size()), messageGb.data());
  std::abort();
}

[[noreturn]] void fatalUtf8(std::string_view messageUtf8, uint32_t, uint32_t) {
  std::fprintf(stderr, "fatal run-time error: %.*s\n", static_cast<int>(messageUtf8.size()), messageUtf8.data());
  std::abort();
}

}  // namespace rt
