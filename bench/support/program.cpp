#include "bench/support/program.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTreeView>

#include "app/program.h"
#include "app/state.h"
#include "bench/support/registry.h"
#include "runtime/command_ids.h"
#include "runtime/desktop.h"
#include "runtime/encoding.h"
#include "runtime/entry.h"
#include "runtime/library.h"
#include "runtime/program_folder.h"
#include "runtime/properties.h"
#include "runtime/qt/controls.h"
#include "runtime/qt/qt_screen.h"
#include "runtime/qt/screen_unit.h"
#include "runtime/qt/window_manager.h"
#include "runtime/screen.h"
#include "tests/support/gestures.h"
#include "tests/support/runtime_fixture.h"

namespace bench {
namespace {

std::filesystem::path& openFolder() {
  static std::filesystem::path folder;
  return folder;
}

template <typename W = QWidget>
W* screenWidget(const rt::api::Unit& unit) {
  auto* widget = jxtest::gestures::screenWidget<W>(unit);
  if (!widget) fail("the main window has no such control");
  return widget;
}

}  // namespace

jxtest::ScriptedDesktop& desktop() {
  static jxtest::ScriptedDesktop scripted;
  return scripted;
}

void settle() { jxtest::settle(); }

void startProgram(const std::filesystem::path& folder) {
  static bool stateMade = false;
  if (!stateMade) {
    app::initialiseProgramState();
    stateMade = true;
  }
  rt::setDesktop(&desktop());
  rt::setProgramFolder(rt::utf8ToGb(folder.string()));
  rt::qt::installQtScreen();
  rt::entries().Service(rt::kServiceStartUp, reinterpret_cast<intptr_t>(&app::programHeader()));
  rt::entries().LoadStartWindow(ui::kMainWindow);
  settle();
  openFolder() = folder;
}

void ensureProgram(const std::filesystem::path& folder) {
  if (openFolder() == folder && rt::WindowManager::instance().find(ui::kMainWindow)) return;
  closeProgram();
  startProgram(folder);
}

void closeProgram() {
  rt::closeAllWindows();
  settle();
  desktop().reset();
  openFolder().clear();
}

void typeInto(const rt::api::Unit& field, const std::string& utf8) {
  if (!jxtest::gestures::typeInto(field, utf8)) fail("the main window has no such field");
}

void click(const rt::api::Unit& button) {
  QTest::mouseClick(screenWidget(button), Qt::LeftButton);
  settle();
}

void doubleClick(const rt::api::Unit& field) {
  QTest::mouseDClick(jxtest::gestures::doubleClickTarget(field), Qt::LeftButton, {}, QPoint(5, 5));
  settle();
}

void clickStudentRow(int32_t row) {
  if (!jxtest::gestures::clickStudentRow(row, Qt::LeftButton))
    fail("the student list has no row " + std::to_string(row));
  settle();
}

void doubleClickStudentRow(int32_t row) {
  if (!jxtest::gestures::clickStudentRow(row, Qt::LeftButton, jxtest::gestures::Clicks::kTwice))
    fail("the student list has no row " + std::to_string(row));
  settle();
}

void chooseFromStudentListPopup(const std::string& caption) {
  desktop().choosePopupEntry(caption);
  if (!jxtest::gestures::rightClickStudentList()) fail("the main window has no student list");
  settle();
}

void chooseMenu(const std::string& menuCaption, const std::string& itemCaption) {
  QAction* item = jxtest::gestures::menuEntry(menuCaption, itemCaption);
  if (!item) fail("no menu entry " + menuCaption + " / " + itemCaption);
  item->trigger();
  settle();
}

void chooseComboItem(const rt::api::Unit& combo, int index) {
  auto* box = screenWidget<QComboBox>(combo);
  box->setCurrentIndex(index);
  emit box->activated(index);
  settle();
}

void showPage(int index) {
  auto* tab = screenWidget<rt::TabWidget>(ui::选择夹1);
  QTest::mouseClick(tab->bar(), Qt::LeftButton, {}, tab->bar()->tabRect(index).center());
  settle();
}

void showPageQuietly(int index) {
  screenWidget<rt::TabWidget>(ui::选择夹1)->setCurrentPage(index);
  settle();
}

int32_t rowCount(const rt::api::Unit& list) { return rt::api::callInt(rt::cmd::list(rt::cmd::kListRowCount), list); }

std::string cellText(const rt::api::Unit& list, int32_t row, int32_t column) {
  return rt::gbToUtf8(rt::api::callText(rt::cmd::list(rt::cmd::kListGetCellText), list, row, column).view());
}

std::string fieldText(const rt::api::Unit& field) {
  int32_t property = field.kind == rt::kind::kComboBox ? rt::prop::kComboText : rt::prop::kEditContent;
  return rt::gbToUtf8(rt::api::readText(field, property).view());
}

std::string lastMessage() {
  const auto& shown = desktop().messageBoxes();
  return shown.empty() ? std::string() : shown.back().text;
}

void executeOnProgramConnection(const std::string& sqlUtf8) {
  std::string statement = rt::utf8ToGb(sqlUtf8);
  if (!rt::api::callBool(rt::cmd::db(rt::cmd::kExecuteSql), ui::数据库连接1, statement))
    fail("the program's connection refused: " + sqlUtf8);
}

}  // namespace bench
