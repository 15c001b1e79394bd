// What assistive technology (a screen reader over the accessibility bus)
// sees of a list view: a table whose children are its column headers, then
// its cells row by row.
//
// Written here instead of using Qt's own tree-view accessible because that
// one answers from two sources that disagree while a list changes: its row
// count comes from the model, its cells from the view's laid-out items, which
// lag behind rows announced in a batch and stay empty while the list is on a
// hidden page. A client then asks for a row the view cannot give a cell for,
// and the accessibility bridge of the Qt this program is built with reads
// the missing cell without checking it (a crash). A client may also ask about
// a row that a refill has just removed. Here every answer comes from the
// model, and a cell asked for at a position the list no longer has is a
// cell marked invalid, never nothing.
#pragma once

#include <QAccessibleWidget>
#include <QPointer>

#include <unordered_map>

namespace rt {

class ListWidget;

class ListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit ListAccessible(ListWidget* view);
  ~ListAccessible() override;

  void* interface_cast(QAccessible::InterfaceType type) override;
  int childCount() const override;
  // Index 0 .. columns - 1: the column headers; then the cells row by row.
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  QAccessibleInterface* focusChild() const override;

  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  // Never null: a position outside the list gives an invalid cell.
  QAccessibleInterface* cellAt(int row, int column) const override;
  int selectedCellCount() const override;
  QList<QAccessibleInterface*> selectedCells() const override;
  QString columnDescription(int column) const override;
  QString rowDescription(int) const override { return QString(); }
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override;
  int columnCount() const override;
  int rowCount() const override;
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override;
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int row) const override;
  // Selecting goes through the user's clicks, which raise the list's events.
  bool selectRow(int) override { return false; }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent* event) override;

  // The header cell of a column; null outside the columns.
  QAccessibleInterface* headerCell(int column) const;

 private:
  ListWidget* view() const;
  // The cached interface for a key, made and registered on first use.
  QAccessibleInterface* cell(int key, int row, int column) const;
  void forgetCells();

  // Child index (or, negative, an invalid cell's column) -> interface id.
  mutable std::unordered_map<int, QAccessible::Id> cells_;
};

// Makes the accessible interface of every list view this one.
void installListAccessibility();

}  // namespace rt
