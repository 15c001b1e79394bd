// The window and control commands with their rules.
#include <gtest/gtest.h>
#include <QTest>
#include <QTimer>

#include "tests/screen/screen_helpers.h"

using namespace jxtest;
using rt::api::callBool;
using rt::api::callInt;
using rt::api::omitted;
namespace cmd = rt::cmd;
namespace prop = rt::prop;

namespace {

bool isLoaded(const rt::api::Unit& unit) { return callBool(cmd::core(cmd::kIsLoaded), unit); }
bool loadWindow(const rt::api::Unit& window) { return callBool(cmd::core(cmd::kLoadWindow), window); }

class WindowCommandsTest : public RuntimeTest {};

TEST_F(WindowCommandsTest, LoadWindowMakesOneCopyAndRefusesAnOwnerNotLoaded) {
  EXPECT_FALSE(callBool(cmd::core(cmd::kLoadWindow), ui::进度窗口, ui::主窗口));
  EXPECT_FALSE(isLoaded(ui::进度窗口));
  EXPECT_EQ(handlers().count(handler::onProgressWindowCreated), 0);

  loadMainWindow();
  EXPECT_TRUE(callBool(cmd::core(cmd::kLoadWindow), ui::进度窗口, ui::主窗口));
  EXPECT_TRUE(loadWindow(ui::进度窗口));
  EXPECT_EQ(handlers().count(handler::onProgressWindowCreated), 1);
  QWidget* progress = loadedWindow(kProgressWindowId)->frame();
  EXPECT_EQ(progress->parentWidget(), loadedWindow(kMainWindowId)->frame());
  EXPECT_TRUE(progress->isVisible());
}

TEST_F(WindowCommandsTest, UnloadIsDeferredUnlessImmediateAndAClosingWindowIsCreatedAnew) {
  loadMainWindow();
  ASSERT_TRUE(loadWindow(ui::进度窗口));
  callCore(cmd::kUnloadWindow, ui::进度窗口);
  EXPECT_TRUE(isLoaded(ui::进度窗口));
  // Loading it again while it closes makes a fresh window that the pending
  // close request leaves alone.
  EXPECT_TRUE(loadWindow(ui::进度窗口));
  EXPECT_EQ(handlers().count(handler::onProgressWindowCreated), 2);
  settle();
  EXPECT_TRUE(isLoaded(ui::进度窗口));

  callCore(cmd::kUnloadWindow, ui::进度窗口);
  settle();
  EXPECT_FALSE(isLoaded(ui::进度窗口));
  EXPECT_FALSE(isLoaded(ui::进度条1));

  ASSERT_TRUE(loadWindow(ui::进度窗口));
  callCore(cmd::kUnloadWindow, ui::进度窗口, true);
  EXPECT_FALSE(isLoaded(ui::进度窗口));
  EXPECT_TRUE(isLoaded(ui::主窗口));
}

TEST_F(WindowCommandsTest, AHandlerMayCloseItsOwnWindowAtOnce) {
  loadMainWindow();
  handlers().onCall(handler::onAddClicked, [](const rt::EventArgs&) {
    callCore(cmd::kUnloadWindow, ui::主窗口, true);
    return 0;
  });
  QTest::mouseClick(widgetOf(ui::添加), Qt::LeftButton);
  EXPECT_FALSE(isLoaded(ui::主窗口));
  settle();
  EXPECT_EQ(rt::WindowManager::instance().loadedCount(), 0u);
}

TEST_F(WindowCommandsTest, IsLoadedLooksAtWindowsAndControlsOnly) {
  EXPECT_FALSE(isLoaded(ui::主窗口));
  EXPECT_FALSE(isLoaded(ui::编辑框1));
  loadMainWindow();
  EXPECT_TRUE(isLoaded(ui::主窗口));
  EXPECT_TRUE(isLoaded(ui::编辑框1));
  EXPECT_TRUE(isLoaded(ui::超级列表框2));
  EXPECT_FALSE(isLoaded(ui::通用对话框_公用));
  EXPECT_FALSE(isLoaded(ui::菜单删除学员));
}

TEST_F(WindowCommandsTest, MessageLoopEndsWithTheLastWindow) {
  rt::entries().RunMessageLoop();  // nothing open: returns at once
  loadMainWindow();
  ASSERT_TRUE(loadWindow(ui::进度窗口));
  QTimer::singleShot(0, [] { callCore(cmd::kUnloadWindow, ui::进度窗口); });
  QTimer::singleShot(10, [] { callCore(cmd::kUnloadWindow, ui::主窗口); });
  rt::entries().RunMessageLoop();
  EXPECT_EQ(rt::WindowManager::instance().loadedCount(), 0u);
}

TEST_F(WindowCommandsTest, ClosingTheStartWindowTakesTheOthersAndEndsTheLoop) {
  loadMainWindow();
  ASSERT_TRUE(loadWindow(ui::进度窗口));
  QTimer::singleShot(0, [] { loadedWindow(kMainWindowId)->frame()->close(); });
  rt::entries().RunMessageLoop();
  EXPECT_FALSE(isLoaded(ui::进度窗口));
  EXPECT_FALSE(isLoaded(ui::主窗口));
}

TEST_F(WindowCommandsTest, IdleRoutinesRunNewestFirstWhileTheirWindowLives) {
  loadMainWindow();
  ASSERT_TRUE(loadWindow(ui::进度窗口));
  static std::vector<int> order;
  static bool progressClosing, mainClosing;
  order.clear();
  progressClosing = mainClosing = false;
  // The routines themselves close the windows, one idle turn apart, so the
  // order does not depend on how fast the machine is: the progress window
  // goes after its routine's first turn, the main window once its routine
  // has run again without the progress window's.
  rt::registerIdleRoutine(
      kMainWindowId,
      [](intptr_t) {
        order.push_back(1);
        if (isLoaded(ui::进度窗口) || mainClosing) return;
        mainClosing = true;
        QTimer::singleShot(0, [] { callCore(cmd::kUnloadWindow, ui::主窗口); });
      },
      0);
  rt::registerIdleRoutine(
      kProgressWindowId,
      [](intptr_t argument) {
        order.push_back(static_cast<int>(argument));
        if (progressClosing) return;
        progressClosing = true;
        QTimer::singleShot(0, [] { callCore(cmd::kUnloadWindow, ui::进度窗口); });
      },
      2);
  rt::entries().RunMessageLoop();
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order[0], 2);
  EXPECT_EQ(order[1], 1);
  EXPECT_EQ(order.back(), 1);  // the progress window's routine went with it
}

TEST_F(WindowCommandsTest, FocusControlGivesTheFieldTheKeyboard) {
  loadMainWindow();
  QWidget* frame = loadedWindow(kMainWindowId)->frame();
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
  callCore(cmd::kFocusControl, ui::编辑框2);
  EXPECT_TRUE(widgetOf(ui::编辑框2)->hasFocus());
}

TEST_F(WindowCommandsTest, OpenDialogShowsTheFileDialogOfTheControl) {
  loadMainWindow();
  rt::api::writeInt(ui::通用对话框_公用, prop::kDialogType, rt::kDialogSaveFile);
  desktop().answerFileDialog("/tmp/学员.xlsx");
  EXPECT_TRUE(callBool(cmd::core(cmd::kOpenDialog), ui::通用对话框_公用));
  ASSERT_EQ(desktop().fileDialogs().size(), 1u);
  const FileDialogCall& dialog = desktop().fileDialogs()[0];
  EXPECT_TRUE(dialog.save);
  EXPECT_EQ(dialog.filter, "Excel表格（*.xls;*.xlsx）|*.xlsx;*.xls||");
  EXPECT_EQ(dialog.filterIndex, 1);
  EXPECT_EQ(utf8(rt::api::readText(ui::通用对话框_公用, prop::kDialogFileName)), "/tmp/学员.xlsx");

  desktop().cancelFileDialog();
  EXPECT_FALSE(callBool(cmd::core(cmd::kOpenDialog), ui::通用对话框_公用));
  EXPECT_EQ(utf8(rt::api::readText(ui::通用对话框_公用, prop::kDialogFileName)), "/tmp/学员.xlsx");

  rt::api::writeInt(ui::通用对话框_公用, prop::kDialogType, 3);  // help: no file dialog
  EXPECT_FALSE(callBool(cmd::core(cmd::kOpenDialog), ui::通用对话框_公用));
  EXPECT_EQ(desktop().fileDialogs().size(), 2u);
}

TEST_F(WindowCommandsTest, ShowMessageCaptionStyleOwnerAndAnswers) {
  loadMainWindow();
  EXPECT_EQ(callInt(cmd::core(cmd::kShowMessage), "添加记录成功！"_gb, 0, omitted), 0);
  EXPECT_EQ(callInt(cmd::core(cmd::kShowMessage), 5, 0x10, "错误"_gb, ui::主窗口), 0);
  EXPECT_EQ(callInt(cmd::core(cmd::kShowMessage), true, 0x1000, omitted, 7), 0);
  ASSERT_EQ(desktop().messageBoxes().size(), 3u);
  const auto& boxes = desktop().messageBoxes();
  EXPECT_EQ(boxes[0].text, "添加记录成功！");
  EXPECT_EQ(boxes[0].caption, "信息：");
  EXPECT_EQ(boxes[0].style, 0x2000u);
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_EQ(boxes[1].text, "5");
  EXPECT_EQ(boxes[1].caption, "错误");
  EXPECT_EQ(boxes[1].style, 0x2010u);
  EXPECT_EQ(boxes[1].owner, loadedWindow(kMainWindowId)->frame());
  EXPECT_EQ(boxes[2].text, "真");
  EXPECT_EQ(boxes[2].style, 0x1000u);  // system-modal stays as it is
  EXPECT_EQ(boxes[2].owner, nullptr);  // numeric handles own nothing here

  desktop().answerMessageBox(rt::PressedButton::Yes);
  desktop().answerMessageBox(rt::PressedButton::No);
  desktop().answerMessageBox(rt::PressedButton::Cancel);
  desktop().answerMessageBox(rt::PressedButton::Retry);
  EXPECT_EQ(callInt(cmd::core(cmd::kShowMessage), "?"_gb, static_cast<int32_t>(rt::mb::kYesNo)), 5);
  EXPECT_EQ(callInt(cmd::core(cmd::kShowMessage), "?"_gb, static_cast<int32_t>(rt::mb::kYesNo)), 6);
  EXPECT_EQ(callInt(cmd::core(cmd::kShowMessage), "?"_gb, static_cast<int32_t>(rt::mb::kYesNoCancel)), 1);
  EXPECT_EQ(callInt(cmd::core(cmd::kShowMessage), "?"_gb, static_cast<int32_t>(rt::mb::kRetryCancel)), 3);
}

TEST_F(WindowCommandsTest, ComboItemsAddedAndCleared) {
  loadMainWindow();
  auto* box = widgetOf<QComboBox>(ui::组合框3);
  rt::api::writeText(ui::组合框3, prop::kComboText, "13800000000"_gb);
  EXPECT_EQ(callInt(cmd::core(cmd::kComboAddItem), ui::组合框3, "所有教练"_gb, omitted), 0);
  EXPECT_EQ(callInt(cmd::core(cmd::kComboAddItem), ui::组合框3, "王教练"_gb, 3), 1);
  EXPECT_EQ(box->count(), 2);
  EXPECT_EQ(box->itemText(0), qs("所有教练"));
  // Adding does not choose an item nor touch the edit field.
  EXPECT_EQ(box->currentIndex(), -1);
  EXPECT_EQ(box->currentText(), qs("13800000000"));

  callCore(cmd::kComboClear, ui::组合框3);
  EXPECT_EQ(box->count(), 0);
  EXPECT_EQ(box->currentText(), QString());
}

TEST_F(WindowCommandsTest, ProcessEventsRunsPostedEvents) {
  loadMainWindow();
  callInt(cmd::core(cmd::kComboAddItem), ui::组合框5, "王教练"_gb);
  handlers().clear();
  QTest::keyClick(widgetOf(ui::组合框5), Qt::Key_Down);
  EXPECT_EQ(handlers().count(handler::onCoach3Chosen), 0);
  callCore(cmd::kProcessEvents);
  EXPECT_EQ(handlers().count(handler::onCoach3Chosen), 1);
}

class WindowCommandFailureTest : public RuntimeTest {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RuntimeTest::SetUp();
    desktop().setPrintMessageBoxes(true);
  }
};

TEST_F(WindowCommandFailureTest, CommandsOnUnitsNotLoadedAreFatal) {
  const char* missing = "指定窗口或窗口组件不存在或尚未载入";
  EXPECT_EXIT(callCore(cmd::kUnloadWindow, ui::进度窗口), ::testing::ExitedWithCode(255), missing);
  EXPECT_EXIT(callCore(cmd::kFocusControl, ui::编辑框1), ::testing::ExitedWithCode(255), missing);
  EXPECT_EXIT(callCore(cmd::kOpenDialog, ui::通用对话框_公用), ::testing::ExitedWithCode(255), missing);
  EXPECT_EXIT(callCore(cmd::kComboAddItem, ui::组合框1, "x"_gb), ::testing::ExitedWithCode(255), missing);
  EXPECT_EXIT(callCore(cmd::kComboClear, ui::组合框1), ::testing::ExitedWithCode(255), missing);
  EXPECT_EXIT(callCore(cmd::kShowPopupMenu, ui::主窗口, ui::菜单添加考试), ::testing::ExitedWithCode(255), missing);
}

}  // namespace
