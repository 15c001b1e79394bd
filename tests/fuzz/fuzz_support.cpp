// Linked into every fuzz target. A fatal run-time error ends the run as a
// finding: no input the fuzzer makes may reach one. The hook turns the
// runtime's report (a message box, then the exit sequence) into an abort
// that the fuzzer reports with the input and the stack.
#include <cstdio>
#include <cstdlib>

#include "runtime/encoding.h"
#include "runtime/error.h"

namespace {

int32_t abortOnRunTimeError(const char* messageGb, int32_t code) {
  std::fprintf(stderr, "fatal run-time error %d: %s\n", code, rt::gbToUtf8(messageGb ? messageGb : "").c_str());
  std::abort();
}

[[maybe_unused]] const bool hookInstalled = (rt::setErrorHook(&abortOnRunTimeError), true);

}  // namespace
