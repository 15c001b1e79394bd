// ReadProperty and WriteProperty: a property is addressed by window id, unit
// id and number. Numbers 0-7 are common to every visual unit; 8 and up
// belong to the unit's kind; a menu item has its own 0-3.
#include <algorithm>

#include "runtime/error.h"
#include "runtime/heap.h"
#include "runtime/properties.h"
#include "runtime/qt/unit_properties.h"
#include "runtime/qt/window_manager.h"

namespace rt {
namespace {

const WindowTemplate& requireTemplate(uint32_t windowId, uint32_t unitId) {
  const WindowTemplate* window = findWindowTemplate(windowId);
  if (!window) fatalUtf8("未载入欲访问窗口组件所在的窗口", windowId, unitId);
  return *window;
}

UnitObject& requireObject(LoadedWindow& window, uint32_t windowId, uint32_t unitId) {
  UnitObject* object = window.object(unitId);
  if (!object) fatalUtf8("指定窗口或窗口组件不存在或尚未载入", windowId, unitId);
  return *object;
}

bool isGeometry(int32_t property) { return property >= prop::kLeft && property <= prop::kHeight; }
bool isCommon(int32_t property) { return property >= prop::kLeft && property <= prop::kMousePointer; }

int32_t rectPart(const QRect& rect, int32_t property) {
  switch (property) {
    case prop::kLeft: return rect.x();
    case prop::kTop: return rect.y();
    case prop::kWidth: return rect.width();
    default: return rect.height();
  }
}

QRect withRectPart(QRect rect, int32_t property, int32_t value) {
  switch (property) {
    case prop::kLeft: rect.moveLeft(value); break;
    case prop::kTop: rect.moveTop(value); break;
    case prop::kWidth: rect.setWidth(value); break;
    default: rect.setHeight(value); break;
  }
  return rect;
}

// The stored rectangle of a unit (the window's own unit for 0).
uint64_t storedGeometry(const UnitTemplate& unit, int32_t property) {
  QRect rect(unit.left, unit.top, unit.width, unit.height);
  return static_cast<uint32_t>(rectPart(rect, property));
}

bool visibleOf(LoadedWindow& window, ScreenUnit& unit) {
  if (&unit == window.windowUnit && !window.shown) return window.wantVisible;
  return !unit.widget()->isHidden();
}

void setVisible(LoadedWindow& window, ScreenUnit& unit, bool visible) {
  if (&unit == window.windowUnit && !window.shown) {
    window.wantVisible = visible;
    return;
  }
  unit.widget()->setVisible(visible);
}

TypedValue readCommon(LoadedWindow& window, uint32_t unitId, ScreenUnit& unit, int32_t property) {
  QWidget* widget = unit.widget();
  if (isGeometry(property)) {
    QRect rect = &unit == window.windowUnit ? window.windowUnit->outerRect() : widget->geometry();
    return TypedValue::ofInt(rectPart(rect, property));
  }
  CommonUnitState& state = window.commonState(unitId);
  switch (property) {
    case prop::kTagText: return TypedValue::ofText(newText(state.tagTextGb));
    case prop::kVisible: return TypedValue::ofBool(visibleOf(window, unit));
    case prop::kDisabled: return TypedValue::ofBool(widget->testAttribute(Qt::WA_ForceDisabled));
    default:
      return TypedValue::ofPointer(
          newByteArray(state.mousePointer.data(), static_cast<int32_t>(state.mousePointer.size())), tag::kBytes);
  }
}

void writeCommon(LoadedWindow& window, uint32_t unitId, ScreenUnit& unit, int32_t property, const TypedValue& value) {
  QWidget* widget = unit.widget();
  if (isGeometry(property)) {
    if (&unit == window.windowUnit)
      window.windowUnit->setOuterRect(withRectPart(window.windowUnit->outerRect(), property, value.asInt()));
    else
      widget->setGeometry(withRectPart(widget->geometry(), property, value.asInt()));
    return;
  }
  CommonUnitState& state = window.commonState(unitId);
  switch (property) {
    case prop::kTagText: {
      const char* text = value.asText();
      state.tagTextGb = text ? text : "";
      break;
    }
    case prop::kVisible: setVisible(window, unit, value.asBool()); break;
    case prop::kDisabled: widget->setEnabled(!value.asBool()); break;
    default: {
      const void* block = value.pointer<const void>();
      const unsigned char* bytes = block ? arrayElements(block) : nullptr;
      int32_t count = arrayCount(block);
      state.mousePointer.assign(bytes, bytes ? bytes + std::max(count, 0) : bytes);
      break;
    }
  }
}

// Menu items keep their stored caption and flags while no window exists.
uint64_t storedMenuProperty(const UnitTemplate& unit, int32_t property) {
  switch (property) {
    case prop::kMenuCaption: return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(newText(unit.captionGb)));
    case prop::kMenuFlag2: return (unit.menuFlags & kMenuFlag2) != 0;
    case prop::kMenuDisabled: return (unit.menuFlags & kMenuDisabled) != 0;
    default: return (unit.menuFlags & kMenuHidden) == 0;
  }
}

}  // namespace

namespace qt {

uint64_t readProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element) {
  (void)element;  // every property the program uses is a scalar
  const WindowTemplate& tpl = requireTemplate(windowId, unitId);
  LoadedWindow* window = WindowManager::instance().find(windowId);
  if (!window) {
    const UnitTemplate* unit = tpl.find(unitId);
    if (unit && isGeometry(property))
      return unit->isMenuItem() ? storedMenuProperty(*unit, property) : storedGeometry(*unit, property);
    fatalUtf8("读取组件属性时发现指定窗口尚未载入", windowId, unitId);
  }
  UnitObject& object = requireObject(*window, windowId, unitId);
  TypedValue out;
  auto* screenUnit = dynamic_cast<ScreenUnit*>(&object);
  if (screenUnit && isCommon(property)) {
    if (!screenUnit->widget()) fatalUtf8("指定窗口或窗口组件不存在或尚未载入", windowId, unitId);
    out = readCommon(*window, unitId, *screenUnit, property);
  } else if (!object.readProperty(property, out) && !screenUnit && isGeometry(property)) {
    // A non-visual unit has only its stored place.
    if (const UnitTemplate* unit = tpl.find(unitId)) return storedGeometry(*unit, property);
  }
  return out.data();
}

void writeProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t element, uint64_t data) {
  (void)element;
  requireTemplate(windowId, unitId);
  LoadedWindow* window = WindowManager::instance().find(windowId);
  if (!window) fatalUtf8("修改组件属性时发现指定窗口尚未载入", windowId, unitId);
  UnitObject& object = requireObject(*window, windowId, unitId);
  // The value's type is fixed by the property number; the tag stays empty.
  TypedValue value;
  value.setData(data);
  auto* screenUnit = dynamic_cast<ScreenUnit*>(&object);
  if (screenUnit && isCommon(property)) {
    if (!screenUnit->widget()) fatalUtf8("指定窗口或窗口组件不存在或尚未载入", windowId, unitId);
    writeCommon(*window, unitId, *screenUnit, property, value);
    return;
  }
  object.writeProperty(property, value);
}

}  // namespace qt
}  // namespace rt
