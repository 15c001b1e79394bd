// Entry operations, start-up, the run-time error report and the exit
// sequence; everything that ends the process runs in a child.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/windows/template_block.h"
#include "runtime/folder_lock.h"
#include "runtime/program_folder.h"
#include "runtime/qt/window_commands.h"
#include "tests/screen/screen_helpers.h"
#include "tests/support/temp_folder.h"

using namespace jxtest;

namespace {

// --- the call protocol ---

rt::TypedValue resultSeen;
void echoCommand(rt::TypedValue* result, int32_t count, rt::TypedValue* args) {
  resultSeen = *result;
  *result = rt::TypedValue::ofInt(count * 100 + args[1].asInt());
}

class EntryTest : public RuntimeTest {};

TEST_F(EntryTest, CommandsGetAZeroedResultAndTheirArguments) {
  rt::TypedValue args[2] = {rt::TypedValue{}, rt::TypedValue::ofInt(7)};
  rt::TypedValue result = rt::entries().CallCommand(&echoCommand, 2, args);
  EXPECT_EQ(resultSeen.low | resultSeen.high | resultSeen.tag, 0u);
  EXPECT_EQ(result.asInt(), 207);
  result = rt::entries().CallLibraryCommand(1, &echoCommand, 2, args);
  EXPECT_EQ(result.asInt(), 207);
}

TEST_F(EntryTest, CommandRoutinesAreFoundByLibraryAndNumber) {
  intptr_t showMessage = rt::entries().Service(rt::kServiceFindCommand, (rt::lib::kCore << 16) | rt::cmd::kShowMessage);
  EXPECT_EQ(showMessage, reinterpret_cast<intptr_t>(&rt::commands::ShowMessage));
  EXPECT_EQ(rt::entries().Service(rt::kServiceFindCommand, (rt::lib::kDatabase << 16) | rt::cmd::kOpenAccess), 0);
}

// --- ending the process ---

class ExitTest : public RuntimeTest {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RuntimeTest::SetUp();
    desktop().setPrintMessageBoxes(true);
  }
};

TEST_F(ExitTest, RunTimeErrorReportHasTheExactLayout) {
  loadMainWindow();
  desktop().setPrintMessageBoxes(false);
  desktop().setWhileMessageBox([](const MessageBoxCall& box) {
    const std::string expected =
        "运行时出错!\r\n"
        "\r\n错误代码：4\r\n"
        "\r\n错误信息：数组成员引用下标必须大于等于1\r\n"
        "\r\n1375797275, 369171754\r\n\"\"\r\n\"编辑框1\"\r\n";
    bool exact = box.text == expected && box.caption == "错误" && box.style == (rt::mb::kOk | rt::mb::kIconStop);
    std::fprintf(stderr, exact ? "exact report\n" : "report differs:\n%s\n", box.text.c_str());
  });
  EXPECT_EXIT(rt::entries().ReportError(rt::kErrorIndexBelowOne, static_cast<int32_t>(ui::kMainWindow),
                                        static_cast<int32_t>(ui::编辑框1.id)),
              ::testing::ExitedWithCode(255), "exact report");
}

TEST_F(ExitTest, LocationNamesAMissingWindowOrUnit) {
  EXPECT_EXIT(rt::entries().ReportError(rt::kErrorStackAfterDll, 0x52000001, 0), ::testing::ExitedWithCode(255),
              "1375731713, 0\r\n未找到所指定的窗口\r\n");
  EXPECT_EXIT(rt::entries().ReportError(rt::kErrorStackAfterDll, static_cast<int32_t>(ui::kMainWindow),
                                        static_cast<int32_t>(ui::菜单删除学员.id)),
              ::testing::ExitedWithCode(255), "\"\"\r\n未找到所指定的窗口组件\r\n");
}

TEST_F(ExitTest, DamagedTemplateBlockAndMissingStartWindowAreFatal) {
  EXPECT_EXIT(
      {
        rt::ProgramHeader header{};
        header.codeBase = handlers().table();
        header.templateBlock = app::kTemplateBlock;
        header.templateBlockSize = app::kTemplateBlockSize / 2;
        rt::entries().Service(rt::kServiceStartUp, reinterpret_cast<intptr_t>(&header));
      },
      ::testing::ExitedWithCode(255), "载入窗口模板数据段出错!");
  EXPECT_EXIT(rt::entries().LoadStartWindow(0x52000001), ::testing::ExitedWithCode(255), "载入启动窗口失败");
}

// Start-up on the program's own templates, no library.
void startUpOnTheTemplates() {
  static rt::ProgramHeader header{};
  header.codeBase = RecordingHandlers::instance().table();
  header.templateBlock = app::kTemplateBlock;
  header.templateBlockSize = app::kTemplateBlockSize;
  rt::entries().Service(rt::kServiceStartUp, reinterpret_cast<intptr_t>(&header));
}

// The child of a death test runs the case again, with a folder of its own.
TEST_F(ExitTest, StartUpEntersTheFolderTheProgramChoseOnceTheDesktopIsUp) {
  EXPECT_EXIT(
      {
        TempFolder chosen("jx-chosen");
        std::filesystem::permissions(chosen.path(), std::filesystem::perms::owner_all);
        const std::string folder = chosen.path().string();
        rt::setProgramFolder("");
        rt::setDesktop(nullptr);
        rt::setProgramFolderChoice([folder]() -> std::optional<std::string> {
          std::fprintf(stderr, "asked, desktop %s\n", rt::hasDesktop() ? "up" : "missing");
          return folder;
        });
        umask(022);
        startUpOnTheTemplates();
        bool entered = rt::gbToUtf8(rt::programFolder()) == folder && std::filesystem::current_path() == folder;
        // Held for the run like any program folder: a restore is refused.
        bool busy = false;
        bool held =
            !rt::FolderLock::take(folder, rt::FolderLock::Kind::kExclusive, rt::FolderLock::Wait::kNo, &busy) && busy;
        std::fprintf(stderr, "entered %s, held %s, umask %03o\n", entered ? "yes" : "no", held ? "yes" : "no",
                     umask(0));
        std::exit(3);
      },
      ::testing::ExitedWithCode(3), ::testing::HasSubstr("asked, desktop up\nentered yes, held yes, umask 077\n"));
}

TEST_F(ExitTest, NoFolderChosenEndsTheProgramWithStatusZeroBeforeAnyWindow) {
  EXPECT_EXIT(
      {
        rt::setProgramFolderChoice([]() -> std::optional<std::string> { return std::nullopt; });
        startUpOnTheTemplates();
        std::fprintf(stderr, "went on\n");
        std::exit(3);
      },
      ::testing::ExitedWithCode(0), ::testing::Not(::testing::HasSubstr("went on")));
}

void reportThread(int32_t index) {
  bool onGui = QThread::currentThread() == qApp->thread();
  std::fprintf(stderr, "exit routine %d on the GUI thread: %d\n", index, onGui ? 1 : 0);
}

TEST_F(ExitTest, ExitFromAnotherThreadRunsOnTheGuiThread) {
  EXPECT_EXIT(
      {
        rt::entries().Service(rt::kServiceRegisterExitRoutine, reinterpret_cast<intptr_t>(&reportThread));
        loadMainWindow();
        std::thread([] { rt::entries().ExitProgram(7); }).detach();
        rt::entries().RunMessageLoop();
      },
      ::testing::ExitedWithCode(7), "exit routine 0 on the GUI thread: 1");
}

TEST_F(ExitTest, ClosingTheMainWindowEndsTheProgramWithStatusZero) {
  EXPECT_EXIT(
      {
        rt::entries().Service(rt::kServiceRegisterExitRoutine, reinterpret_cast<intptr_t>(&reportThread));
        rt::entries().Service(rt::kServiceRegisterExitRoutine, reinterpret_cast<intptr_t>(&reportThread));
        loadMainWindow();
        QTimer::singleShot(0, [] { loadedWindow(kMainWindowId)->frame()->close(); });
        rt::entries().RunMessageLoop();
        rt::entries().ExitProgram(0);
      },
      ::testing::ExitedWithCode(0), "exit routine 0 on the GUI thread: 1\n$");
}

}  // namespace
