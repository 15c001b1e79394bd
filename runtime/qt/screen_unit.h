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

// Factory of the list-view kind (runtime/listview), called by the window
// layer when it creates a window's units.
std::unique_ptr<ScreenUnit> createListViewUnit(const UnitContext& context, QWidget* parent);

}  // namespace rt
