// The common events every visual unit raises from mouse and focus input:
// -1..-6 with (x, y, key state), -7/-8 focus, -12 wheel with (steps, key state).
#pragma once

#include <QObject>
#include <QWidget>

#include "runtime/library.h"

namespace rt {

// Watches a unit's screen object and the parts of it that take the mouse
// themselves (the viewport of a list, the edit field of a combo box or date
// picker, the strip of a Tab); positions are given in the unit's own
// coordinates. Mouse moves are tracked without a pressed button only when
// `trackMoves` is set (the unit handles event -6).
void installCommonEvents(const UnitContext& context, QWidget* unitWidget, bool trackMoves);

// Key state of the mouse events: 1 Ctrl, 2 Shift, 4 Alt.
int32_t keyStateOf(Qt::KeyboardModifiers modifiers);

}  // namespace rt
