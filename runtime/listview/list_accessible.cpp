#include "runtime/listview/list_accessible.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>
#include <utility>

#include "runtime/listview/list_view_unit.h"

namespace rt {
namespace {

// The row of a column header cell; and of a cell at a position the list does
// not have (any more, or yet).
constexpr int kHeaderRow = -1;
constexpr int kMissingRow = -2;

// One cell of the list, or one column header: a position, read afresh from
// the model at every question, so it never holds on to a row that is gone.
class ListCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
 public:
  ListCellAccessible(ListWidget* view, int row, int column) : view_(view), row_(row), column_(column) {}

  bool isValid() const override {
    if (!view_ || row_ == kMissingRow) return false;
    const QAbstractItemModel& model = view_->listModel();
    bool columnInside = column_ >= 0 && column_ < model.columnCount();
    return columnInside && (row_ == kHeaderRow || (row_ >= 0 && row_ < model.rowCount()));
  }
  QObject* object() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override {
    return view_ ? QAccessible::queryAccessibleInterface(view_) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  void setText(QAccessible::Text, const QString&) override {}

  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return QString();
    const QAbstractItemModel& model = view_->listModel();
    if (row_ == kHeaderRow) return model.headerData(column_, Qt::Horizontal, Qt::DisplayRole).toString();
    return model.data(model.index(row_, column_), Qt::DisplayRole).toString();
  }

  QRect rect() const override {
    if (!isValid()) return QRect();
    if (row_ == kHeaderRow) {
      QHeaderView* header = view_->header();
      QRect section(header->sectionViewportPosition(column_), 0, header->sectionSize(column_), header->height());
      return section.translated(header->viewport()->mapToGlobal(QPoint(0, 0)));
    }
    QRect visual = view_->visualRect(view_->listModel().index(row_, column_));
    return visual.isEmpty() ? QRect() : visual.translated(view_->viewport()->mapToGlobal(QPoint(0, 0)));
  }

  QAccessible::Role role() const override { return row_ == kHeaderRow ? QAccessible::ColumnHeader : QAccessible::Cell; }

  QAccessible::State state() const override {
    QAccessible::State state;
    if (!isValid()) {
      state.invalid = true;
      return state;
    }
    if (rect().isEmpty()) state.invisible = true;
    if (row_ >= 0) {
      state.selectable = true;
      state.selected = isSelected();
    }
    return state;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
  }

  bool isSelected() const override {
    return isValid() && row_ >= 0 && view_->selectionModel() &&
           view_->selectionModel()->isRowSelected(row_, QModelIndex());
  }
  QList<QAccessibleInterface*> columnHeaderCells() const override {
    auto* table = view_ ? static_cast<ListAccessible*>(QAccessible::queryAccessibleInterface(view_)) : nullptr;
    QAccessibleInterface* header = table ? table->headerCell(column_) : nullptr;
    return header ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
  }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return isValid() ? column_ : -1; }
  int rowIndex() const override { return isValid() ? row_ : -1; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

  const ListWidget* view() const { return view_.data(); }
  int row() const { return row_; }
  int column() const { return column_; }

 private:
  QPointer<ListWidget> view_;
  const int row_;
  const int column_;
};

QAccessibleInterface* listAccessibleFactory(const QString& className, QObject* object) {
  if (className != QLatin1String(ListWidget::staticMetaObject.className()) || !object || !object->isWidgetType())
    return nullptr;
  return new ListAccessible(static_cast<ListWidget*>(object));
}

}  // namespace

ListAccessible::ListAccessible(ListWidget* view) : QAccessibleWidget(view, QAccessible::Table) {
  view->setAccessible(this);
}

ListAccessible::~ListAccessible() {
  forgetCells();
  if (ListWidget* list = view()) list->setAccessible(nullptr);
}

ListWidget* ListAccessible::view() const { return static_cast<ListWidget*>(widget()); }

void* ListAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

int ListAccessible::rowCount() const { return isValid() ? view()->listModel().rowCount() : 0; }

int ListAccessible::columnCount() const { return isValid() ? view()->listModel().columnCount() : 0; }

int ListAccessible::childCount() const { return (rowCount() + 1) * columnCount(); }

QAccessibleInterface* ListAccessible::cell(int key, int row, int column) const {
  auto found = cells_.find(key);
  if (found != cells_.end()) {
    if (QAccessibleInterface* known = QAccessible::accessibleInterface(found->second)) return known;
  }
  auto* made = new ListCellAccessible(view(), row, column);
  cells_.insert_or_assign(key, QAccessible::registerAccessibleInterface(made));
  return made;
}

QAccessibleInterface* ListAccessible::headerCell(int column) const {
  if (column < 0 || column >= columnCount()) return nullptr;
  return cell(column, kHeaderRow, column);
}

QAccessibleInterface* ListAccessible::cellAt(int row, int column) const {
  int columns = columnCount();
  if (row < 0 || row >= rowCount() || column < 0 || column >= columns)
    return cell(-1 - std::max(column, 0), kMissingRow, column);
  return cell((row + 1) * columns + column, row, column);
}

QAccessibleInterface* ListAccessible::child(int index) const {
  int columns = columnCount();
  if (index < 0 || columns == 0) return nullptr;
  if (index < columns) return headerCell(index);
  return cellAt(index / columns - 1, index % columns);
}

int ListAccessible::indexOfChild(const QAccessibleInterface* child) const {
  auto* cellOf = dynamic_cast<const ListCellAccessible*>(child);
  if (!cellOf || cellOf->view() != view() || !cellOf->isValid()) return -1;
  if (cellOf->row() == kHeaderRow) return cellOf->column();
  return (cellOf->row() + 1) * columnCount() + cellOf->column();
}

QAccessibleInterface* ListAccessible::childAt(int x, int y) const {
  if (!isValid()) return nullptr;
  QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
  return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
}

QAccessibleInterface* ListAccessible::focusChild() const {
  if (!isValid() || !view()->hasFocus()) return nullptr;
  QModelIndex current = view()->currentIndex();
  if (!current.isValid() || current.row() >= rowCount()) return nullptr;
  return cellAt(current.row(), current.column());
}

QString ListAccessible::columnDescription(int column) const {
  if (column < 0 || column >= columnCount()) return QString();
  return view()->listModel().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

QList<int> ListAccessible::selectedRows() const {
  QList<int> rows;
  if (!isValid() || !view()->selectionModel()) return rows;
  for (const QModelIndex& index : view()->selectionModel()->selectedRows())
    if (index.row() < rowCount()) rows << index.row();
  return rows;
}

int ListAccessible::selectedRowCount() const { return static_cast<int>(selectedRows().size()); }

int ListAccessible::selectedCellCount() const { return selectedRowCount() * columnCount(); }

QList<QAccessibleInterface*> ListAccessible::selectedCells() const {
  QList<QAccessibleInterface*> selected;
  for (int row : selectedRows())
    for (int column = 0; column < columnCount(); ++column) selected << cellAt(row, column);
  return selected;
}

bool ListAccessible::isRowSelected(int row) const {
  return row >= 0 && row < rowCount() && view()->selectionModel() &&
         view()->selectionModel()->isRowSelected(row, QModelIndex());
}

// Cells are positions and read the model afresh, so a change only has to
// drop the cells clients have asked about; the next question makes new ones.
void ListAccessible::modelChange(QAccessibleTableModelChangeEvent* event) {
  if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged) forgetCells();
}

void ListAccessible::forgetCells() {
  const std::unordered_map<int, QAccessible::Id> forgotten = std::exchange(cells_, {});
  for (const auto& entry : forgotten) QAccessible::deleteAccessibleInterface(entry.second);
}

void installListAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&listAccessibleFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace rt
