// The ListView unit: a multi-column report list whose rows live in its model
// (compact byte storage, no per-cell objects). Property 34 is the
// single-selection flag, property 35 the selected row; a click raises event 4
// and a right-button click event 5 after the press has updated the selection,
// so a handler reads the clicked row through property 35.
#pragma once

#include <QAccessible>
#include <QPointer>
#include <QTreeView>

#include "runtime/listview/list_model.h"
#include "runtime/qt/screen_unit.h"

namespace rt {

// The screen object: a flat tree view in report mode over a ListModel.
class ListWidget : public QTreeView {
  Q_OBJECT

 public:
  ListWidget(const UnitContext& context, QWidget* parent);
  ~ListWidget() override;
  ListModel& listModel() const { return *model_; }
  // The accessible interface made for this list, if any. It reads the model,
  // so the list removes it before the model goes.
  void setAccessible(QAccessibleInterface* accessible) { accessible_ = accessible; }

 protected:
  // Pending rows and cells are announced before the view handles anything,
  // so paints, hit tests and selections always see every row.
  bool event(QEvent* e) override;
  bool viewportEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  void applyTemplate(const UnitTemplate& tpl);

  UnitContext context_;
  ListModel* model_ = nullptr;                  // owned by this widget (Qt parent)
  QAccessibleInterface* accessible_ = nullptr;  // owned by Qt's accessibility cache
  // The button of the click in progress; none after a double-click, whose
  // second release is not a click of its own.
  Qt::MouseButton clickButton_ = Qt::NoButton;
};

class ListViewUnit : public ScreenUnit {
 public:
  ListViewUnit(const UnitContext& context, QWidget* parent);

  // The screen object, brought up to date with every pending row and cell.
  QWidget* widget() const override;
  bool readProperty(int32_t number, TypedValue& out) override;
  bool writeProperty(int32_t number, const TypedValue& value) override;

  // Null once the screen object is gone with its window.
  ListWidget* view() const { return view_.data(); }
  ListModel& model() const;

  bool singleSelection() const;
  void setSingleSelection(bool on);
  // The first selected row, -1 when none.
  int32_t selectedRow() const;
  // Property 35 written: stores the row and, with single selection, selects
  // and focuses it (-1 removes the selection).
  void writeSelectedRow(int32_t row);
  // Every row removed; the selection goes with them.
  void clearRows();

 private:
  QPointer<ListWidget> view_;
  int32_t storedSelectedRow_ = -1;
};

// The factory of the ListView kind.
std::unique_ptr<UnitObject> createListViewUnit(const UnitContext& context, ScreenParent* parent);

}  // namespace rt
