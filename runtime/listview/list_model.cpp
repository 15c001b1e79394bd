#include "runtime/listview/list_model.h"

#include <QMetaObject>
#include <algorithm>

#include "runtime/encoding.h"

namespace rt {
namespace {

// Cells are converted only when the view draws them; most cells of this
// program (numbers, dates, plates) are plain ASCII and skip the converter.
QString displayText(std::string_view gb) {
  bool ascii = std::all_of(gb.begin(), gb.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return QString::fromLatin1(gb.data(), static_cast<qsizetype>(gb.size()));
  std::u16string u16 = gbToUtf16(gb);
  return QString(reinterpret_cast<const QChar*>(u16.data()), static_cast<qsizetype>(u16.size()));
}

}  // namespace

ListModel::ListModel(const std::vector<ListColumnTemplate>& columns, QObject* parent) : QAbstractTableModel(parent) {
  titles_.reserve(columns.size());
  for (const ListColumnTemplate& column : columns) titles_.push_back(displayText(column.titleGb));
}

int ListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : announcedRows_; }

int ListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= announcedRows_) return {};
  return displayText(rows_.cell(index.row(), index.column()));
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= static_cast<int>(titles_.size()))
    return {};
  return titles_[static_cast<size_t>(section)];
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

int32_t ListModel::insertRow(int32_t position, std::string_view mainText, const RowAttributes& attributes) {
  int32_t row = std::clamp(position, 0, rows_.rowCount());
  if (row >= announcedRows_) {
    // Past the announced rows: the row joins the pending batch.
    rows_.insert(row, mainText, attributes);
    schedulePublish();
    return row;
  }
  // Rows move under the view's feet: bring it up to date, then announce this one alone.
  publish();
  beginInsertRows(QModelIndex(), row, row);
  rows_.insert(row, mainText, attributes);
  ++announcedRows_;
  endInsertRows();
  return row;
}

void ListModel::clearRows() {
  beginResetModel();
  rows_.clear();
  announcedRows_ = 0;
  dirtyFirstRow_ = dirtyLastRow_ = -1;
  endResetModel();
}

bool ListModel::setCellText(int32_t row, int32_t column, std::string_view text) {
  // Column 0 is the row's main text and exists even in a list without columns.
  if (!rows_.hasRow(row) || column < 0 || column >= std::max<int32_t>(1, columnTotal())) return false;
  rows_.setCell(row, column, text);
  if (row < announcedRows_) markChanged(row, column);
  return true;
}

std::string_view ListModel::cellText(int32_t row, int32_t column) const {
  if (column >= std::max<int32_t>(1, columnTotal())) return {};
  return rows_.cell(row, column);
}

void ListModel::markChanged(int32_t row, int32_t column) {
  if (dirtyFirstRow_ < 0) {
    dirtyFirstRow_ = dirtyLastRow_ = row;
    dirtyFirstColumn_ = dirtyLastColumn_ = column;
  } else {
    dirtyFirstRow_ = std::min(dirtyFirstRow_, row);
    dirtyLastRow_ = std::max(dirtyLastRow_, row);
    dirtyFirstColumn_ = std::min(dirtyFirstColumn_, column);
    dirtyLastColumn_ = std::max(dirtyLastColumn_, column);
  }
  schedulePublish();
}

void ListModel::schedulePublish() {
  if (publishScheduled_) return;
  publishScheduled_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        publishScheduled_ = false;
        publish();
      },
      Qt::QueuedConnection);
}

void ListModel::publish() {
  // A view that handles an event while being told is up to date already.
  if (publishing_ || !hasPendingChanges()) return;
  publishing_ = true;
  if (announcedRows_ < rows_.rowCount()) {
    beginInsertRows(QModelIndex(), announcedRows_, rows_.rowCount() - 1);
    announcedRows_ = rows_.rowCount();
    endInsertRows();
  }
  if (dirtyFirstRow_ >= 0) {
    int32_t lastColumn = std::min(dirtyLastColumn_, columnTotal() - 1);
    QModelIndex topLeft = index(dirtyFirstRow_, dirtyFirstColumn_);
    QModelIndex bottomRight = index(dirtyLastRow_, std::max(lastColumn, dirtyFirstColumn_));
    dirtyFirstRow_ = dirtyLastRow_ = -1;
    if (topLeft.isValid() && bottomRight.isValid()) emit dataChanged(topLeft, bottomRight, {Qt::DisplayRole});
  }
  publishing_ = false;
}

}  // namespace rt
