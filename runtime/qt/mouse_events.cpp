#include "runtime/qt/mouse_events.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>

#include "runtime/events.h"
#include "runtime/properties.h"
#include "runtime/qt/controls.h"

namespace rt {
namespace {

// One wheel step of the platform.
constexpr int kWheelStep = 120;

class CommonEventFilter : public QObject {
 public:
  CommonEventFilter(const UnitContext& context, QWidget* unitWidget)
      : QObject(unitWidget), windowId_(context.windowId), unitId_(context.unitId), unitWidget_(unitWidget) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    // Input that reaches a unit of a window already closed raises nothing.
    if (!findUnitObject(windowId_, unitId_)) return false;
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove: mouse(watched, static_cast<QMouseEvent*>(event)); break;
      case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        raise(event::kWheel, wheel->angleDelta().y() / kWheelStep, keyStateOf(wheel->modifiers()));
        break;
      }
      case QEvent::FocusIn:
        if (watched == unitWidget_) raise(event::kFocusGained);
        break;
      case QEvent::FocusOut:
        if (watched == unitWidget_) raise(event::kFocusLost);
        break;
      default: break;
    }
    return false;
  }

 private:
  static int32_t eventFor(QEvent::Type type, Qt::MouseButton button) {
    bool left = button == Qt::LeftButton, right = button == Qt::RightButton;
    switch (type) {
      case QEvent::MouseButtonPress: return left ? event::kLeftDown : right ? event::kRightDown : 0;
      case QEvent::MouseButtonRelease: return left ? event::kLeftUp : right ? event::kRightUp : 0;
      // The second press of a right double-click is a right press.
      case QEvent::MouseButtonDblClick: return left ? event::kDoubleClick : right ? event::kRightDown : 0;
      case QEvent::MouseMove: return event::kMouseMove;
      default: return 0;
    }
  }

  void mouse(QObject* watched, QMouseEvent* event) {
    int32_t number = eventFor(event->type(), event->button());
    if (number == 0) return;
    QPoint at = event->position().toPoint();
    auto* source = qobject_cast<QWidget*>(watched);
    if (source && source != unitWidget_ && unitWidget_->isAncestorOf(source)) at = source->mapTo(unitWidget_, at);
    // The platform's message carries x and y as 16-bit words.
    raise(number, static_cast<int16_t>(at.x()), static_cast<int16_t>(at.y()), keyStateOf(event->modifiers()));
  }

  template <typename... Values>
  void raise(int32_t number, Values... values) {
    EventArgs args;
    int32_t list[] = {static_cast<int32_t>(values)..., 0};
    args.count = static_cast<int32_t>(sizeof...(Values));
    for (int32_t i = 0; i < args.count; ++i) args.values[i] = list[i];
    raiseEvent(windowId_, unitId_, number, args);
  }

  uint32_t windowId_;
  uint32_t unitId_;
  QWidget* unitWidget_;
};

// The parts of a screen object that receive the mouse themselves.
QList<QWidget*> inputPartsOf(QWidget* widget) {
  QList<QWidget*> parts{widget};
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) parts << area->viewport();
  if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->lineEdit()) parts << combo->lineEdit();
  if (qobject_cast<QAbstractSpinBox*>(widget))
    if (auto* edit = widget->findChild<QLineEdit*>()) parts << edit;
  if (auto* tab = qobject_cast<TabWidget*>(widget)) parts << tab->bar();
  return parts;
}

}  // namespace

int32_t keyStateOf(Qt::KeyboardModifiers modifiers) {
  int32_t state = 0;
  if (modifiers & Qt::ControlModifier) state |= event::kKeyCtrl;
  if (modifiers & Qt::ShiftModifier) state |= event::kKeyShift;
  if (modifiers & Qt::AltModifier) state |= event::kKeyAlt;
  return state;
}

void installCommonEvents(const UnitContext& context, QWidget* unitWidget, bool trackMoves) {
  auto* filter = new CommonEventFilter(context, unitWidget);
  for (QWidget* part : inputPartsOf(unitWidget)) {
    part->installEventFilter(filter);
    if (trackMoves) part->setMouseTracking(true);
  }
}

}  // namespace rt
