// Shared pieces of the list-view tests: a headless application, a list unit
// built from a template of our own and registered like a loaded window's
// unit, and the five list commands called the way the application calls them.
#pragma once

#include <QApplication>
#include <QWidget>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/command_ids.h"
#include "runtime/heap.h"
#include "runtime/library.h"
#include "runtime/listview/list_library.h"
#include "runtime/listview/list_view_unit.h"
#include "runtime/templates.h"

namespace listtest {

inline constexpr uint32_t kWindowId = 0x5201001B;
inline constexpr uint32_t kWindowUnitId = 0x0601001A;
inline constexpr uint32_t kListId = 0x16011D2E;
inline constexpr int32_t kColumns = 16;

// The test program's application; deleted when the tests end, while Qt's own
// globals still exist (list_test_application.cpp).
inline std::unique_ptr<QApplication>& applicationHolder() {
  static std::unique_ptr<QApplication> app;
  return app;
}

inline QApplication& application() {
  static int argc = 1;
  static char name[] = "listview_tests";
  static char* argv[] = {name, nullptr};
  if (!applicationHolder()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    applicationHolder() = std::make_unique<QApplication>(argc, argv);
  }
  return *applicationHolder();
}

// The student list's template: 16 columns at its place on the page.
inline rt::UnitTemplate studentListTemplate() {
  rt::UnitTemplate tpl;
  tpl.id = kListId;
  tpl.kind = rt::kind::kListView;
  tpl.left = 8;
  tpl.top = 160;
  tpl.width = 1288;
  tpl.height = 488;
  tpl.flags = rt::kUnitVisible | rt::kUnitTabStop;
  tpl.singleSelection = true;
  for (int32_t c = 0; c < kColumns; ++c) tpl.columns.push_back({-1, 0, 60 + c, "column " + std::to_string(c)});
  return tpl;
}

inline rt::TypedValue omitted() { return {}; }
inline rt::TypedValue integer(int32_t v) { return rt::TypedValue::ofInt(v); }
inline rt::TypedValue text(const std::string& gb) { return rt::TypedValue::ofText(rt::internGb(gb)); }

// The list commands on one list, with every declared parameter present.
class ListCommands {
 public:
  explicit ListCommands(uint32_t windowId = kWindowId, uint32_t unitId = kListId)
      : list_(rt::TypedValue::unitRef(windowId, unitId, rt::kind::kListView)) {}

  void clear() { call(rt::cmd::kListClear, {list_}); }
  int32_t rowCount() { return call(rt::cmd::kListRowCount, {list_}).asInt(); }
  int32_t insert(rt::TypedValue position = {}, rt::TypedValue mainText = {}, rt::TypedValue image = {},
                 rt::TypedValue stateImage = {}, rt::TypedValue indent = {}, rt::TypedValue itemData = {}) {
    return call(rt::cmd::kListInsertRow, {list_, position, mainText, image, stateImage, indent, itemData}).asInt();
  }
  void set(int32_t row, rt::TypedValue column, rt::TypedValue cellText) {
    call(rt::cmd::kListSetCellText, {list_, integer(row), column, cellText});
  }
  // The returned block as the command gave it (the caller frees it).
  char* getOwned(int32_t row, rt::TypedValue column = {}) {
    return call(rt::cmd::kListGetCellText, {list_, integer(row), column}).pointer<char>();
  }
  std::string get(int32_t row, rt::TypedValue column = {}) {
    char* block = getOwned(row, column);
    std::string copy = block ? block : "";
    rt::Free(block);
    return copy;
  }

 private:
  rt::TypedValue call(int32_t command, std::vector<rt::TypedValue> args) {
    rt::TypedValue result;
    rt::listViewLibrary().commands[command](&result, static_cast<int32_t>(args.size()), args.data());
    return result;
  }

  rt::TypedValue list_;
};

// A list unit on a parent widget, registered so that the commands find it.
class StandaloneList {
 public:
  explicit StandaloneList(rt::UnitTemplate tpl = studentListTemplate())
      : tpl_(std::move(tpl)), parent_((application(), std::make_unique<QWidget>())) {
    parent_->resize(1300, 660);
    unit_ = rt::createListViewUnit({kWindowId, kListId, &tpl_}, rt::asScreenParent(parent_.get()));
    rt::registerUnitObject(kWindowId, kListId, unit_.get());
  }
  ~StandaloneList() { rt::unregisterUnitObject(kWindowId, kListId); }

  rt::ListViewUnit& unit() { return static_cast<rt::ListViewUnit&>(*unit_); }
  rt::ListWidget& view() { return *unit().view(); }
  QWidget& parent() { return *parent_; }

 private:
  rt::UnitTemplate tpl_;
  std::unique_ptr<QWidget> parent_;
  std::unique_ptr<rt::UnitObject> unit_;
};

}  // namespace listtest
