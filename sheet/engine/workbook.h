// The workbook model: sheets of cells (numbers and texts), their formats,
// column widths, row heights, merged ranges, page setup and print area.
//
// Cells are kept compactly: a sheet holds its rows in order, each row its
// cells in column order (16 bytes a cell), and every text of a sheet lives in
// the sheet's text store, NUL-terminated so that file writers can hand it on
// without a copy. Rows and cells written in order are appended; a cell
// written anywhere else costs a search in its row.
//
// Texts are UTF-8 throughout the engine.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/engine/address.h"
#include "sheet/engine/arena.h"
#include "sheet/engine/merged_ranges.h"
#include "sheet/engine/styles.h"

namespace sheet {

// The longest text a cell holds, in UTF-16 units.
inline constexpr size_t kMaxCellTextUnits = 32767;

enum class CellKind : uint8_t { kBlank, kNumber, kText, kBool, kError };

class Cell {
 public:
  uint16_t column = 0;
  CellKind kind = CellKind::kBlank;
  // The value is the result a formula of the file had when it was saved.
  bool formula = false;
  uint32_t format = 0;

  double number() const;
  void setNumber(double value);
  uint32_t textOffset() const { return static_cast<uint32_t>(payload_); }
  uint32_t textLength() const { return static_cast<uint32_t>(payload_ >> 32); }
  void setText(uint32_t offset, uint32_t length) { payload_ = (uint64_t{length} << 32) | offset; }

 private:
  uint64_t payload_ = 0;
};
static_assert(sizeof(Cell) == 16, "cells are kept compact");

struct Row {
  explicit Row(ArenaAllocator<Cell> allocator) : cells(allocator) {}

  std::vector<Cell, ArenaAllocator<Cell>> cells;  // in column order
  double height = 0;                              // points; 0: the sheet's default
  bool customHeight = false;
  bool hidden = false;
  bool hasFormat = false;  // the row's own format applies to its empty cells
  uint32_t format = 0;
};

// Columns first..last (0-based) share one setting.
struct ColumnSpan {
  uint32_t first = 0;
  uint32_t last = 0;
  double width = 0;  // in the files' unit: characters of the default font, padding included; 0: default
  bool customWidth = false;
  bool hidden = false;
  bool hasFormat = false;
  uint32_t format = 0;
};

enum class Orientation : uint8_t { kDefault, kPortrait, kLandscape };

struct PageSetup {
  Orientation orientation = Orientation::kDefault;
  uint32_t paperSize = 9;  // the file formats' paper codes; 9 is A4
  uint32_t scale = 100;    // percent
  bool fitToPage = false;
  uint32_t fitToWidth = 1;  // pages across; 0: as many as needed
  uint32_t fitToHeight = 1;
  // Margins in inches.
  double left = 0.7, right = 0.7, top = 0.75, bottom = 0.75, header = 0.3, footer = 0.3;
  bool centerHorizontally = false;
  bool centerVertically = false;
  bool gridLines = false;
  bool overThenDown = false;  // page order
  std::optional<uint32_t> firstPageNumber;
};

// Converts between the width a user gives a column (characters of the
// default font) and the width stored in files (padding included).
double storedColumnWidth(double userWidth);
double userColumnWidth(double storedWidth);
// A stored width in pixels at 96 dots per inch.
int columnPixels(double storedWidth);
// The stored width of the columns without one of their own, from a sheet's
// base width in characters: the base width and padding, rounded up to a
// multiple of eight pixels.
double defaultStoredColumnWidth(double baseCharacters);

class Worksheet {
 public:
  enum class Kind : uint8_t { kWorksheet, kChart };

  using RowMap = std::map<uint32_t, Row, std::less<uint32_t>, ArenaAllocator<std::pair<const uint32_t, Row>>>;

  explicit Worksheet(std::string name, Kind kind = Kind::kWorksheet)
      : name_(std::move(name)), kind_(kind), rows_(ArenaAllocator<std::pair<const uint32_t, Row>>(arena_)) {}
  // Rows and texts live in the sheet's own arena.
  Worksheet(const Worksheet&) = delete;
  Worksheet& operator=(const Worksheet&) = delete;

  const std::string& name() const { return name_; }
  Kind kind() const { return kind_; }

  // --- cells ---
  const Cell* find(CellRef cell) const;
  std::string_view text(const Cell& cell) const;
  // The format a new cell there starts with: its row's, else its column's.
  uint32_t defaultFormat(CellRef cell) const;
  // The cell (made blank with its default format when new).
  Cell& touch(CellRef cell);
  // False (and nothing changed) when the sheet's text store is full.
  bool setText(CellRef cell, std::string_view utf8, CellKind kind = CellKind::kText);
  void setNumber(CellRef cell, double value, CellKind kind = CellKind::kNumber);
  void setFormat(CellRef cell, uint32_t format);
  // The same on the cell `touch(ref)` gave, which spares looking it up again.
  bool setText(Cell& cell, CellRef ref, std::string_view utf8, CellKind kind = CellKind::kText);
  void setNumber(Cell& cell, CellRef ref, double value, CellKind kind = CellKind::kNumber);
  void setFormat(Cell& cell, CellRef ref, uint32_t format);
  // Empties the value; the format stays.
  void clearValue(CellRef cell);

  const RowMap& rows() const { return rows_; }
  // The memory the rows, cells and texts take.
  size_t memoryFootprint() const { return arena_.footprint(); }
  Row& row(uint32_t index);
  // The cells that hold a value, or a format other than the default one.
  std::optional<CellRange> usedRange() const;

  // --- columns and rows ---
  const std::vector<ColumnSpan>& columns() const { return columns_; }
  // The span holding the column, or null.
  const ColumnSpan* column(uint32_t index) const;
  // Sets the stored width of columns first..last, splitting spans as needed.
  void setColumnWidth(uint32_t first, uint32_t last, double storedWidth);
  // Appends a span read from a file (spans come in order and do not overlap).
  void addColumnSpan(const ColumnSpan& span);
  double columnWidth(uint32_t column) const;  // stored width
  bool columnHidden(uint32_t column) const;
  double rowHeight(uint32_t row) const;  // points
  bool rowHidden(uint32_t row) const;

  double defaultColumnWidth = 0;  // stored width; 0: eight characters of the default font
  double defaultRowHeight = 15;   // points

  // --- merged ranges (merged_ranges.h: never overlapping) ---
  const std::vector<CellRange>& merges() const { return merges_.ranges(); }
  // False (and nothing changed) for a range that cannot be merged.
  bool addMerge(const CellRange& range) { return merges_.add(range); }
  // The ranges of a file, in its order; returns how many were dropped.
  size_t setMerges(const std::vector<CellRange>& ranges) { return merges_.assign(ranges); }
  // The merged range that holds the cell, or null.
  const CellRange* mergeAt(CellRef cell) const { return merges_.at(cell); }

  PageSetup page;
  std::optional<CellRange> printArea;

  // --- what a save of a read file must write back ---
  std::string partName;  // the sheet's part in the file it was read from
  bool trackChanges = false;
  const std::vector<CellRef>& writtenCells() const { return written_; }
  const std::vector<std::pair<uint32_t, uint32_t>>& widthChanges() const { return widthChanges_; }
  bool pageSetupChanged = false;

 private:
  void noteWritten(CellRef cell);
  uint32_t columnFormat(uint32_t column) const;
  Cell* findMutable(CellRef cell);

  std::string name_;
  Kind kind_;
  Arena arena_;  // before everything that lives in it
  RowMap rows_;
  // The row last reached: cells are mostly written row by row.
  uint32_t lastRowIndex_ = UINT32_MAX;
  Row* lastRow_ = nullptr;
  // The text store: blocks of up to kTextBlockBytes, the first ones smaller
  // (a longer text gets a block of its own); a text's offset is its block's
  // index times kTextBlockBytes plus its place in the block. Blocks never
  // move, so the store grows without copying what it holds.
  static constexpr size_t kTextBlockBytes = size_t{1} << 20;
  static constexpr size_t kFirstTextBlockBytes = size_t{4} << 10;
  std::vector<char*> textBlocks_;
  size_t textBlockSize_ = 0;  // bytes the last block holds
  size_t textBlockUsed_ = 0;  // bytes used in it
  std::vector<ColumnSpan> columns_;
  MergedRanges merges_;
  std::vector<CellRef> written_;
  std::vector<std::pair<uint32_t, uint32_t>> widthChanges_;
};

// The file a workbook was read from, kept whole: saving it again copies every
// part that was not changed.
struct SourcePackage {
  std::string bytes;
  std::string workbookPart;  // e.g. "xl/workbook.xml"
  std::string stylesPart;    // empty when the file has none
};

class Workbook {
 public:
  // A new workbook with one empty worksheet named "Sheet1".
  static std::unique_ptr<Workbook> createNew();

  std::vector<std::unique_ptr<Worksheet>> sheets;
  StyleTable styles;
  bool date1904 = false;
  // Set for a workbook read from an .xlsx file.
  std::shared_ptr<const SourcePackage> source;

  Worksheet* sheet(size_t index) { return index < sheets.size() ? sheets[index].get() : nullptr; }
  const Worksheet* sheet(size_t index) const { return index < sheets.size() ? sheets[index].get() : nullptr; }
};

}  // namespace sheet
