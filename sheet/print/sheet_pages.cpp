#include "sheet/print/sheet_pages.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

#include "sheet/engine/number_format.h"

namespace sheet::print {
namespace {

constexpr double kPointsPerInch = 72;
constexpr double kPointsPerPixel = 0.75;  // at 96 dots per inch
constexpr double kCellPadding = 1.5;      // points on each side of a cell's text
constexpr double kIndentPoints = 7.5;     // one indent level
constexpr double kMinScale = 0.1, kMaxScale = 4;
constexpr uint32_t kBlack = 0xFF000000, kWhite = 0xFFFFFFFF;
constexpr QRgb kGridColor = 0xFFC0C0C0;
constexpr uint8_t kSolidPattern = 1;

QPageSize pageSizeOf(uint32_t paper) {
  switch (paper) {
    case 1: return QPageSize(QPageSize::Letter);
    case 3: return QPageSize(QPageSize::Tabloid);
    case 5: return QPageSize(QPageSize::Legal);
    case 7: return QPageSize(QPageSize::Executive);
    case 8: return QPageSize(QPageSize::A3);
    case 11: return QPageSize(QPageSize::A5);
    case 12: return QPageSize(QPageSize::JisB4);
    case 13: return QPageSize(QPageSize::JisB5);
    default: return QPageSize(QPageSize::A4);
  }
}

QColor colorOf(uint32_t argb) { return QColor::fromRgba(argb); }

QPen penOf(const BorderLine& line, const StyleTable& styles) {
  QPen pen(colorOf(styles.resolve(line.color, kBlack)));
  pen.setCapStyle(Qt::FlatCap);
  switch (line.style) {
    case LineStyle::kHair: pen.setWidthF(0.25); break;
    case LineStyle::kMedium:
    case LineStyle::kMediumDashed:
    case LineStyle::kMediumDashDot:
    case LineStyle::kMediumDashDotDot:
    case LineStyle::kSlantDashDot: pen.setWidthF(1.0); break;
    case LineStyle::kThick: pen.setWidthF(1.5); break;
    default: pen.setWidthF(0.5); break;
  }
  switch (line.style) {
    case LineStyle::kDashed:
    case LineStyle::kMediumDashed: pen.setStyle(Qt::DashLine); break;
    case LineStyle::kDotted:
    case LineStyle::kHair: pen.setStyle(Qt::DotLine); break;
    case LineStyle::kDashDot:
    case LineStyle::kMediumDashDot:
    case LineStyle::kSlantDashDot: pen.setStyle(Qt::DashDotLine); break;
    case LineStyle::kDashDotDot:
    case LineStyle::kMediumDashDotDot: pen.setStyle(Qt::DashDotDotLine); break;
    default: break;
  }
  return pen;
}

void drawLine(QPainter& painter, const BorderLine& line, const StyleTable& styles, QPointF a, QPointF b) {
  if (line.style == LineStyle::kNone) return;
  QPen pen = penOf(line, styles);
  painter.setPen(pen);
  if (line.style != LineStyle::kDouble) {
    painter.drawLine(a, b);
    return;
  }
  // Two thin lines either side of the edge.
  QPointF normal = a.x() == b.x() ? QPointF(0.6, 0) : QPointF(0, 0.6);
  painter.drawLine(a - normal, b - normal);
  painter.drawLine(a + normal, b + normal);
}

QFont fontOf(const Font& font, double deviceDpi) {
  QFont q(QString::fromStdString(font.name));
  // The painter draws in points: the point size is taken back by the
  // device's resolution, which the painter's scaling adds again.
  q.setPointSizeF(std::max(1.0, font.size) * kPointsPerInch / deviceDpi);
  q.setBold(font.bold);
  q.setItalic(font.italic);
  q.setUnderline(font.underline != 0);
  q.setStrikeOut(font.strike);
  return q;
}

}  // namespace

SheetPages::SheetPages(const Workbook& workbook, const Worksheet& sheet) : workbook_(workbook), sheet_(sheet) {
  paginate();
}

CellRange SheetPages::cells(int index) const {
  const Page& page = pages_.at(static_cast<size_t>(index));
  return {{page.firstRow, page.firstColumn}, {page.lastRow, page.lastColumn}};
}

QPageLayout SheetPages::layout() const {
  const PageSetup& p = sheet_.page;
  return QPageLayout(pageSizeOf(p.paperSize),
                     p.orientation == Orientation::kLandscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                     QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

void SheetPages::paginate() {
  std::optional<CellRange> area = sheet_.printArea ? sheet_.printArea : sheet_.usedRange();
  if (!area) return;
  area_ = *area;
  empty_ = false;
  x_.assign(1, 0);
  x_.reserve(area_.columnCount() + 1);
  for (uint32_t c = area_.first.column; c <= area_.last.column; ++c)
    x_.push_back(x_.back() + (sheet_.columnHidden(c) ? 0 : columnPixels(sheet_.columnWidth(c)) * kPointsPerPixel));
  // Rows without a record of their own have the default height.
  y_.assign(1, 0);
  y_.reserve(area_.rowCount() + 1);
  const auto& records = sheet_.rows();
  auto record = records.lower_bound(area_.first.row);
  for (uint32_t r = area_.first.row; r <= area_.last.row; ++r) {
    double height = sheet_.defaultRowHeight;
    if (record != records.end() && record->first == r) {
      const Row& row = (record++)->second;
      height = row.hidden ? 0 : row.height > 0 ? row.height : height;
    }
    y_.push_back(y_.back() + height);
  }

  const PageSetup& p = sheet_.page;
  QSizeF paper = layout().fullRect(QPageLayout::Point).size();
  paper_ = paper;
  printable_ = QRectF(p.left * kPointsPerInch, p.top * kPointsPerInch,
                      std::max(paper.width() - (p.left + p.right) * kPointsPerInch, kPointsPerInch),
                      std::max(paper.height() - (p.top + p.bottom) * kPointsPerInch, kPointsPerInch));
  if (p.fitToPage) {
    double scale = 1;
    if (p.fitToWidth > 0 && x_.back() > 0) scale = std::min(scale, p.fitToWidth * printable_.width() / x_.back());
    if (p.fitToHeight > 0 && y_.back() > 0) scale = std::min(scale, p.fitToHeight * printable_.height() / y_.back());
    scale_ = std::clamp(scale, kMinScale, 1.0);
  } else {
    scale_ = std::clamp(p.scale / 100.0, kMinScale, kMaxScale);
  }

  // Groups of columns that fit across a page and of rows that fit down one
  // (first and last index into the area).
  auto groups = [&](const std::vector<double>& edges, double room) {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    size_t start = 0;
    for (size_t i = 0; i + 1 < edges.size(); ++i) {
      bool overflows = (edges[i + 1] - edges[start]) * scale_ > room + 1e-6;
      if (overflows && i > start) {
        out.emplace_back(start, i - 1);
        start = i;
      }
    }
    out.emplace_back(start, edges.size() - 2);
    return out;
  };
  auto columns = groups(x_, printable_.width());
  auto rows = groups(y_, printable_.height());
  for (const auto& [rowGroup, columnGroup] : pagesWithContent(rows, columns, p.overThenDown))
    pages_.push_back({area_.first.row + rows[rowGroup].first, area_.first.row + rows[rowGroup].second,
                      area_.first.column + columns[columnGroup].first,
                      area_.first.column + columns[columnGroup].second});
}

// Only pages that show something are printed, as spreadsheet programs do: a
// page is printed when a cell with a value or a format of its own, or the
// first cell of a merged range, lies on it. So a print area as large as the
// whole sheet costs what its cells cost, not what its empty pages would.
std::vector<std::pair<uint32_t, uint32_t>> SheetPages::pagesWithContent(const std::vector<Group>& rowGroups,
                                                                        const std::vector<Group>& columnGroups,
                                                                        bool overThenDown) const {
  std::vector<uint32_t> columnGroupOf(x_.size() - 1);
  for (uint32_t g = 0; g < columnGroups.size(); ++g)
    for (uint32_t c = columnGroups[g].first; c <= columnGroups[g].second; ++c) columnGroupOf[c] = g;
  auto rowGroupOf = [&](uint32_t row) {
    uint32_t at = row - area_.first.row;
    auto it = std::upper_bound(rowGroups.begin(), rowGroups.end(), at,
                               [](uint32_t r, const Group& group) { return r < group.first; });
    return static_cast<uint32_t>(it - rowGroups.begin() - 1);
  };

  std::vector<std::pair<uint32_t, uint32_t>> pages;                 // (row group, column group)
  std::vector<uint32_t> markedBy(columnGroups.size(), UINT32_MAX);  // the row group that marked it last
  const auto& rows = sheet_.rows();
  uint32_t rowGroup = 0;
  for (auto it = rows.lower_bound(area_.first.row); it != rows.end() && it->first <= area_.last.row; ++it) {
    while (area_.first.row + rowGroups[rowGroup].second < it->first) ++rowGroup;
    for (const Cell& cell : it->second.cells) {
      if (cell.column < area_.first.column || cell.column > area_.last.column) continue;
      if (cell.kind == CellKind::kBlank && cell.format == 0) continue;
      uint32_t columnGroup = columnGroupOf[cell.column - area_.first.column];
      if (markedBy[columnGroup] == rowGroup) continue;
      markedBy[columnGroup] = rowGroup;
      pages.emplace_back(rowGroup, columnGroup);
    }
  }
  for (const CellRange& merge : sheet_.merges()) {
    if (!merge.intersects(area_)) continue;
    CellRef first{std::max(merge.first.row, area_.first.row), std::max(merge.first.column, area_.first.column)};
    pages.emplace_back(rowGroupOf(first.row), columnGroupOf[first.column - area_.first.column]);
  }
  auto order = [overThenDown](const std::pair<uint32_t, uint32_t>& a, const std::pair<uint32_t, uint32_t>& b) {
    return overThenDown ? a < b : std::pair(a.second, a.first) < std::pair(b.second, b.first);
  };
  std::sort(pages.begin(), pages.end(), order);
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  return pages;
}

QRectF SheetPages::cellRect(uint32_t row, uint32_t column) const {
  // Callers ask for cells of the area; anything else is held to its edge.
  size_t c = std::clamp(column, area_.first.column, area_.last.column) - area_.first.column;
  size_t r = std::clamp(row, area_.first.row, area_.last.row) - area_.first.row;
  return QRectF(QPointF(x_[c], y_[r]), QPointF(x_[c + 1], y_[r + 1]));
}

QRectF SheetPages::rangeRect(const CellRange& range) const {
  // Merges may reach outside the area: their parts outside count as nothing.
  if (!range.intersects(area_)) return {};
  CellRange inside = range;
  inside.first.row = std::max(inside.first.row, area_.first.row);
  inside.first.column = std::max(inside.first.column, area_.first.column);
  inside.last.row = std::min(inside.last.row, area_.last.row);
  inside.last.column = std::min(inside.last.column, area_.last.column);
  return cellRect(inside.first.row, inside.first.column).united(cellRect(inside.last.row, inside.last.column));
}

const CellRange* SheetPages::mergeOf(CellRef ref) const { return sheet_.mergeAt(ref); }

bool SheetPages::showsNothing(CellRef ref) const {
  if (!area_.contains(ref) || mergeOf(ref)) return false;
  const Cell* cell = sheet_.find(ref);
  return !cell || cell->kind == CellKind::kBlank;
}

void SheetPages::paint(QPainter& painter, int index, double dpi) const {
  if (empty_ || index < 0 || index >= count()) return;
  const Page& page = pages_[static_cast<size_t>(index)];
  QRectF region = cellRect(page.firstRow, page.firstColumn).united(cellRect(page.lastRow, page.lastColumn));
  const PageSetup& p = sheet_.page;
  QPointF origin = printable_.topLeft();
  if (p.centerHorizontally) origin.rx() += (printable_.width() - region.width() * scale_) / 2;
  if (p.centerVertically) origin.ry() += (printable_.height() - region.height() * scale_) / 2;

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.scale(dpi / kPointsPerInch, dpi / kPointsPerInch);
  painter.translate(origin);
  painter.scale(scale_, scale_);
  painter.translate(-region.topLeft());
  painter.setClipRect(region);
  paintFills(painter, page);
  if (p.gridLines) paintGrid(painter, page);
  paintTexts(painter, page, painter.device()->logicalDpiY());
  paintBorders(painter, page);
  painter.restore();
}

void SheetPages::paintFills(QPainter& painter, const Page& page) const {
  const StyleTable& styles = workbook_.styles;
  const auto& rows = sheet_.rows();
  for (auto it = rows.lower_bound(page.firstRow); it != rows.end() && it->first <= page.lastRow; ++it) {
    for (const Cell& cell : it->second.cells) {
      if (cell.column < page.firstColumn || cell.column > page.lastColumn) continue;
      const Fill& fill = styles.fillOf(cell.format);
      if (fill.pattern == 0) continue;
      CellRef ref{it->first, cell.column};
      const CellRange* merge = mergeOf(ref);
      if (merge && merge->first != ref) continue;
      QRectF rect = merge ? rangeRect(*merge) : cellRect(ref.row, ref.column);
      QColor color = colorOf(styles.resolve(fill.foreground, kWhite));
      painter.fillRect(rect, fill.pattern == kSolidPattern ? QBrush(color) : QBrush(color, Qt::Dense4Pattern));
    }
  }
}

void SheetPages::paintGrid(QPainter& painter, const Page& page) const {
  QPen pen{QColor::fromRgba(kGridColor)};
  pen.setWidthF(0.25);
  painter.setPen(pen);
  QRectF region = cellRect(page.firstRow, page.firstColumn).united(cellRect(page.lastRow, page.lastColumn));
  for (uint32_t c = page.firstColumn; c <= page.lastColumn + 1; ++c) {
    double x = x_[c - area_.first.column];
    painter.drawLine(QPointF(x, region.top()), QPointF(x, region.bottom()));
  }
  for (uint32_t r = page.firstRow; r <= page.lastRow + 1; ++r) {
    double y = y_[r - area_.first.row];
    painter.drawLine(QPointF(region.left(), y), QPointF(region.right(), y));
  }
}

void SheetPages::paintTexts(QPainter& painter, const Page& page, double dpi) const {
  CellRange pageRange{{page.firstRow, page.firstColumn}, {page.lastRow, page.lastColumn}};
  const auto& rows = sheet_.rows();
  for (auto it = rows.lower_bound(page.firstRow); it != rows.end() && it->first <= page.lastRow; ++it) {
    for (const Cell& cell : it->second.cells) {
      if (cell.column < page.firstColumn || cell.column > page.lastColumn || cell.kind == CellKind::kBlank) continue;
      CellRef ref{it->first, cell.column};
      const CellRange* merge = mergeOf(ref);
      if (merge && merge->first != ref) continue;
      paintText(painter, page, ref, cell, dpi);
    }
  }
  // Merges that begin on an earlier page show their text here too.
  for (const CellRange& merge : sheet_.merges()) {
    if (!merge.intersects(pageRange) || pageRange.contains(merge.first)) continue;
    if (const Cell* cell = sheet_.find(merge.first); cell && cell->kind != CellKind::kBlank)
      paintText(painter, page, merge.first, *cell, dpi);
  }
}

void SheetPages::paintText(QPainter& painter, const Page& page, CellRef ref, const Cell& cell, double dpi) const {
  const StyleTable& styles = workbook_.styles;
  std::string text = displayText(sheet_, styles, cell);
  if (text.empty()) return;
  const CellFormat& format = styles.format(cell.format);
  const Alignment& a = format.alignment;
  const CellRange* merge = mergeOf(ref);
  QRectF rect = merge ? rangeRect(*merge) : cellRect(ref.row, ref.column);
  if (rect.width() <= 0 || rect.height() <= 0) return;  // hidden, or outside the area
  QFont font = fontOf(styles.fontOf(cell.format), dpi);
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));

  HorizontalAlign h = a.horizontal;
  if (h == HorizontalAlign::kGeneral)
    h = cell.kind == CellKind::kNumber ? HorizontalAlign::kRight
        : cell.kind == CellKind::kText ? HorizontalAlign::kLeft
                                       : HorizontalAlign::kCenter;
  double indent = a.indent * kIndentPoints;
  QFontMetricsF metrics(font, painter.device());
  double width = metrics.horizontalAdvance(shown) + 2 * kCellPadding + indent;

  if (!a.wrap && !merge && width > rect.width()) {
    if (cell.kind == CellKind::kNumber && !a.shrink) {
      // A number never shows in part: a cell too narrow for it is filled with '#'.
      double hash = std::max(1.0, metrics.horizontalAdvance(QLatin1Char('#')));
      auto fit = static_cast<int>((rect.width() - 2 * kCellPadding) / hash);
      shown = QString(std::max(1, fit), QLatin1Char('#'));
    } else if (a.shrink) {
      font.setPointSizeF(std::max(0.5, font.pointSizeF() * rect.width() / width));
    } else {
      // Text runs on into empty neighbours on the side(s) it grows to.
      bool right = h == HorizontalAlign::kLeft || h == HorizontalAlign::kCenter || h == HorizontalAlign::kFill;
      bool left = h == HorizontalAlign::kRight || h == HorizontalAlign::kCenter;
      for (uint32_t c = ref.column + 1;
           right && rect.width() < width && c <= page.lastColumn && showsNothing({ref.row, c}); ++c)
        rect = rect.united(cellRect(ref.row, c));
      for (uint32_t c = ref.column;
           left && rect.width() < width && c > page.firstColumn && showsNothing({ref.row, c - 1}); --c)
        rect = rect.united(cellRect(ref.row, c - 1));
    }
  }

  int flags = a.wrap || a.horizontal == HorizontalAlign::kJustify ? Qt::TextWordWrap : 0;
  switch (h) {
    case HorizontalAlign::kCenter:
    case HorizontalAlign::kCenterContinuous:
    case HorizontalAlign::kDistributed: flags |= Qt::AlignHCenter; break;
    case HorizontalAlign::kRight: flags |= Qt::AlignRight; break;
    case HorizontalAlign::kJustify: flags |= Qt::AlignJustify; break;
    default: flags |= Qt::AlignLeft; break;
  }
  switch (a.vertical) {
    case VerticalAlign::kTop: flags |= Qt::AlignTop; break;
    case VerticalAlign::kCenter:
    case VerticalAlign::kJustify:
    case VerticalAlign::kDistributed: flags |= Qt::AlignVCenter; break;
    case VerticalAlign::kBottom: flags |= Qt::AlignBottom; break;
  }
  QRectF inner = rect.adjusted(kCellPadding + (h == HorizontalAlign::kLeft ? indent : 0), 0,
                               -kCellPadding - (h == HorizontalAlign::kRight ? indent : 0), 0);
  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  painter.setFont(font);
  painter.setPen(colorOf(styles.resolve(styles.fontOf(cell.format).color, kBlack)));
  painter.drawText(inner, flags, shown);
  painter.restore();
}

void SheetPages::paintBorders(QPainter& painter, const Page& page) const {
  const StyleTable& styles = workbook_.styles;
  const auto& rows = sheet_.rows();
  for (auto it = rows.lower_bound(page.firstRow); it != rows.end() && it->first <= page.lastRow; ++it) {
    for (const Cell& cell : it->second.cells) {
      if (cell.column < page.firstColumn || cell.column > page.lastColumn) continue;
      const Border& b = styles.borderOf(cell.format);
      if (b == Border{}) continue;
      CellRef ref{it->first, cell.column};
      QRectF r = cellRect(ref.row, ref.column);
      const CellRange* merge = mergeOf(ref);
      // Inside a merge only the edges on its outline are drawn.
      bool leftEdge = !merge || ref.column == merge->first.column,
           rightEdge = !merge || ref.column == merge->last.column;
      bool topEdge = !merge || ref.row == merge->first.row, bottomEdge = !merge || ref.row == merge->last.row;
      if (leftEdge) drawLine(painter, b.left, styles, r.topLeft(), r.bottomLeft());
      if (rightEdge) drawLine(painter, b.right, styles, r.topRight(), r.bottomRight());
      if (topEdge) drawLine(painter, b.top, styles, r.topLeft(), r.topRight());
      if (bottomEdge) drawLine(painter, b.bottom, styles, r.bottomLeft(), r.bottomRight());
    }
  }
}

}  // namespace sheet::print
