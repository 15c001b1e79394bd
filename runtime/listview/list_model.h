// The item model of a list view. The commands change the rows at once; the
// views learn about the changes in batches: rows appended at the end and
// cells changed since the last publication are announced together (one
// rows-inserted and one data-changed notification), before the view handles
// its next event and in any case at the next turn of the event loop. Filling
// 100 000 rows cell by cell therefore never relays the view out per cell.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string_view>
#include <vector>

#include "runtime/listview/list_rows.h"
#include "runtime/templates.h"

namespace rt {

class ListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  ListModel(const std::vector<ListColumnTemplate>& columns, QObject* parent);

  // The view's side: rows announced so far.
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The commands' side: the rows as they are now.
  int32_t storedRowCount() const { return rows_.rowCount(); }
  int32_t insertRow(int32_t position, std::string_view mainText, const RowAttributes& attributes);
  void clearRows();
  // False (and nothing changed) for a row or column outside the list.
  bool setCellText(int32_t row, int32_t column, std::string_view text);
  std::string_view cellText(int32_t row, int32_t column) const;
  const ListRows& rows() const { return rows_; }
  int32_t columnTotal() const { return static_cast<int32_t>(titles_.size()); }

  // Announces pending rows and changed cells to the views now.
  void publish();

 private:
  bool hasPendingChanges() const { return announcedRows_ < rows_.rowCount() || dirtyFirstRow_ >= 0; }
  void schedulePublish();
  void markChanged(int32_t row, int32_t column);

  ListRows rows_;
  std::vector<QString> titles_;
  int32_t announcedRows_ = 0;
  // The rectangle of announced cells changed since the last publication.
  int32_t dirtyFirstRow_ = -1, dirtyLastRow_ = -1, dirtyFirstColumn_ = 0, dirtyLastColumn_ = 0;
  bool publishScheduled_ = false;
  bool publishing_ = false;
};

}  // namespace rt
