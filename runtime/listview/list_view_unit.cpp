#include "runtime/listview/list_view_unit.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>

#include "runtime/error.h"
#include "runtime/events.h"
#include "runtime/listview/list_accessible.h"
#include "runtime/properties.h"
#include "runtime/qt/fonts.h"

namespace rt {
namespace {

// A list built without a template gets the style every template of this program stores.
constexpr bool kDefaultSingleSelection = true;
constexpr int32_t kNoRow = -1;
// A column may be as narrow as its template or the user makes it.
constexpr int kNarrowestColumn = 0;

}  // namespace

ListWidget::ListWidget(const UnitContext& context, QWidget* parent) : QTreeView(parent), context_(context) {
  installListAccessibility();
  static const std::vector<ListColumnTemplate> kNoColumns;
  model_ = new ListModel(context.tpl ? context.tpl->columns : kNoColumns, this);
  setModel(model_);
  // Report mode: flat rows of equal height, whole-row selection, no editing.
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  bool single = context.tpl ? context.tpl->singleSelection : kDefaultSingleSelection;
  setSelectionMode(single ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  if (context.tpl) applyTemplate(*context.tpl);
}

ListWidget::~ListWidget() {
  if (accessible_) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(accessible_));
}

// Columns take their template widths, however narrow: the header's own
// minimum (derived from the font, about 40 pixels) would widen a 35-pixel
// column. The font comes first, since a font change recomputes sizes.
void ListWidget::applyTemplate(const UnitTemplate& tpl) {
  if (tpl.hasFont) setFont(fontOf(tpl.font));
  header()->setMinimumSectionSize(kNarrowestColumn);
  for (size_t column = 0; column < tpl.columns.size(); ++column)
    header()->resizeSection(static_cast<int>(column), tpl.columns[column].width);
  setGeometry(tpl.left, tpl.top, tpl.width, tpl.height);
}

bool ListWidget::event(QEvent* e) {
  if (model_) model_->publish();
  return QTreeView::event(e);
}

bool ListWidget::viewportEvent(QEvent* e) {
  if (model_) model_->publish();
  return QTreeView::viewportEvent(e);
}

void ListWidget::mousePressEvent(QMouseEvent* e) {
  QTreeView::mousePressEvent(e);
  // A press on the blank area below the rows deselects, as report lists do.
  if (!indexAt(e->position().toPoint()).isValid()) selectionModel()->clearSelection();
  clickButton_ = e->button();
}

void ListWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  QTreeView::mouseDoubleClickEvent(e);
  clickButton_ = Qt::NoButton;
}

void ListWidget::mouseReleaseEvent(QMouseEvent* e) {
  Qt::MouseButton clicked = clickButton_;
  clickButton_ = Qt::NoButton;
  QTreeView::mouseReleaseEvent(e);
  if (e->button() != clicked) return;
  // The handler may unload the window (and this widget): raising is the last step.
  if (clicked == Qt::LeftButton)
    raiseEvent(context_.windowId, context_.unitId, event::kListClick);
  else if (clicked == Qt::RightButton)
    raiseEvent(context_.windowId, context_.unitId, event::kListRightClick);
}

ListViewUnit::ListViewUnit(const UnitContext& context, QWidget* parent)
    : ScreenUnit(context),
      view_(new ListWidget(context, parent)),
      storedSelectedRow_(context.tpl ? std::max(context.tpl->selectedRow, kNoRow) : kNoRow) {}

QWidget* ListViewUnit::widget() const {
  if (view_) view_->listModel().publish();
  return view_.data();
}

ListModel& ListViewUnit::model() const {
  if (!view_) fatalUtf8("指定窗口或窗口组件不存在或尚未载入", context().windowId, context().unitId);
  return view_->listModel();
}

bool ListViewUnit::singleSelection() const {
  return view_ && view_->selectionMode() == QAbstractItemView::SingleSelection;
}

void ListViewUnit::setSingleSelection(bool on) {
  if (!view_) return;
  view_->setSelectionMode(on ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
}

int32_t ListViewUnit::selectedRow() const {
  if (!view_) return kNoRow;
  int32_t first = kNoRow;
  for (const QItemSelectionRange& range : view_->selectionModel()->selection())
    if (first == kNoRow || range.top() < first) first = range.top();
  return first;
}

void ListViewUnit::writeSelectedRow(int32_t row) {
  row = std::max(row, kNoRow);
  storedSelectedRow_ = row;
  if (!view_ || !singleSelection()) return;
  ListModel& listModel = view_->listModel();
  listModel.publish();
  QItemSelectionModel* selection = view_->selectionModel();
  if (row == kNoRow) {
    selection->clear();
    return;
  }
  if (row >= listModel.rowCount()) return;  // no such row: the selection stays as it is
  selection->setCurrentIndex(listModel.index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ListViewUnit::clearRows() {
  model().clearRows();
  storedSelectedRow_ = kNoRow;
}

bool ListViewUnit::readProperty(int32_t number, TypedValue& out) {
  switch (number) {
    case prop::kListSingleSelection: out = TypedValue::ofBool(singleSelection()); return true;
    case prop::kListSelectedRow: out = TypedValue::ofInt(selectedRow()); return true;
    default: return false;
  }
}

bool ListViewUnit::writeProperty(int32_t number, const TypedValue& value) {
  switch (number) {
    case prop::kListSingleSelection: setSingleSelection(value.asBool()); return true;
    case prop::kListSelectedRow: writeSelectedRow(value.asInt()); return true;
    default: return false;
  }
}

std::unique_ptr<UnitObject> createListViewUnit(const UnitContext& context, ScreenParent* parent) {
  return std::make_unique<ListViewUnit>(context, widgetOf(parent));
}

}  // namespace rt
