// The rows of one list view in compact storage: each row keeps its cells as
// one byte string (GB18030 texts joined by NUL separators, which no runtime
// text can contain) plus its item attributes. No per-cell objects exist, so a
// registry of 100 000 rows of 16 cells costs one allocation per row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rt {

// What a row carries besides its texts. The runtime stores them as given;
// the list shows no images, state images or indents.
struct RowAttributes {
  int32_t image = -1;       // -1: no image
  int32_t stateImage = -1;  // the state-image argument as given; it has no visible effect
  int32_t indent = 0;
  int32_t itemData = 0;
};

class ListRows {
 public:
  int32_t rowCount() const { return static_cast<int32_t>(rows_.size()); }

  // Inserts a row before `position` (clamped to the end) and returns its number.
  int32_t insert(int32_t position, std::string_view mainText, const RowAttributes& attributes);
  void clear();

  // The text of a cell; empty for a row outside the list or a cell never set.
  std::string_view cell(int32_t row, int32_t column) const;
  // Sets a cell of an existing row (the caller checks the column range).
  void setCell(int32_t row, int32_t column, std::string_view text);

  const RowAttributes& attributes(int32_t row) const { return rows_[static_cast<size_t>(row)].attributes; }
  bool hasRow(int32_t row) const { return row >= 0 && row < rowCount(); }

 private:
  struct Row {
    std::string cells;  // cell 0 NUL cell 1 NUL ...; missing trailing cells are empty
    RowAttributes attributes;
  };
  // Where a cell lies in its row's bytes; begin is npos when the row holds
  // only `cellsHeld` cells, fewer than the column asked for.
  struct Span {
    size_t begin;
    size_t end;
    int32_t cellsHeld;
  };
  // The start of the cell found last, so that walking a row left to right
  // costs one step per cell.
  struct Cursor {
    int32_t row = -1;
    int32_t column = 0;
    size_t begin = 0;
  };

  Span findCell(int32_t row, int32_t column) const;

  std::vector<Row> rows_;
  mutable Cursor cursor_;
};

}  // namespace rt
