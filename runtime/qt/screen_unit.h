// The base of every visual unit: a UnitObject with a screen object (a Qt
// widget) placed at the template's rectangle.
#pragma once

#include <QWidget>

#include "runtime/library.h"
#include "runtime/templates.h"

namespace rt {

class ScreenUnit : public UnitObject {
 public:
  explicit ScreenUnit(const UnitContext& context) : context_(context) {}
  // The unit's screen object; owned by the Qt parent chain of the window.
  virtual QWidget* widget() const = 0;
  const UnitContext& context() const { return context_; }

 private:
  UnitContext context_;
};

// The parent a unit kind's factory receives is a widget of this layer.
inline ScreenParent* asScreenParent(QWidget* widget) { return reinterpret_cast<ScreenParent*>(widget); }
inline QWidget* widgetOf(ScreenParent* parent) { return reinterpret_cast<QWidget*>(parent); }

}  // namespace rt
