#include "import/table.h"

#include <algorithm>
#include <limits>

#include "base/utf8.h"

namespace learner_import {

void Table::reserve(size_t textBytes, size_t cells) {
  texts_.reserve(std::min(textBytes, limits_.maxTextBytes));
  cells_.reserve(std::min(cells, limits_.maxCells));
}

void Table::startRow(uint32_t number) {
  if (rowOpen_) finishRow();
  rows_.push_back({number, static_cast<uint32_t>(cells_.size()), 0});
  rowOpen_ = true;
}

ReadError Table::addCell(uint32_t column, std::string_view utf8, CellKind kind) {
  Row& row = rows_.back();
  auto failure = [&](ReadFailure why, std::string detail) {
    return ReadError{why, row.number, column + 1, std::move(detail)};
  };
  if (column >= limits_.maxColumns) return failure(ReadFailure::kTooManyColumns, "a cell beyond the last column");
  if (utf8.size() > limits_.maxCellCharacters && base::utf16Length(utf8) > limits_.maxCellCharacters)
    return failure(ReadFailure::kCellTooLong, "a cell longer than a spreadsheet cell holds");
  if (utf8.empty() && kind == CellKind::kText) return {};  // an empty cell is kept only before a filled one
  size_t needed = column >= row.count ? column + 1 - row.count : 0;
  if (cells_.size() + needed > limits_.maxCells) return failure(ReadFailure::kTooManyCells, "too many cells");
  if (texts_.size() + utf8.size() > std::min<size_t>(limits_.maxTextBytes, std::numeric_limits<uint32_t>::max()))
    return failure(ReadFailure::kTooLarge, "more text than the table holds");
  cells_.resize(cells_.size() + needed);
  row.count += static_cast<uint32_t>(needed);
  Cell& cell = cells_[row.first + column];
  cell = {static_cast<uint32_t>(texts_.size()), static_cast<uint32_t>(utf8.size()), kind};
  texts_.append(utf8);
  return {};
}

void Table::finishRow() {
  if (!rowOpen_) return;
  rowOpen_ = false;
  Row& row = rows_.back();
  while (row.count > 0 && cells_[row.first + row.count - 1].length == 0) --row.count;
  cells_.resize(row.first + row.count);
  if (row.count == 0) rows_.pop_back();
}

bool Table::isBlank(const Row& row) const {
  for (const Cell& cell : cells(row))
    for (char c : text(cell))
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  return true;
}

}  // namespace learner_import
