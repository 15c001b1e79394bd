// The cells of one worksheet as the learner import reads them, whatever the
// file they came from: the rows in file order, each with its row number in
// the file, and each row's cells from the first column on. A cell is the text
// it shows (UTF-8) and the kind of value it held, so that the checks can tell
// a number that lost digits from a text. Empty rows are not kept, nor the
// empty cells at the end of a row; the texts live in one store.
//
// A table is bounded: a file of hostile origin cannot make it hold more than
// its limits (cells, a cell's length, columns, all texts), which the readers turn into a
// refusal of the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace learner_import {

enum class CellKind : uint8_t {
  kText,        // a text, or a value shown as its text (a truth value, an error)
  kNumber,      // a number, shown in full: "13800138000", "2.5"
  kDate,        // a date cell, shown as the program's date text "2024年3月5日"
  kLostDigits,  // a number of more than 15 significant digits: not all of them are known
};

struct TableLimits {
  size_t maxCells = 5'000'000;       // kept cells in all (empty cells before a filled one count)
  size_t maxCellCharacters = 32767;  // what a spreadsheet cell holds, in UTF-16 units
  size_t maxColumns = 16384;
  // The texts of all cells together: a file whose cells name one long
  // shared text over and over cannot multiply it beyond this.
  size_t maxTextBytes = size_t{128} << 20;
};

// Why a file gives no table.
enum class ReadFailure : uint8_t {
  kNone,
  kCannotOpen,       // missing, unreadable, not a regular file
  kUnsupportedType,  // the name ends in none of .xlsx, .xls, .csv
  kTooLarge,         // the file or what it unpacks to is beyond the readers' bounds
  kNotReadable,      // not a workbook of its kind, or damaged
  kProtected,        // a workbook that needs a password
  kNoWorksheet,
  kUnknownEncoding,  // a text file in neither UTF-8 nor GB18030
  kCellTooLong,
  kTooManyCells,
  kTooManyColumns,
};

struct ReadError {
  ReadFailure failure = ReadFailure::kNone;
  uint32_t row = 0;     // the row of a cell that broke a limit (1-based), else 0
  uint32_t column = 0;  // its column (1-based), else 0
  std::string detail;   // English, for diagnostics
  explicit operator bool() const { return failure != ReadFailure::kNone; }
};

class Table {
 public:
  struct Cell {
    uint32_t offset = 0;
    uint32_t length = 0;
    CellKind kind = CellKind::kText;
  };
  struct Row {
    uint32_t number = 0;  // 1-based, as the file counts its rows
    uint32_t first = 0;   // index of its first cell
    uint32_t count = 0;
  };

  explicit Table(const TableLimits& limits = {}) : limits_(limits) {}

  // Rows come in increasing order of their numbers, and the cells of a row
  // in increasing order of their columns (0-based); skipped columns are
  // empty. A failure leaves the table as it was before the call.
  // Makes room for texts of `textBytes` and for `cells` cells in all, within
  // the limits, when the reader knows them beforehand: the store then does
  // not grow (copying what it holds) while the rows come in.
  void reserve(size_t textBytes, size_t cells);
  void startRow(uint32_t number);
  ReadError addCell(uint32_t column, std::string_view utf8, CellKind kind = CellKind::kText);
  // Drops the row's empty cells at its end, and the row when nothing is left.
  void finishRow();

  size_t rowCount() const { return rows_.size(); }
  const Row& row(size_t index) const { return rows_[index]; }
  std::span<const Cell> cells(const Row& row) const { return {cells_.data() + row.first, row.count}; }
  std::string_view text(const Cell& cell) const { return {texts_.data() + cell.offset, cell.length}; }
  // The cell at a 0-based column, or an empty one beyond the row's end.
  Cell cellAt(const Row& row, size_t column) const { return column < row.count ? cells_[row.first + column] : Cell{}; }
  // Whether the row holds only blanks (spaces, tabs, line breaks).
  bool isBlank(const Row& row) const;

 private:
  TableLimits limits_;
  std::vector<Row> rows_;
  std::vector<Cell> cells_;
  std::string texts_;
  bool rowOpen_ = false;
};

}  // namespace learner_import
