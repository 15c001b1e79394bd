// The list-view library (library 2): its five commands and its unit kind.
// Every command addresses the list by its first argument, a unit reference;
// a list that does not exist or whose window is not loaded is fatal.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <typeinfo>

#include "runtime/command_ids.h"
#include "runtime/error.h"
#include "runtime/heap.h"
#include "runtime/library.h"
#include "runtime/listview/list_library.h"
#include "runtime/listview/list_view_unit.h"

namespace rt {
namespace {

constexpr int32_t kAppendPosition = -1;
constexpr int32_t kNoImage = -1;

ListViewUnit& requireList(const TypedValue& unitRef) {
  UnitObject& object = requireUnitObject(unitRef);
  // A fill calls a command per cell: the exact type is checked first, which
  // costs far less than a cast through the hierarchy.
  if (typeid(object) == typeid(ListViewUnit)) return static_cast<ListViewUnit&>(object);
  auto* list = dynamic_cast<ListViewUnit*>(&object);
  if (!list) fatalUtf8("指定窗口或窗口组件不存在或尚未载入", unitRef.windowId(), unitRef.unitId());
  return *list;
}

// Argument i, or an omitted one when the caller declared fewer.
TypedValue argument(int32_t count, const TypedValue* args, int32_t i) { return i < count ? args[i] : TypedValue{}; }

int32_t intOr(const TypedValue& value, int32_t fallback) { return value.omitted() ? fallback : value.asInt(); }

// Text arguments are never null by protocol; a null still reads as empty.
std::string_view textOf(const TypedValue& value) {
  if (value.omitted() || value.tag != tag::kText || !value.asText()) return {};
  return value.asText();
}

void ListClear(TypedValue*, int32_t count, TypedValue* args) { requireList(argument(count, args, 0)).clearRows(); }

void ListRowCount(TypedValue* result, int32_t count, TypedValue* args) {
  *result = TypedValue::ofInt(requireList(argument(count, args, 0)).model().storedRowCount());
}

// (list, position, text, image, state image, indent, item data), all but the list optional.
void ListInsertRow(TypedValue* result, int32_t count, TypedValue* args) {
  ListModel& model = requireList(argument(count, args, 0)).model();
  int32_t position = intOr(argument(count, args, 1), kAppendPosition);
  if (position < 0) position = model.storedRowCount();
  RowAttributes attributes;
  int32_t image = intOr(argument(count, args, 3), kNoImage);
  attributes.image = image >= kNoImage ? image : kNoImage;
  attributes.stateImage = intOr(argument(count, args, 4), kNoImage);
  attributes.indent = std::max(intOr(argument(count, args, 5), 0), 0);
  attributes.itemData = intOr(argument(count, args, 6), 0);
  *result = TypedValue::ofInt(model.insertRow(position, textOf(argument(count, args, 2)), attributes));
}

// (list, row, column = 0, text = empty); a cell outside the list changes nothing.
void ListSetCellText(TypedValue*, int32_t count, TypedValue* args) {
  ListModel& model = requireList(argument(count, args, 0)).model();
  model.setCellText(argument(count, args, 1).asInt(), intOr(argument(count, args, 2), 0),
                    textOf(argument(count, args, 3)));
}

// (list, row, column = 0): a copy of the whole cell, null when empty or outside the list.
void ListGetCellText(TypedValue* result, int32_t count, TypedValue* args) {
  ListModel& model = requireList(argument(count, args, 0)).model();
  std::string_view text = model.cellText(argument(count, args, 1).asInt(), intOr(argument(count, args, 2), 0));
  *result = TypedValue::ofText(newText(text));
}

Library makeListViewLibrary() {
  Library library;
  library.number = lib::kListView;
  library.name = "ListView";
  library.commands.resize(cmd::kListViewCount);
  library.commands[cmd::kListClear] = ListClear;
  library.commands[cmd::kListRowCount] = ListRowCount;
  library.commands[cmd::kListInsertRow] = ListInsertRow;
  library.commands[cmd::kListSetCellText] = ListSetCellText;
  library.commands[cmd::kListGetCellText] = ListGetCellText;
  // A visual kind: the screen layer places it in its window.
  library.kinds.push_back(UnitKind{kind::kListView, "ListView", true, nullptr, &createListViewUnit});
  return library;
}

}  // namespace

const Library& listViewLibrary() {
  static const Library library = makeListViewLibrary();
  return library;
}

}  // namespace rt
