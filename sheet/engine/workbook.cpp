#include "sheet/engine/workbook.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace sheet {
namespace {

// Width of a digit of the default font in pixels, and the padding a column
// adds around its characters (both at 96 dots per inch).
constexpr double kDigitPixels = 7;
constexpr double kPaddingPixels = 5;
constexpr double kWidthUnits = 256;
constexpr double kDefaultWidthStep = 8;  // pixels
constexpr double kDefaultUserWidth = 8.43;
constexpr size_t kMaxTextStore = std::numeric_limits<uint32_t>::max() - 1;

bool cellBefore(const Cell& cell, uint32_t column) { return cell.column < column; }

}  // namespace

double storedColumnWidth(double userWidth) {
  if (userWidth <= 0) return 0;
  double pixels = userWidth < 1 ? std::round(userWidth * (kDigitPixels + kPaddingPixels))
                                : std::round(userWidth * kDigitPixels) + kPaddingPixels;
  return std::trunc(pixels / kDigitPixels * kWidthUnits) / kWidthUnits;
}

double userColumnWidth(double storedWidth) {
  int pixels = columnPixels(storedWidth);
  if (pixels <= kDigitPixels + kPaddingPixels) return pixels / (kDigitPixels + kPaddingPixels);
  return std::round((pixels - kPaddingPixels) / kDigitPixels * 100) / 100;
}

int columnPixels(double storedWidth) { return static_cast<int>(std::lround(storedWidth * kDigitPixels)); }

double defaultStoredColumnWidth(double baseCharacters) {
  double pixels = std::ceil((baseCharacters * kDigitPixels + kPaddingPixels) / kDefaultWidthStep) * kDefaultWidthStep;
  return std::trunc(pixels / kDigitPixels * kWidthUnits) / kWidthUnits;
}

double Cell::number() const {
  double value;
  std::memcpy(&value, &payload_, sizeof value);
  return value;
}

void Cell::setNumber(double value) { std::memcpy(&payload_, &value, sizeof value); }

// --- cells ---

Row& Worksheet::row(uint32_t index) {
  if (lastRow_ && lastRowIndex_ == index) return *lastRow_;
  RowMap::iterator it;
  ArenaAllocator<Cell> allocator(arena_);
  if (rows_.empty() || rows_.rbegin()->first < index) {
    // Rows written in order are mostly as wide as the one before.
    size_t width = rows_.empty() ? 0 : rows_.rbegin()->second.cells.size();
    it = rows_.emplace_hint(rows_.end(), std::piecewise_construct, std::forward_as_tuple(index),
                            std::forward_as_tuple(allocator));
    it->second.cells.reserve(width);
  } else {
    it = rows_.try_emplace(index, allocator).first;
  }
  lastRowIndex_ = index;
  lastRow_ = &it->second;
  return it->second;
}

Cell* Worksheet::findMutable(CellRef ref) {
  Row* row = nullptr;
  if (lastRow_ && lastRowIndex_ == ref.row) {
    row = lastRow_;
  } else {
    auto it = rows_.find(ref.row);
    if (it == rows_.end()) return nullptr;
    row = &it->second;
  }
  auto& cells = row->cells;
  auto it = std::lower_bound(cells.begin(), cells.end(), ref.column, cellBefore);
  return it != cells.end() && it->column == ref.column ? &*it : nullptr;
}

const Cell* Worksheet::find(CellRef ref) const { return const_cast<Worksheet*>(this)->findMutable(ref); }

std::string_view Worksheet::text(const Cell& cell) const {
  if (cell.kind != CellKind::kText && cell.kind != CellKind::kError) return {};
  uint32_t offset = cell.textOffset();
  return {textBlocks_[offset / kTextBlockBytes] + offset % kTextBlockBytes, cell.textLength()};
}

uint32_t Worksheet::columnFormat(uint32_t index) const {
  if (columns_.empty()) return 0;
  const ColumnSpan* span = column(index);
  return span && span->hasFormat ? span->format : 0;
}

uint32_t Worksheet::defaultFormat(CellRef ref) const {
  const Row* r = lastRow_ && lastRowIndex_ == ref.row ? lastRow_ : nullptr;
  if (!r) {
    auto it = rows_.find(ref.row);
    r = it != rows_.end() ? &it->second : nullptr;
  }
  if (r && r->hasFormat) return r->format;
  return columnFormat(ref.column);
}

Cell& Worksheet::touch(CellRef ref) {
  Row& r = row(ref.row);
  auto& cells = r.cells;
  if (cells.empty() || cells.back().column < ref.column) {
    Cell made;
    made.column = static_cast<uint16_t>(ref.column);
    made.format = r.hasFormat ? r.format : columnFormat(ref.column);
    return cells.emplace_back(made);
  }
  auto it = std::lower_bound(cells.begin(), cells.end(), ref.column, cellBefore);
  if (it != cells.end() && it->column == ref.column) return *it;
  Cell made;
  made.column = static_cast<uint16_t>(ref.column);
  made.format = r.hasFormat ? r.format : columnFormat(ref.column);
  return *cells.insert(it, made);
}

void Worksheet::noteWritten(CellRef ref) {
  if (trackChanges) written_.push_back(ref);
}

bool Worksheet::setText(CellRef ref, std::string_view utf8, CellKind kind) {
  return setText(touch(ref), ref, utf8, kind);
}

bool Worksheet::setText(Cell& cell, CellRef ref, std::string_view utf8, CellKind kind) {
  size_t needed = utf8.size() + 1;
  if (textBlockUsed_ + needed > textBlockSize_) {
    // A new block, twice the last one up to kTextBlockBytes, or a block of
    // its own for a text longer than that.
    if ((textBlocks_.size() + 1 + needed / kTextBlockBytes) * kTextBlockBytes > kMaxTextStore) return false;
    size_t size = std::min(kTextBlockBytes, kFirstTextBlockBytes << std::min<size_t>(textBlocks_.size(), 8));
    textBlockSize_ = std::max(needed, size);
    textBlocks_.push_back(static_cast<char*>(arena_.allocate(textBlockSize_)));
    textBlockUsed_ = 0;
  }
  size_t offset = (textBlocks_.size() - 1) * kTextBlockBytes + textBlockUsed_;
  char* at = textBlocks_.back() + textBlockUsed_;
  std::memcpy(at, utf8.data(), utf8.size());
  at[utf8.size()] = '\0';
  textBlockUsed_ += needed;
  cell.kind = kind;
  cell.formula = false;
  cell.setText(static_cast<uint32_t>(offset), static_cast<uint32_t>(utf8.size()));
  noteWritten(ref);
  return true;
}

void Worksheet::setNumber(CellRef ref, double value, CellKind kind) { setNumber(touch(ref), ref, value, kind); }

void Worksheet::setNumber(Cell& cell, CellRef ref, double value, CellKind kind) {
  cell.kind = kind;
  cell.formula = false;
  cell.setNumber(value);
  noteWritten(ref);
}

void Worksheet::setFormat(CellRef ref, uint32_t format) { setFormat(touch(ref), ref, format); }

void Worksheet::setFormat(Cell& cell, CellRef ref, uint32_t format) {
  if (cell.format == format) return;
  cell.format = format;
  noteWritten(ref);
}

void Worksheet::clearValue(CellRef ref) {
  Cell* cell = findMutable(ref);
  if (!cell) {
    if (trackChanges && defaultFormat(ref) != 0) noteWritten(ref);
    return;
  }
  cell->kind = CellKind::kBlank;
  cell->formula = false;
  cell->setNumber(0);
  noteWritten(ref);
}

std::optional<CellRange> Worksheet::usedRange() const {
  std::optional<CellRange> used;
  for (const auto& [index, r] : rows_) {
    for (const Cell& cell : r.cells) {
      if (cell.kind == CellKind::kBlank && cell.format == 0) continue;
      CellRange here = CellRange::single({index, cell.column});
      used = used ? used->hull(here) : here;
    }
  }
  for (const CellRange& merge : merges()) used = used ? used->hull(merge) : merge;
  return used;
}

// --- columns and rows ---

const ColumnSpan* Worksheet::column(uint32_t index) const {
  auto it = std::upper_bound(columns_.begin(), columns_.end(), index,
                             [](uint32_t c, const ColumnSpan& span) { return c < span.first; });
  if (it == columns_.begin()) return nullptr;
  --it;
  return index <= it->last ? &*it : nullptr;
}

void Worksheet::addColumnSpan(const ColumnSpan& span) {
  if (!columns_.empty() && span.first <= columns_.back().last) return;  // overlapping spans: the first wins
  columns_.push_back(span);
}

void Worksheet::setColumnWidth(uint32_t first, uint32_t last, double storedWidth) {
  std::vector<ColumnSpan> result;
  result.reserve(columns_.size() + 3);
  auto widened = [&](ColumnSpan span, uint32_t a, uint32_t b) {
    span.first = a;
    span.last = b;
    span.width = storedWidth;
    span.customWidth = true;
    return span;
  };
  uint32_t uncovered = first;  // the first column of [first, last] no span has covered yet
  for (const ColumnSpan& span : columns_) {
    if (span.last < first || span.first > last) {
      result.push_back(span);
      continue;
    }
    if (span.first < first) {
      ColumnSpan before = span;
      before.last = first - 1;
      result.push_back(before);
    }
    uint32_t a = std::max(span.first, first), b = std::min(span.last, last);
    if (uncovered < a) result.push_back(widened(ColumnSpan{}, uncovered, a - 1));
    result.push_back(widened(span, a, b));
    uncovered = b + 1;
    if (span.last > last) {
      ColumnSpan after = span;
      after.first = last + 1;
      result.push_back(after);
    }
  }
  if (uncovered <= last) result.push_back(widened(ColumnSpan{}, uncovered, last));
  std::sort(result.begin(), result.end(), [](const ColumnSpan& a, const ColumnSpan& b) { return a.first < b.first; });
  columns_ = std::move(result);
  if (trackChanges) widthChanges_.emplace_back(first, last);
}

double Worksheet::columnWidth(uint32_t index) const {
  const ColumnSpan* span = column(index);
  if (span && span->width > 0) return span->width;
  return defaultColumnWidth > 0 ? defaultColumnWidth : storedColumnWidth(kDefaultUserWidth);
}

bool Worksheet::columnHidden(uint32_t index) const {
  const ColumnSpan* span = column(index);
  return span && span->hidden;
}

double Worksheet::rowHeight(uint32_t index) const {
  auto it = rows_.find(index);
  if (it != rows_.end() && it->second.height > 0) return it->second.height;
  return defaultRowHeight;
}

bool Worksheet::rowHidden(uint32_t index) const {
  auto it = rows_.find(index);
  return it != rows_.end() && it->second.hidden;
}

std::unique_ptr<Workbook> Workbook::createNew() {
  auto workbook = std::make_unique<Workbook>();
  workbook->sheets.push_back(std::make_unique<Worksheet>("Sheet1"));
  return workbook;
}

}  // namespace sheet
