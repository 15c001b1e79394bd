// The command tables of the core (1), shell (5) and timing (6) libraries,
// indexed by the command numbers of command_ids.h.
#include "runtime/command_ids.h"
#include "runtime/commands/core_commands.h"
#include "runtime/commands/window_commands.h"
#include "runtime/library.h"

namespace rt {
namespace {

std::vector<CommandFn> coreCommands() {
  using namespace commands;
  std::vector<CommandFn> table(cmd::kCoreCount, nullptr);
  table[cmd::kRunProgram] = RunProgram;
  table[cmd::kLoadWindow] = LoadWindow;
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
  table[cmd::kShowMessage] = ShowMessage;
  table[cmd::kIsLoaded] = IsLoaded;
  table[cmd::kProcessEvents] = ProcessEvents;
  table[cmd::kUnloadWindow] = UnloadWindow;
  table[cmd::kFocusControl] = FocusControl;
  table[cmd::kShowPopupMenu] = ShowPopupMenu;
  table[cmd::kOpenDialog] = OpenDialog;
  table[cmd::kComboAddItem] = ComboAddItem;
  table[cmd::kComboClear] = ComboClear;
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

}  // namespace

// The unit kinds of the core library are visual and registered by the screen
// layer, so the table here carries none.
const Library& coreLibrary() {
  static const Library library{lib::kCore, "core", coreCommands(), {}, coreNotify};
  return library;
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
