// A worksheet cut into printed pages and painted with QPainter, as a
// spreadsheet prints it: the print area (or the used cells), the columns'
// widths and the rows' heights, merged cells, fills, borders, fonts and
// alignment, the page's paper, orientation and margins, centring, and the
// scale or the fit to a number of pages. Text too wide for its cell runs on
// into empty neighbours unless it wraps. Pages with nothing on them are not
// printed. Headers and footers, pictures and manual page breaks are not drawn.
#pragma once

#include <QPageLayout>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <utility>
#include <vector>

#include "sheet/engine/workbook.h"

class QPainter;

namespace sheet::print {

class SheetPages {
 public:
  SheetPages(const Workbook& workbook, const Worksheet& sheet);

  int count() const { return static_cast<int>(pages_.size()); }
  // The cells of page `index` (0-based; 0 <= index < count()).
  CellRange cells(int index) const;
  // Paper, orientation and no margins (pages are painted on the full page).
  QPageLayout layout() const;
  // Paints page `index` (0-based) on a painter whose device has `dpi` dots per inch.
  void paint(QPainter& painter, int index, double dpi) const;

 private:
  struct Page {
    uint32_t firstRow, lastRow, firstColumn, lastColumn;
  };
  using Group = std::pair<uint32_t, uint32_t>;  // first and last row or column, from the area's start

  void paginate();
  std::vector<std::pair<uint32_t, uint32_t>> pagesWithContent(const std::vector<Group>& rowGroups,
                                                              const std::vector<Group>& columnGroups,
                                                              bool overThenDown) const;
  QRectF cellRect(uint32_t row, uint32_t column) const;
  QRectF rangeRect(const CellRange& range) const;
  void paintFills(QPainter& painter, const Page& page) const;
  void paintGrid(QPainter& painter, const Page& page) const;
  void paintTexts(QPainter& painter, const Page& page, double dpi) const;
  void paintText(QPainter& painter, const Page& page, CellRef ref, const Cell& cell, double dpi) const;
  void paintBorders(QPainter& painter, const Page& page) const;
  // The cell of a merge that shows it, or the cell itself.
  const CellRange* mergeOf(CellRef ref) const;
  bool showsNothing(CellRef ref) const;

  const Workbook& workbook_;
  const Worksheet& sheet_;
  CellRange area_{};
  bool empty_ = true;
  double scale_ = 1;
  // Left edges of the area's columns and top edges of its rows in points
  // (one more than the count: the far edge).
  std::vector<double> x_;
  std::vector<double> y_;
  QSizeF paper_;      // points, oriented
  QRectF printable_;  // points, within the paper
  std::vector<Page> pages_;
};

}  // namespace sheet::print
