// What a user does with the main window's widgets, shared by the application
// tests and the benchmarks. Callers decide how a missing widget or entry is
// reported (a test failure or a benchmark error).
#pragma once

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTreeView>
#include <optional>
#include <string>

#include "app/ids.h"
#include "runtime/qt/screen_unit.h"
#include "runtime/qt/window_manager.h"
#include "runtime/value.h"

namespace jxtest::gestures {

template <typename W = QWidget>
W* screenWidget(const rt::api::Unit& unit) {
  auto* screenUnit = dynamic_cast<rt::ScreenUnit*>(rt::findUnitObject(unit.window, unit.id));
  return screenUnit ? qobject_cast<W*>(screenUnit->widget()) : nullptr;
}

// The line edit a user types into: an edit box, or a combo box's edit field.
inline QLineEdit* typingField(const rt::api::Unit& unit) {
  if (unit.kind != rt::kind::kComboBox) return screenWidget<QLineEdit>(unit);
  auto* box = screenWidget<QComboBox>(unit);
  return box ? box->lineEdit() : nullptr;
}

// Replaces the field's text the way typing does; false when there is no field.
inline bool typeInto(const rt::api::Unit& unit, const std::string& utf8) {
  QLineEdit* edit = typingField(unit);
  if (!edit) return false;
  edit->selectAll();
  edit->insert(QString::fromStdString(utf8));
  return true;
}

// The widget a double-click lands on: a combo box's edit field, else the unit's widget.
inline QWidget* doubleClickTarget(const rt::api::Unit& unit) {
  QWidget* target = screenWidget(unit);
  if (auto* box = qobject_cast<QComboBox*>(target)) target = box->lineEdit();
  return target;
}

// The menu-bar entry with these captions (blanks around a caption do not count).
inline QAction* menuEntry(const std::string& menuCaption, const std::string& itemCaption) {
  QMenuBar* bar = rt::WindowManager::instance().find(ui::kMainWindow)->windowUnit->control()->menuBar();
  for (QAction* menu : bar->actions()) {
    if (menu->text().trimmed().toStdString() != menuCaption || !menu->menu()) continue;
    for (QAction* item : menu->menu()->actions())
      if (item->text().trimmed().toStdString() == itemCaption) return item;
  }
  return nullptr;
}

// The centre of a row of the student list (its column 1), scrolled into
// view; nothing when the list has no such row.
inline std::optional<QPoint> studentRowPoint(int32_t row) {
  auto* list = screenWidget<QTreeView>(ui::超级列表框1);
  if (!list) return std::nullopt;
  QModelIndex index = list->model()->index(row, 1);
  if (!index.isValid()) return std::nullopt;
  list->scrollTo(index);
  return list->visualRect(index).center();
}

enum class Clicks { kOnce, kTwice };

// Clicks a row of the student list with this button; false when there is no such row.
inline bool clickStudentRow(int32_t row, Qt::MouseButton button, Clicks clicks = Clicks::kOnce) {
  std::optional<QPoint> at = studentRowPoint(row);
  if (!at) return false;
  QWidget* viewport = screenWidget<QTreeView>(ui::超级列表框1)->viewport();
  if (clicks == Clicks::kTwice)
    QTest::mouseDClick(viewport, button, {}, *at);
  else
    QTest::mouseClick(viewport, button, {}, *at);
  return true;
}

// A right click inside the student list, where its popup menu opens
// whether or not the click lands on a row.
inline bool rightClickStudentList() {
  auto* list = screenWidget<QTreeView>(ui::超级列表框1);
  if (!list) return false;
  QTest::mouseClick(list->viewport(), Qt::RightButton, {}, QPoint(40, 40));
  return true;
}

}  // namespace jxtest::gestures
