#include "sheet/engine/merged_ranges.h"

#include <algorithm>
#include <bit>

namespace sheet {

bool MergedRanges::acceptable(const CellRange& range) const {
  if (range.first == range.last || range.last.row >= kMaxRows || range.last.column >= kMaxColumns ||
      range.first.row > range.last.row || range.first.column > range.last.column)
    return false;
  // A sheet holds few merged ranges (a form some hundreds), and the readers
  // bound their number, so each new one is compared with all the others.
  return std::none_of(ranges_.begin(), ranges_.end(), [&](const CellRange& taken) { return taken.intersects(range); });
}

// Files the range's rows as aligned blocks: from its first row on, the
// longest block that starts there and ends within the range, each time.
void MergedRanges::file(uint32_t index, std::vector<Entry>& into) {
  const CellRange& range = ranges_[index];
  uint32_t row = range.first.row;
  const uint32_t end = range.last.row + 1;
  while (row < end) {
    uint32_t level = row == 0 ? kLevels - 1 : static_cast<uint32_t>(std::countr_zero(row));
    while ((uint32_t{1} << level) > end - row) --level;
    into.push_back({level << kLevelShift | row >> level, static_cast<uint16_t>(range.first.column),
                    static_cast<uint16_t>(range.last.column), index});
    levelsUsed_ |= uint32_t{1} << level;
    row += uint32_t{1} << level;
  }
}

void MergedRanges::rebuild() {
  entries_.clear();
  levelsUsed_ = 0;
  for (uint32_t i = 0; i < ranges_.size(); ++i) file(i, entries_);
  std::sort(entries_.begin(), entries_.end());
}

bool MergedRanges::add(const CellRange& range) {
  if (!acceptable(range)) return false;
  ranges_.push_back(range);
  std::vector<Entry> added;
  file(static_cast<uint32_t>(ranges_.size() - 1), added);
  for (const Entry& entry : added) entries_.insert(std::upper_bound(entries_.begin(), entries_.end(), entry), entry);
  return true;
}

size_t MergedRanges::assign(const std::vector<CellRange>& candidates) {
  ranges_.clear();
  for (const CellRange& range : candidates)
    if (acceptable(range)) ranges_.push_back(range);
  rebuild();
  return candidates.size() - ranges_.size();
}

const CellRange* MergedRanges::at(CellRef cell) const {
  if (cell.row >= kMaxRows || cell.column >= kMaxColumns) return nullptr;
  for (uint32_t levels = levelsUsed_; levels != 0; levels &= levels - 1) {
    auto level = static_cast<uint32_t>(std::countr_zero(levels));
    Entry probe{level << kLevelShift | cell.row >> level, static_cast<uint16_t>(cell.column), 0, 0};
    // The last entry of the block that starts at or before the column.
    auto it = std::upper_bound(entries_.begin(), entries_.end(), probe);
    if (it == entries_.begin()) continue;
    --it;
    if (it->block == probe.block && it->lastColumn >= cell.column) return &ranges_[it->range];
  }
  return nullptr;
}

}  // namespace sheet
