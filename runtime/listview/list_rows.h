// The rows of one list view in compact storage: every row's cells are one
// run of bytes (GB18030 texts joined by NUL separators, which no runtime text
// can contain) inside one buffer shared by all rows, plus the row's item
// attributes. No per-cell or per-row heap blocks exist: a registry of
// 100 000 rows of 16 cells is one buffer and one vector, filled without an
// allocation per row and cleared at once.
#pragma once

#include <cstdint>
#include <memory>
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
  // Removes every row. The buffer keeps its room for the next fill, which is
  // usually about as large.
  void clear();

  // The text of a cell; empty for a row outside the list or a cell never set.
  // The view is valid until the next change of the rows.
  std::string_view cell(int32_t row, int32_t column) const;
  // Sets a cell of an existing row (the caller checks the column range).
  void setCell(int32_t row, int32_t column, std::string_view text);

  const RowAttributes& attributes(int32_t row) const { return rows_[static_cast<size_t>(row)].attributes; }
  bool hasRow(int32_t row) const { return row >= 0 && row < rowCount(); }

  // Bytes of the buffer that no row uses any more (for tests and memory checks).
  size_t unusedBytes() const { return unused_; }

 private:
  // A row's bytes are store_[begin, begin + size); it owns `room` bytes there
  // and holds `cells` cells (one more than its separators).
  struct Row {
    uint32_t begin = 0;
    uint32_t size = 0;
    uint32_t room = 0;
    uint32_t cells = 1;
    RowAttributes attributes;
  };
  // Where a cell lies in its row's bytes (offsets from the row's start);
  // begin is npos when the row holds only `cellsHeld` cells, fewer than the
  // column asked for.
  struct Span {
    size_t begin;
    size_t end;
    int32_t cellsHeld;
  };
  // The start of the cell found last (from its row's start), so that walking
  // a row left to right costs one step per cell.
  struct Cursor {
    int32_t row = -1;
    int32_t column = 0;
    size_t begin = 0;
  };

  Span findCell(int32_t row, int32_t column) const;
  std::string_view bytesOf(const Row& row) const { return std::string_view(store_.data() + row.begin, row.size); }
  // Makes the buffer at least `bytes` long, growing it geometrically.
  void growStore(size_t bytes);
  // Makes room for `size` bytes in the row, moving it to the end of the
  // buffer when its own room is too small.
  void reserveRow(int32_t row, size_t size);
  // Replaces `count` bytes at `at` (from the row's start) with `separators`
  // separators followed by `text`.
  void replaceInRow(int32_t row, size_t at, size_t count, size_t separators, std::string_view text);
  void compact();

  // The buffer, grown without filling it first: every byte is written
  // before it is read (zeroing a fill's new room took a twentieth of the
  // program's start).
  struct Store {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0;
    char* data() const { return bytes.get(); }
    size_t size() const { return capacity; }
  };
  // A buffer of `capacity` bytes holding the first `kept` bytes of this one.
  Store storeCopy(size_t capacity, size_t kept) const;

  std::vector<Row> rows_;
  // The rows' bytes are store_[0, used_); the rest is room for the next ones.
  Store store_;
  size_t used_ = 0;
  size_t unused_ = 0;
  mutable Cursor cursor_;
};

}  // namespace rt
