// Events raised by user actions on the real widgets reach the handlers the
// templates bind; changes made by the program raise nothing.
#include <gtest/gtest.h>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTreeView>

#include "app/windows/template_block.h"
#include "tests/screen/screen_helpers.h"
#include "tests/support/test_clock.h"

using namespace jxtest;
namespace prop = rt::prop;

namespace {

class EventsTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    loadMainWindow();
    handlers().clear();  // the creation event is not part of these tests
  }
  const HandlerCall& onlyCall() {
    EXPECT_EQ(handlers().calls().size(), 1u);
    return handlers().calls().front();
  }
};

TEST_F(EventsTest, ButtonClickRunsItsHandler) {
  QTest::mouseClick(widgetOf(ui::添加), Qt::LeftButton);
  EXPECT_EQ(handlers().count(handler::onAddClicked), 1);
  EXPECT_EQ(onlyCall().source.unitId, ui::添加.id);
  EXPECT_EQ(onlyCall().source.event, rt::event::kButtonClick);
}

TEST_F(EventsTest, ComboChoiceOfTheUserIsPostedAndProgramChangesRaiseNothing) {
  using rt::api::callInt;
  EXPECT_EQ(callInt(rt::cmd::core(rt::cmd::kComboAddItem), ui::组合框2, "王教练"_gb), 0);
  EXPECT_EQ(callInt(rt::cmd::core(rt::cmd::kComboAddItem), ui::组合框2, "李教练"_gb, 7), 1);
  rt::api::writeInt(ui::组合框2, prop::kComboSelection, 1);
  rt::api::writeInt(ui::组合框2, prop::kComboSelection, -1);
  rt::api::writeText(ui::组合框2, prop::kComboText, "");
  settle();
  EXPECT_TRUE(handlers().calls().empty());

  int32_t selectionSeen = -2;
  handlers().onCall(handler::onCoach2Chosen, [&](const rt::EventArgs&) {
    selectionSeen = rt::api::readInt(ui::组合框2, prop::kComboSelection);
    return 0;
  });
  QTest::keyClick(widgetOf(ui::组合框2), Qt::Key_Down);
  // Delivered after the box's own handling, not inside it.
  EXPECT_EQ(handlers().count(handler::onCoach2Chosen), 0);
  settle();
  EXPECT_EQ(handlers().count(handler::onCoach2Chosen), 1);
  EXPECT_EQ(selectionSeen, 0);
  EXPECT_EQ(widgetOf<QComboBox>(ui::组合框2)->itemData(1).toInt(), 7);
}

TEST_F(EventsTest, DatePickerBurstRaisesOneEventAndThenReportsItsLastDate) {
  TestClock clock;
  auto* picker = widgetOf<rt::DatePickerWidget>(ui::日期框1);
  rt::api::writeRaw(ui::日期框1, prop::kPickedDate, rt::TypedValue::ofDateTime(40000.5).data());
  settle();
  EXPECT_EQ(handlers().count(handler::onDatePicker1Changed), 0);
  QDate seen;
  handlers().onCall(handler::onDatePicker1Changed, [&](const rt::EventArgs&) {
    seen = picker->date();
    return 0;
  });

  // Three changes 20 ms apart: the first is reported at once, the others
  // fall within the quiet period.
  QTest::keyClick(picker, Qt::Key_Up);
  settle();
  const QDate first = picker->date();
  for (int i = 0; i < 2; ++i) {
    clock.advance(20);
    QTest::keyClick(picker, Qt::Key_Up);
    settle();
  }
  EXPECT_EQ(handlers().count(handler::onDatePicker1Changed), 1);
  EXPECT_EQ(seen, first);
  EXPECT_NE(picker->date(), first);

  clock.advance(rt::kDateEventQuietMs + 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return handlers().count(handler::onDatePicker1Changed) == 2; }, 5000));
  EXPECT_EQ(seen, picker->date());

  // After a quiet period a single change is reported at once.
  clock.advance(rt::kDateEventQuietMs + 1);
  QTest::keyClick(picker, Qt::Key_Down);
  settle();
  EXPECT_EQ(handlers().count(handler::onDatePicker1Changed), 3);
  EXPECT_EQ(seen, picker->date());
}

TEST_F(EventsTest, TabPageChangedByTheUserOnly) {
  auto* tab = widgetOf<rt::TabWidget>(ui::选择夹1);
  rt::api::writeInt(ui::选择夹1, prop::kTabPage, 3);
  rt::api::writeInt(ui::选择夹1, prop::kTabPage, 0);
  EXPECT_TRUE(handlers().calls().empty());

  int32_t pageSeen = -1;
  handlers().onCall(handler::onTabPageChanged, [&](const rt::EventArgs&) {
    pageSeen = rt::api::readInt(ui::选择夹1, prop::kTabPage);
    return 0;
  });
  QTest::mouseClick(tab->bar(), Qt::LeftButton, {}, tab->bar()->tabRect(1).center());
  EXPECT_EQ(handlers().count(handler::onTabPageChanged), 1);
  EXPECT_EQ(pageSeen, 1);
  EXPECT_TRUE(tab->page(1)->isVisibleTo(tab));
}

TEST_F(EventsTest, DoubleClicksCarryPositionAndKeyState) {
  QTest::mouseDClick(widgetOf(ui::编辑框1), Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, QPoint(10, 5));
  ASSERT_EQ(handlers().count(handler::onEditBox1DoubleClick), 1);
  const rt::EventArgs& args = onlyCall().args;
  ASSERT_EQ(args.count, 3);
  EXPECT_EQ(args.values[0], 10);
  EXPECT_EQ(args.values[1], 5);
  EXPECT_EQ(args.values[2], rt::event::kKeyCtrl | rt::event::kKeyShift);
  handlers().clear();

  // The edit field of a combo box and the rows of a list count as the unit.
  auto* combo = widgetOf<QComboBox>(ui::组合框1);
  QTest::mouseDClick(combo->lineEdit(), Qt::LeftButton, {}, QPoint(3, 4));
  ASSERT_EQ(handlers().count(handler::onComboBox1DoubleClick), 1);
  EXPECT_EQ(onlyCall().args.values[0], combo->lineEdit()->x() + 3);
  handlers().clear();

  auto* list = widgetOf<QTreeView>(ui::超级列表框1);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 30));
  ASSERT_EQ(handlers().count(handler::onStudentListDoubleClick), 1);
  EXPECT_EQ(onlyCall().args.values[1], list->viewport()->y() + 30);
}

TEST_F(EventsTest, MenuBarEntriesRunTheirItemsHandlers) {
  QMenuBar* bar = loadedWindow(kMainWindowId)->windowUnit->control()->menuBar();
  QList<QAction*> records = bar->actions()[0]->menu()->actions();
  records[0]->trigger();                    // 读取身份证
  EXPECT_TRUE(handlers().calls().empty());  // commands arrive after the menu has closed
  settle();
  ASSERT_EQ(handlers().calls().size(), 1u);
  EXPECT_EQ(onlyCall().handler, handler::onMenuReadCard);
  EXPECT_EQ(onlyCall().source.unitId, ui::菜单读取身份证.id);
}

TEST_F(EventsTest, HiddenMenuWorksAsAPopupAtTheCursor) {
  using rt::api::omitted;
  desktop().setCursor(100, 200);
  desktop().choosePopupEntry("添加科目一");
  callCore(rt::cmd::kShowPopupMenu, ui::主窗口, ui::菜单添加考试, omitted, omitted);
  ASSERT_EQ(desktop().popups().size(), 1u);
  const PopupCall& popup = desktop().popups()[0];
  EXPECT_EQ(popup.captions,
            (std::vector<std::string>{"添加科目一", "添加科目二", "添加科目三", "添加科目四", "学员结业"}));
  EXPECT_EQ(popup.x, 103);
  EXPECT_EQ(popup.y, 203);
  settle();
  ASSERT_EQ(handlers().calls().size(), 1u);
  EXPECT_EQ(onlyCall().handler, handler::onMenuAddSubject1);
  EXPECT_EQ(onlyCall().source.unitId, ui::菜单添加科目一.id);

  // Coordinates given replace the cursor's.
  callCore(rt::cmd::kShowPopupMenu, ui::主窗口, ui::菜单添加考试, 10, 20);
  EXPECT_EQ(desktop().popups().back().x, 10);
  EXPECT_EQ(desktop().popups().back().y, 20);
}

TEST_F(EventsTest, PopupOfAnItemWithoutEntriesShowsNothing) {
  callCore(rt::cmd::kShowPopupMenu, ui::主窗口, ui::菜单删除学员);  // no deeper entries
  callCore(rt::cmd::kShowPopupMenu, ui::主窗口, ui::菜单参数设置);  // the last item
  rt::api::Unit otherWindowsItem{ui::kProgressWindow, ui::菜单添加考试.id, rt::kind::kMenu};
  callCore(rt::cmd::kShowPopupMenu, ui::主窗口, otherWindowsItem);
  EXPECT_TRUE(desktop().popups().empty());
}

// --- a window of its own for the events the program's templates do not bind ---

constexpr uint32_t kTestWindow = 0x52077701;
constexpr uint32_t kTestTab = 0x16077702;
constexpr uint32_t kTestEdit = 0x16077703;
enum : int32_t {
  kTabClickHandler,
  kTabChangingHandler,
  kTabChangedHandler,
  kWheelHandler,
  kFocusHandler,
  kMoveHandler
};

class SyntheticWindowTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    const rt::EventHandler* table = handlers().table();
    rt::WindowTemplate window;
    window.id = kTestWindow;
    rt::UnitTemplate own;
    own.id = 0x06077700;
    own.kind = rt::kind::kWindow;
    own.width = 400;
    own.height = 300;
    own.flags = rt::kUnitVisible;
    rt::UnitTemplate tab;
    tab.id = kTestTab;
    tab.kind = rt::kind::kTab;
    tab.width = 380;
    tab.height = 200;
    tab.flags = rt::kUnitVisible;
    tab.itemsGb = {"a", "b"};
    tab.events = {{rt::event::kTabClick, table[kTabClickHandler]},
                  {rt::event::kTabChanging, table[kTabChangingHandler]},
                  {rt::event::kTabChanged, table[kTabChangedHandler]}};
    rt::UnitTemplate edit;
    edit.id = kTestEdit;
    edit.kind = rt::kind::kEditBox;
    edit.top = 210;
    edit.width = 100;
    edit.height = 25;
    edit.flags = rt::kUnitVisible;
    edit.events = {{rt::event::kWheel, table[kWheelHandler]},
                   {rt::event::kFocusGained, table[kFocusHandler]},
                   {rt::event::kMouseMove, table[kMoveHandler]}};
    window.units = {own, tab, edit};
    rt::installTemplates({window});
    ASSERT_TRUE(rt::WindowManager::instance().load(kTestWindow, 0, false));
  }
  void TearDown() override {
    RuntimeTest::TearDown();
    rt::installTemplates(rt::parseTemplateBlock(app::kTemplateBlock, app::kTemplateBlockSize, handlers().table()));
  }
  rt::TabWidget* tab() { return widgetOf<rt::TabWidget>({kTestWindow, kTestTab, rt::kind::kTab}); }
  QWidget* edit() { return widgetOf({kTestWindow, kTestEdit, rt::kind::kEditBox}); }
};

TEST_F(SyntheticWindowTest, TabAsksBeforeAChangeAndMayRefuseIt) {
  handlers().onCall(kTabChangingHandler, [](const rt::EventArgs&) { return 0; });
  QPoint second = tab()->bar()->tabRect(1).center();
  QTest::mouseClick(tab()->bar(), Qt::LeftButton, {}, second);
  EXPECT_EQ(tab()->currentPage(), 0);
  EXPECT_EQ(handlers().count(kTabChangingHandler), 1);
  EXPECT_EQ(handlers().count(kTabChangedHandler), 0);
  EXPECT_EQ(handlers().count(kTabClickHandler), 1);

  handlers().onCall(kTabChangingHandler, [](const rt::EventArgs&) { return 1; });
  QTest::mouseClick(tab()->bar(), Qt::LeftButton, {}, second);
  EXPECT_EQ(tab()->currentPage(), 1);
  EXPECT_EQ(handlers().count(kTabChangedHandler), 1);
  std::vector<int32_t> order;
  for (const HandlerCall& call : handlers().calls()) order.push_back(call.handler);
  EXPECT_EQ(order, (std::vector<int32_t>{kTabChangingHandler, kTabClickHandler, kTabChangingHandler, kTabChangedHandler,
                                         kTabClickHandler}));
}

TEST_F(SyntheticWindowTest, WheelFocusAndMovesAreCommonEvents) {
  QWheelEvent wheel(QPointF(5, 5), edit()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -240), Qt::NoButton,
                    Qt::AltModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(edit(), &wheel);
  ASSERT_EQ(handlers().count(kWheelHandler), 1);
  const rt::EventArgs& args = handlers().calls().back().args;
  EXPECT_EQ(args.count, 2);
  EXPECT_EQ(args.values[0], -2);
  EXPECT_EQ(args.values[1], rt::event::kKeyAlt);

  QFocusEvent focus(QEvent::FocusIn);
  QApplication::sendEvent(edit(), &focus);
  EXPECT_EQ(handlers().count(kFocusHandler), 1);

  // A unit that handles moves sees them without a pressed button.
  EXPECT_TRUE(edit()->hasMouseTracking());
  QTest::mouseMove(edit(), QPoint(7, 8));
  settle();
  ASSERT_GE(handlers().count(kMoveHandler), 1);
}

// --- fatal paths, in a child process ---

class EventFailureTest : public EventsTest {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EventsTest::SetUp();
    desktop().setPrintMessageBoxes(true);
  }
};

TEST_F(EventFailureTest, EventDuringARunTimeErrorIsDropped) {
  desktop().setWhileMessageBox([](const MessageBoxCall&) {
    bool ran = rt::raiseEvent(ui::kMainWindow, ui::添加.id, rt::event::kButtonClick);
    std::fprintf(stderr, "handlers run during the report: %d\n",
                 static_cast<int>(ran) + RecordingHandlers::instance().count(handler::onAddClicked));
  });
  EXPECT_EXIT(rt::entries().ReportError(rt::kErrorIndexAboveRange, 0, 0), ::testing::ExitedWithCode(255),
              "handlers run during the report: 0");
}

TEST_F(EventFailureTest, UnknownSourcesOfEventsAreFatal) {
  EXPECT_EXIT(rt::raiseEvent(0x52000001, 0, 0), ::testing::ExitedWithCode(255), "错误信息：未找到引发事件的窗口\r\n");
  EXPECT_EXIT(rt::raiseEvent(ui::kMainWindow, 0x16000001, 0), ::testing::ExitedWithCode(255),
              "未找到引发事件的窗口组件");
  EXPECT_EXIT(rt::raiseEvent(ui::kMainWindow, ui::通用对话框_公用.id, 0), ::testing::ExitedWithCode(255),
              "引发事件的窗口组件无效");
}

}  // namespace
