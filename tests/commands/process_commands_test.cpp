#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "runtime/commands/core_commands.h"
#include "runtime/desktop.h"
#include "runtime/encoding.h"
#include "runtime/qt/qt_screen.h"
#include "runtime/screen.h"
#include "tests/commands/command_test_support.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace cmdtest;
using jxtest::TempFolder;
namespace c = rt::commands;
using rt::TypedValue;
using Words = std::vector<std::string>;

Words split(std::string_view line) {
  Words words;
  EXPECT_TRUE(c::splitCommandLine(line, words)) << line;
  return words;
}

TEST(SplitCommandLine, QuotesAndBackslashesAsAShellReadsThem) {
  EXPECT_EQ(split("taskkill -f -im EXCEL.EXE"), (Words{"taskkill", "-f", "-im", "EXCEL.EXE"}));
  EXPECT_EQ(split("  a\t b  "), (Words{"a", "b"}));
  EXPECT_EQ(split("echo 'a  b' \"c \\\" d\" e\\ f"), (Words{"echo", "a  b", "c \" d", "e f"}));
  EXPECT_EQ(split("x '' \"\""), (Words{"x", "", ""}));
  EXPECT_EQ(split("'it'\\''s'"), (Words{"it's"}));
  EXPECT_EQ(split("\"a\\nb\" 'c\\d'"), (Words{"a\\nb", "c\\d"}));
  EXPECT_EQ(split("tail\\"), (Words{"tail\\"}));
  EXPECT_EQ(split(""), Words{});
  Words unclosed;
  EXPECT_FALSE(c::splitCommandLine("say 'oops", unclosed));
  EXPECT_FALSE(c::splitCommandLine("say \"oops", unclosed));
}

TEST(SplitCommandLine, DoubleByteCharactersStayWhole) {
  // 81 5C has a backslash as its second byte, 81 60 a backquote, 81 27 nothing special.
  EXPECT_EQ(split("\x81\x5C a"), (Words{"\x81\x5C", "a"}));
  EXPECT_EQ(split("\"\x81\x5C\" '\x81\x5C'"), (Words{"\x81\x5C", "\x81\x5C"}));
  EXPECT_EQ(split("\\\x81\x5C"), (Words{"\x81\x5C"}));
  EXPECT_EQ(split("x\xB0"), (Words{"x\xB0"}));
}

bool run(const std::string& lineGb, bool wait) {
  return call(c::RunProgram, {text(lineGb), TypedValue::ofBool(wait), kOmitted}).asBool();
}

// Zombie children of this process (state Z with us as parent).
int zombieChildren() {
  int zombies = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int parent = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == getpid() && state == 'Z')
      ++zombies;
  }
  return zombies;
}

TEST(RunProgram, StartsRealProcessesAndWaits) {
  EXPECT_TRUE(run("/bin/true", true));
  EXPECT_TRUE(run("sh -c 'exit 3'", true));
  EXPECT_FALSE(run("/nonexistent/program", true));
  EXPECT_FALSE(run("   ", true));
  EXPECT_FALSE(run("sh -c 'exit", true));
  EXPECT_FALSE(call(c::RunProgram, {text(""), kOmitted, kOmitted}).asBool());
}

TEST(RunProgram, QuotedArgumentsReachTheChildAsUtf8) {
  TempFolder folder;
  std::string out = folder.file("out");
  std::string line = "sh -c 'printf %s \"$1\" > \"$2\"' sh \"" + gb("学员") + " a  b\" " + out;
  ASSERT_TRUE(run(line, true));
  EXPECT_EQ(TempFolder::read(out), "学员 a  b");
}

TEST(RunProgram, WithoutWaitingTheChildRunsOnAndIsReaped) {
  TempFolder folder;
  std::string flag = folder.file("done");
  ASSERT_TRUE(run("sh -c 'sleep 1; : > " + flag + "'", false));
  EXPECT_FALSE(std::filesystem::exists(flag)) << "the command returned before the child finished";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((!std::filesystem::exists(flag) || zombieChildren() > 0) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(std::filesystem::exists(flag));
  EXPECT_EQ(zombieChildren(), 0);
}

// Records what the shell was asked to open.
class RecordingDesktop : public rt::Desktop {
 public:
  struct Request {
    std::string verb, file, parameters, folder;
    int32_t show;
  };
  std::vector<Request> requests;

  rt::PressedButton messageBox(const std::string&, const std::string&, uint32_t, void*) override {
    return rt::PressedButton::Ok;
  }
  bool fileDialog(const rt::FileDialogRequest&, std::string&) override { return false; }
  int32_t popupMenu(const std::vector<rt::PopupEntry>&, int32_t, int32_t) override { return 0; }
  void cursorPosition(int32_t& x, int32_t& y) override { x = y = 0; }
  void shellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                    const std::string& folder, int32_t show) override {
    requests.push_back({verb, file, parameters, folder, show});
  }
  void beep(uint32_t, uint32_t) override {}
};

class ShellOpen : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = rt::hasDesktop() ? &rt::desktop() : nullptr;
    rt::setDesktop(&recorder);
  }
  void TearDown() override { rt::setDesktop(previous); }

  RecordingDesktop::Request open(std::vector<TypedValue> args) {
    recorder.requests.clear();
    call(c::ShellOpen, std::move(args));
    EXPECT_EQ(recorder.requests.size(), 1u);
    return recorder.requests.empty() ? RecordingDesktop::Request{} : recorder.requests.back();
  }

  RecordingDesktop recorder;
  rt::Desktop* previous = nullptr;
};

TEST_F(ShellOpen, OperationsBecomeVerbs) {
  const char* verbs[] = {"", "edit", "explore", "find", "open", "print", ""};
  for (int32_t operation = 0; operation <= 6; ++operation)
    EXPECT_EQ(open({TypedValue::ofInt(operation), text("f"), kOmitted, kOmitted, kOmitted}).verb, verbs[operation]);
  EXPECT_EQ(open({kOmitted, text("f"), kOmitted, kOmitted, kOmitted}).verb, "");
  EXPECT_EQ(open({TypedValue::ofInt(-4), text("f"), kOmitted, kOmitted, kOmitted}).verb, "");
}

TEST_F(ShellOpen, TextsPassUnchanged) {
  RecordingDesktop::Request r =
      open({TypedValue::ofInt(4), utf8("C:\\程序\\log.log"), text("-x"), utf8("目录"), kOmitted});
  EXPECT_EQ(r.file, gb("C:\\程序\\log.log"));
  EXPECT_EQ(r.parameters, "-x");
  EXPECT_EQ(r.folder, gb("目录"));
  RecordingDesktop::Request bare = open({kOmitted, text("f"), kOmitted, kOmitted, kOmitted});
  EXPECT_EQ(bare.parameters, "");
  EXPECT_EQ(bare.folder, "");
}

TEST_F(ShellOpen, StylesMapToShowCommandsOnlyWhenPassed) {
  const int32_t expected[] = {1, 0, 1, 2, 3, 8, 6, 1};  // styles 0..7
  for (int32_t style = 0; style <= 7; ++style)
    EXPECT_EQ(open({TypedValue::ofInt(4), text("f"), kOmitted, kOmitted, TypedValue::ofInt(style)}).show,
              expected[style])
        << style;
  EXPECT_EQ(open({TypedValue::ofInt(4), text("f"), kOmitted, kOmitted, kOmitted}).show, 1);
  // With four parameters passed the style is not looked at.
  EXPECT_EQ(open({TypedValue::ofInt(4), text("f"), kOmitted, kOmitted}).show, 1);
}

TEST(Delay, KeepsEventsRunningUntilTheTimeHasPassed) {
  int argc = 1;
  char name[] = "commands_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  // The events a delay keeps running are the screen's.
  rt::qt::installQtScreen();
  bool fired = false;
  QTimer::singleShot(5, [&fired] { fired = true; });
  uint64_t start = rt::tickCount();
  call(c::Delay, {TypedValue::ofInt(40)});
  EXPECT_GE(rt::tickCount() - start, 40u);
  EXPECT_TRUE(fired);

  bool firedWithoutDelay = false;
  QTimer::singleShot(0, [&firedWithoutDelay] { firedWithoutDelay = true; });
  call(c::Delay, {TypedValue::ofInt(0)});
  call(c::Delay, {TypedValue::ofInt(INT32_MIN)});
  EXPECT_FALSE(firedWithoutDelay) << "no event is processed for a delay of 0";
}

}  // namespace
