// The merged ranges of a sheet. They never overlap, as in the spreadsheet
// programs, which drop such a range when they meet it in a file: a range that
// overlaps one taken before it, or that holds a single cell, is not taken.
//
// The range holding a cell is found in logarithmic time, however many ranges
// there are: each range is filed under the aligned blocks of rows (1, 2, 4,
// ... rows long) that together make up its rows, at most two blocks of each
// length. The ranges filed under one block all cover each of its rows, so no
// two of them share a column, and a cell's range is found by a binary search
// of its columns in each block that holds the cell's row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sheet/engine/address.h"

namespace sheet {

class MergedRanges {
 public:
  const std::vector<CellRange>& ranges() const { return ranges_; }
  bool empty() const { return ranges_.empty(); }

  // Takes the range unless it holds a single cell, reaches outside the
  // sheet or overlaps a range taken before; false when it was not taken.
  bool add(const CellRange& range);
  // Replaces the ranges by these, taken in their order as add() takes them;
  // returns how many were dropped.
  size_t assign(const std::vector<CellRange>& candidates);
  // The range that holds the cell, or null.
  const CellRange* at(CellRef cell) const;

 private:
  struct Entry {
    uint32_t block;  // level << kLevelShift | the block's index at that level
    uint16_t firstColumn;
    uint16_t lastColumn;
    uint32_t range;  // index into ranges_
    bool operator<(const Entry& other) const {
      return block != other.block ? block < other.block : firstColumn < other.firstColumn;
    }
  };
  static constexpr uint32_t kLevelShift = 20;  // kMaxRows is 1 << 20
  static constexpr uint32_t kLevels = 21;

  bool acceptable(const CellRange& range) const;
  void file(uint32_t index, std::vector<Entry>& into);
  void rebuild();

  std::vector<CellRange> ranges_;
  std::vector<Entry> entries_;  // sorted
  uint32_t levelsUsed_ = 0;     // bit L: some entry is filed at level L
};

}  // namespace sheet
