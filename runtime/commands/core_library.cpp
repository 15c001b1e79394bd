// The command tables of the core (1), shell (5) and timing (6) libraries,
// indexed by the command numbers of command_ids.h.
#include "runtime/command_ids.h"
#include "runtime/commands/core_commands.h"
#include "runtime/commands/window_commands.h"
#include "runtime/entry.h"
#include "runtime/library.h"
#include "runtime/screen.h"

namespace rt {
namespace {

std::vector<CommandFn> coreCommands() {
  using namespace commands;
  // The window commands' slots are filled when a screen is installed.
  std::vector<CommandFn> table(cmd::kCoreCount, nullptr);
  table[cmd::kRunProgram] = RunProgram;
  table[cmd::kTextLength] = TextLength;
  table[cmd::kProgramFolder] = ProgramFolder;
  table[cmd::kTextLeft] = TextLeft;
  table[cmd::kTextRight] = TextRight;
  table[cmd::kTextMid] = TextMid;
  table[cmd::kCharToText] = CharToText;
  table[cmd::kFindText] = FindText;
  table[cmd::kToInteger] = ToInteger;
  table[cmd::kReplaceText] = ReplaceText;
  table[cmd::kSplitText] = SplitText;
  table[cmd::kSpaces] = Spaces;
  table[cmd::kZeroBytes] = ZeroBytes;
  table[cmd::kToText] = ToText;
  table[cmd::kNow] = Now;
  table[cmd::kCurrentDirectory] = CurrentDirectory;
  table[cmd::kRemoveFile] = RemoveFile;
  table[cmd::kReadFileBytes] = ReadFileBytes;
  table[cmd::kOpenFile] = OpenFile;
  table[cmd::kSeekToEnd] = SeekToEnd;
  table[cmd::kWriteTextLine] = WriteTextLine;
  table[cmd::kReadIniValue] = ReadIniValue;
  table[cmd::kObjectGetProperty] = ObjectGetProperty;
  table[cmd::kObjectSetProperty] = ObjectSetProperty;
  table[cmd::kObjectRelease] = ObjectRelease;
  return table;
}

// Shutdown closes the files the program left open.
void coreNotify(int32_t code) {
  if (code == kNotifyShutdown) commands::closeAllFiles();
}

// The unit kinds of the core library are visual and registered by the screen
// layer, so the table here carries none.
Library& coreLibraryTable() {
  static Library library{lib::kCore, "core", coreCommands(), {}, coreNotify};
  return library;
}

}  // namespace

const Library& coreLibrary() { return coreLibraryTable(); }

void attachWindowCommands(Screen& screen) {
  std::vector<CommandFn>& table = coreLibraryTable().commands;
  for (int32_t number : kWindowCommands) table[static_cast<size_t>(number)] = screen.windowCommand(number);
  // Routines kept by callers may have changed.
  libraryRegistrations.fetch_add(1, std::memory_order_release);
}

static_assert(cmd::kShellOpen == 0 && cmd::kShellCount == 1 && cmd::kDelay == 0 && cmd::kTimingCount == 1,
              "the shell and timing tables below list their commands in number order");

const Library& shellLibrary() {
  static const Library library{lib::kShell, "shell", {commands::ShellOpen}, {}, nullptr};
  return library;
}

const Library& timingLibrary() {
  static const Library library{lib::kTiming, "timing", {commands::Delay}, {}, nullptr};
  return library;
}

}  // namespace rt
