// Clicks on a list of a loaded window: the window layer builds the list from
// its template and watches it for the common events; the list raises its own
// click events after the selection has followed the mouse.
#include <gtest/gtest.h>

#include <QMouseEvent>

#include "list_test_support.h"
#include "runtime/entry.h"
#include "runtime/listview/list_library.h"
#include "runtime/properties.h"
#include "runtime/qt/qt_screen.h"
#include "runtime/qt/window_manager.h"

namespace {

using namespace listtest;

struct Raised {
  int32_t event;
  int32_t selectedRow;  // property 35 as the handler read it
};
std::vector<Raised> raised;

int32_t readSelectedRow() {
  return static_cast<int32_t>(rt::entries().ReadProperty(kWindowId, kListId, rt::prop::kListSelectedRow, -1));
}

template <int32_t Event>
int32_t record(const rt::EventArgs&) {
  raised.push_back({Event, readSelectedRow()});
  return 0;
}

const rt::UnitKind kWindowKind{rt::kind::kWindow, "window", true, nullptr};

class ListEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    application();
    rt::qt::installQtScreen();
    raised.clear();
    const rt::Library* libraries[] = {&rt::listViewLibrary()};
    rt::registerLibraries(libraries, 1);
    rt::registerUnitKinds(&kWindowKind, 1);

    rt::WindowTemplate window;
    window.id = kWindowId;
    rt::UnitTemplate own;
    own.id = kWindowUnitId;
    own.kind = rt::kind::kWindow;
    own.width = 1351;
    own.height = 718;
    own.flags = rt::kUnitVisible;
    rt::UnitTemplate list = studentListTemplate();
    list.top = 10;
    list.events = {{rt::event::kListClick, &record<rt::event::kListClick>},
                   {rt::event::kListRightClick, &record<rt::event::kListRightClick>},
                   {rt::event::kDoubleClick, &record<rt::event::kDoubleClick>}};
    window.units = {own, list};
    rt::installTemplates({window});
    ASSERT_TRUE(rt::WindowManager::instance().load(kWindowId, 0, false));

    ListCommands commands;
    for (int32_t row = 0; row < 5; ++row) commands.set(commands.insert(), integer(0), text(std::to_string(row)));
    view =
        dynamic_cast<rt::ListWidget*>(static_cast<rt::ScreenUnit*>(rt::findUnitObject(kWindowId, kListId))->widget());
    ASSERT_NE(view, nullptr);
  }
  void TearDown() override {
    rt::WindowManager::instance().closeAll(false);
    QApplication::processEvents();
  }

  QPoint rowCentre(int row) { return view->visualRect(view->model()->index(row, 1)).center(); }

  void send(QEvent::Type type, QPoint at, Qt::MouseButton button) {
    Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &event);
  }
  void click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    send(QEvent::MouseButtonPress, at, button);
    send(QEvent::MouseButtonRelease, at, button);
  }

  rt::ListWidget* view = nullptr;
};

TEST_F(ListEventsTest, ClickRaisesEventFourWithTheClickedRowAlreadySelected) {
  click(rowCentre(2));
  click(rowCentre(4));
  ASSERT_EQ(raised.size(), 2u);
  EXPECT_EQ(raised[0].event, rt::event::kListClick);
  EXPECT_EQ(raised[0].selectedRow, 2);
  EXPECT_EQ(raised[1].selectedRow, 4);
}

TEST_F(ListEventsTest, RightClickSelectsTheRowAndRaisesEventFive) {
  click(rowCentre(1));
  click(rowCentre(3), Qt::RightButton);
  ASSERT_EQ(raised.size(), 2u);
  EXPECT_EQ(raised[1].event, rt::event::kListRightClick);
  EXPECT_EQ(raised[1].selectedRow, 3);
}

TEST_F(ListEventsTest, DoubleClickReachesItsHandlerOnceAfterOneClick) {
  QPoint at = rowCentre(3);
  send(QEvent::MouseButtonPress, at, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, at, Qt::LeftButton);
  send(QEvent::MouseButtonDblClick, at, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, at, Qt::LeftButton);
  ASSERT_EQ(raised.size(), 2u);
  EXPECT_EQ(raised[0].event, rt::event::kListClick);
  EXPECT_EQ(raised[1].event, rt::event::kDoubleClick);
  EXPECT_EQ(raised[1].selectedRow, 3);
}

TEST_F(ListEventsTest, ClickBelowTheRowsClearsTheSelection) {
  click(rowCentre(0));
  click(QPoint(20, view->viewport()->height() - 5));
  ASSERT_EQ(raised.size(), 2u);
  EXPECT_EQ(raised[1].event, rt::event::kListClick);
  EXPECT_EQ(raised[1].selectedRow, -1);
}

TEST_F(ListEventsTest, SelectedRowThroughTheEntryOperations) {
  rt::entries().WriteProperty(kWindowId, kListId, rt::prop::kListSelectedRow, -1, 4, 0);
  EXPECT_EQ(readSelectedRow(), 4);
  EXPECT_TRUE(view->selectionModel()->isRowSelected(4, QModelIndex()));
  EXPECT_TRUE(raised.empty());  // a selection made by the program raises no click
}

}  // namespace
