// Event dispatch: a unit's event goes to the handler its template binds.
#include "runtime/events.h"

#include "runtime/error.h"
#include "runtime/library.h"
#include "runtime/templates.h"

namespace rt {
namespace {

EventSource currentSource;

}  // namespace

bool raiseEvent(uint32_t windowId, uint32_t unitId, int32_t event, const EventArgs& args, int32_t* result) {
  // Blocked while a window is being created, a run-time error is reported or
  // the program is ending.
  if (eventBlockCounter() > 0) return false;
  const WindowTemplate* window = findWindowTemplate(windowId);
  if (!window) fatalUtf8("未找到引发事件的窗口", windowId, unitId);
  const UnitTemplate* unit = window->find(unitId);
  if (!unit) fatalUtf8("未找到引发事件的窗口组件", windowId, unitId);
  const UnitKind* unitKind = findUnitKind(unit->kind);
  if (!unitKind || !unitKind->acceptsEvents) fatalUtf8("引发事件的窗口组件无效", windowId, unitId);

  EventHandler handler = unit->isMenuItem() ? unit->menuHandler : unit->handlerFor(event);
  if (!handler) return false;
  EventSource outer = currentSource;
  currentSource = EventSource{windowId, unit->id, event};
  int32_t value = handler(args);
  currentSource = outer;
  if (result) *result = value;
  return true;
}

EventSource currentEventSource() { return currentSource; }

}  // namespace rt
