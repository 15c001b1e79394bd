#include <gtest/gtest.h>

#include "runtime/api.h"
#include "runtime/command_ids.h"
#include "runtime/commands/core_commands.h"
#include "runtime/commands/window_commands.h"
#include "runtime/qt/qt_screen.h"
#include "runtime/qt/window_commands.h"
#include "runtime/screen.h"
#include "tests/commands/command_test_support.h"

namespace {

using namespace cmdtest;
namespace c = rt::commands;
namespace cmd = rt::cmd;
using rt::TypedValue;

class LibraryTables : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::qt::installQtScreen();
    const rt::Library* libraries[] = {&rt::coreLibrary(),  nullptr, nullptr, nullptr, &rt::shellLibrary(),
                                      &rt::timingLibrary()};
    rt::registerLibraries(libraries, 6);
  }
};

TEST_F(LibraryTables, EveryCommandSitsAtItsNumber) {
  const std::pair<cmd::Core, rt::CommandFn> expected[] = {
      {cmd::kRunProgram, c::RunProgram},
      {cmd::kLoadWindow, c::LoadWindow},
      {cmd::kTextLength, c::TextLength},
      {cmd::kProgramFolder, c::ProgramFolder},
      {cmd::kTextLeft, c::TextLeft},
      {cmd::kTextRight, c::TextRight},
      {cmd::kTextMid, c::TextMid},
      {cmd::kCharToText, c::CharToText},
      {cmd::kFindText, c::FindText},
      {cmd::kToInteger, c::ToInteger},
      {cmd::kReplaceText, c::ReplaceText},
      {cmd::kSplitText, c::SplitText},
      {cmd::kSpaces, c::Spaces},
      {cmd::kZeroBytes, c::ZeroBytes},
      {cmd::kToText, c::ToText},
      {cmd::kNow, c::Now},
      {cmd::kCurrentDirectory, c::CurrentDirectory},
      {cmd::kRemoveFile, c::RemoveFile},
      {cmd::kReadFileBytes, c::ReadFileBytes},
      {cmd::kOpenFile, c::OpenFile},
      {cmd::kSeekToEnd, c::SeekToEnd},
      {cmd::kWriteTextLine, c::WriteTextLine},
      {cmd::kShowMessage, c::ShowMessage},
      {cmd::kIsLoaded, c::IsLoaded},
      {cmd::kProcessEvents, c::ProcessEvents},
      {cmd::kUnloadWindow, c::UnloadWindow},
      {cmd::kFocusControl, c::FocusControl},
      {cmd::kShowPopupMenu, c::ShowPopupMenu},
      {cmd::kOpenDialog, c::OpenDialog},
      {cmd::kComboAddItem, c::ComboAddItem},
      {cmd::kComboClear, c::ComboClear},
      {cmd::kReadIniValue, c::ReadIniValue},
      {cmd::kObjectGetProperty, c::ObjectGetProperty},
      {cmd::kObjectSetProperty, c::ObjectSetProperty},
      {cmd::kObjectRelease, c::ObjectRelease},
  };
  ASSERT_EQ(std::size(expected), static_cast<size_t>(cmd::kCoreCount));
  EXPECT_EQ(rt::coreLibrary().commands.size(), static_cast<size_t>(cmd::kCoreCount));
  for (auto [number, routine] : expected) EXPECT_EQ(rt::findCommand(rt::lib::kCore, number), routine) << number;
  EXPECT_EQ(rt::findCommand(rt::lib::kCore, cmd::kCoreCount), nullptr);
  EXPECT_EQ(rt::findCommand(rt::lib::kShell, cmd::kShellOpen), c::ShellOpen);
  EXPECT_EQ(rt::findCommand(rt::lib::kTiming, cmd::kDelay), c::Delay);
  EXPECT_TRUE(rt::coreLibrary().kinds.empty());
}

// The window commands' routines are the screen layer's: without a screen
// they are commands the program does not have.
TEST_F(LibraryTables, WindowCommandsComeWithTheScreen) {
  rt::installScreen(nullptr);
  for (int32_t number : rt::kWindowCommands) EXPECT_EQ(rt::findCommand(rt::lib::kCore, number), nullptr) << number;
  EXPECT_EQ(rt::findCommand(rt::lib::kCore, cmd::kTextMid), c::TextMid);
  rt::qt::installQtScreen();
  EXPECT_EQ(rt::findCommand(rt::lib::kCore, cmd::kLoadWindow), c::LoadWindow);
  EXPECT_EQ(rt::findCommand(rt::lib::kCore, cmd::kComboClear), c::ComboClear);
}

TEST_F(LibraryTables, CallsThroughTheRegistry) {
  rt::CommandFn find = rt::findCommand(rt::lib::kCore, cmd::kFindText);
  ASSERT_NE(find, nullptr);
  EXPECT_EQ(call(find, {utf8("2008年5月"), utf8("月"), kOmitted, kOmitted}).asInt(), 8);
  rt::CommandFn mid = rt::findCommand(rt::lib::kCore, cmd::kTextMid);
  EXPECT_EQ(callText(mid, {text("abcdef"), TypedValue::ofInt(6), TypedValue::ofInt(5)}), "f");
  rt::CommandFn toText = rt::findCommand(rt::lib::kCore, cmd::kToText);
  EXPECT_EQ(callText(toText, {TypedValue::ofDateTime(3000000.0)}), gb("9999年12月31日"));
}

// A caller keeps the routine it was given; registering the libraries again
// (another program start in the same process) makes it ask again, so a
// library that now lacks the command is noticed.
void answerOne(TypedValue* result, int32_t, TypedValue*) { *result = TypedValue::ofInt(1); }
void answerTwo(TypedValue* result, int32_t, TypedValue*) { *result = TypedValue::ofInt(2); }

rt::Library libraryAnswering(rt::CommandFn routine) {
  rt::Library library;
  library.number = rt::lib::kTiming;
  library.commands.assign(1, routine);
  return library;
}

TEST(KeptRoutines, AreAskedForAgainAfterTheLibrariesAreRegisteredAgain) {
  const rt::CommandId first{rt::lib::kTiming, 0};
  auto registerOnly = [](const rt::Library& library) {
    const rt::Library* libraries[] = {&library};
    rt::registerLibraries(libraries, 1);
  };
  const rt::Library one = libraryAnswering(answerOne);
  const rt::Library two = libraryAnswering(answerTwo);
  const rt::Library none = libraryAnswering(nullptr);
  registerOnly(one);
  EXPECT_EQ(rt::api::callInt(first), 1);
  EXPECT_EQ(rt::api::callInt(first), 1);
  registerOnly(two);
  EXPECT_EQ(rt::api::callInt(first), 2);
  registerOnly(none);
  EXPECT_EQ(rt::api::commandRoutine(first), nullptr);
  registerOnly(rt::timingLibrary());  // the real library again, for the tests after this one
}

}  // namespace
