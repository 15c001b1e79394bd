// The fatal run-time error report and the exit sequence.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rt {

// Codes of the runtime's error table that the application raises.
inline constexpr int32_t kErrorIndexAboveRange = 1;
inline constexpr int32_t kErrorIndexBelowOne = 4;
inline constexpr int32_t kErrorStackAfterDll = 6;

// The message of a code of the runtime's error table (1-11); empty for others.
std::string errorMessageOf(int32_t code);

// Reports a fatal run-time error (message in GB18030) located by two numbers:
// a window id and a unit id where one is known. Never returns.
[[noreturn]] void RunTimeError(std::string_view messageGb, int32_t code, uint32_t positionA, uint32_t positionB);
// The same for a message written in UTF-8 source text.
[[noreturn]] void fatalUtf8(std::string_view messageUtf8, uint32_t positionA = 0, uint32_t positionB = 0);

// The location text of a report: "\r\n%d, %d", then the window and unit names.
std::string locationText(uint32_t positionA, uint32_t positionB);

// The optional hook: a non-zero return means the report was handled.
using ErrorHook = int32_t (*)(const char* messageGb, int32_t code);
void setErrorHook(ErrorHook hook);

// Event blocking: while the counter is above zero no event is dispatched.
int32_t eventBlockCounter();
void blockEvents();
void unblockEvents();

// Exit routines and the exit sequence (status 255 for the -1 of a fatal error).
void registerExitRoutine(void (*routine)(int32_t index));
[[noreturn]] void ExitProgram(int32_t code);
bool exitStarted();

}  // namespace rt
