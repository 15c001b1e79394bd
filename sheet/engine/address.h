// Cell addresses in A1 form: "C3", "a2", "$B$2", "B2:D4". Rows and columns
// are 0-based inside the engine; letters and row numbers are 1-based text.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sheet {

inline constexpr uint32_t kMaxRows = 1048576;
inline constexpr uint32_t kMaxColumns = 16384;

struct CellRef {
  uint32_t row = 0;
  uint32_t column = 0;
  auto operator<=>(const CellRef&) const = default;
};

struct CellRange {
  CellRef first;
  CellRef last;
  bool operator==(const CellRange&) const = default;

  static CellRange single(CellRef cell) { return {cell, cell}; }
  bool contains(CellRef cell) const {
    return cell.row >= first.row && cell.row <= last.row && cell.column >= first.column && cell.column <= last.column;
  }
  bool intersects(const CellRange& other) const {
    return first.row <= other.last.row && other.first.row <= last.row && first.column <= other.last.column &&
           other.first.column <= last.column;
  }
  uint64_t rowCount() const { return uint64_t{last.row} - first.row + 1; }
  uint64_t columnCount() const { return uint64_t{last.column} - first.column + 1; }
  uint64_t cellCount() const { return rowCount() * columnCount(); }
  // The smallest range holding both.
  CellRange hull(const CellRange& other) const;
};

// One cell, letters in either case, each part optionally preceded by '$'.
std::optional<CellRef> parseCell(std::string_view text);
// A cell or two cells joined by ':' (in any corner order); the result is
// normalised so that `first` is the top-left corner.
std::optional<CellRange> parseRange(std::string_view text);
// Column letters of a 0-based column ("A", "AB", "XFD"); columns beyond the
// last give an empty text.
std::string columnName(uint32_t column);
// "C3", "B2:D4" (a single-cell range is written as one cell).
std::string cellName(CellRef cell);
std::string rangeName(const CellRange& range);

}  // namespace sheet
