// The rows of one query, fetched completely when a record set opens: counts
// are exact and a cursor can move both ways. Cells are kept compactly, one
// storage byte and one end offset per cell over a single byte buffer, so a
// registry of 100 000 learners of 16 columns costs little more than its text.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/field_text.h"
#include "db/sqlite.h"

namespace db {

// How much a snapshot holds; a fetch takes a size known from an earlier
// fetch as a hint.
struct SnapshotSize {
  size_t cells = 0;
  size_t bytes = 0;
};

class Snapshot {
 public:
  struct Column {
    std::string nameUtf8;
    ColumnKind kind = ColumnKind::kPlain;
  };

  // Steps the prepared statement to its end. Answers false (and holds no
  // rows) when the engine reports an error on the way. Room for the hinted
  // size is taken at once instead of growing step by step.
  bool fetch(sqlite3_stmt* statement, SnapshotSize hint = {});

  // A fetch whose first rows are read on another thread while it goes on
  // (rows_ahead.h). Such a fetch never grows what it has taken, since the
  // rows fetched so far are read meanwhile, and it keeps what it fetched
  // when it ends early.
  enum class FetchEnd { kDone, kFailed, kStopped };
  class FetchWatcher {
   public:
    // Told the count of rows fetched every so often; false stops the fetch.
    virtual bool carryOn(int32_t rowsFetched) = 0;
    // The room is full with `rowsFetched` rows: runs `takeMoreRoom`, which
    // moves them, where no one reads them, and answers true; false (nothing
    // run) stops the fetch.
    virtual bool growRoom(int32_t rowsFetched, const std::function<void()>& takeMoreRoom) = 0;

   protected:
    ~FetchWatcher() = default;
  };
  // Empties the snapshot and takes room for the hinted size.
  void reserveFor(SnapshotSize hint);
  // Fetches rows into the room taken, growing it only when the watcher
  // allows.
  FetchEnd fetchWithinRoom(sqlite3_stmt* statement, FetchWatcher& watcher);
  // Gives back room far beyond what the rows hold (the table shrank since
  // the hint). Only while no other thread reads the snapshot.
  void giveBackRoom();
  SnapshotSize size() const { return {storage_.size(), bytes_.size()}; }
  void clear();

  // Filling a snapshot from rows another engine delivered: the columns
  // first, then each row's cells in column order, each row ended by endRow
  // (false when the snapshot cannot hold more).
  void addColumn(std::string nameUtf8, ColumnKind kind) { columns_.push_back({std::move(nameUtf8), kind}); }
  void reserve(size_t cells, size_t bytes);
  void appendText(std::string_view utf8);
  void appendNull();
  bool endRow();

  int32_t rowCount() const { return rowCount_; }
  // The rows of the table whose cells this snapshot reads (its own for a
  // fetched one, the table's for rows picked from a table).
  int32_t tableRowCount() const { return holder().rowCount_; }
  int32_t columnCount() const { return static_cast<int32_t>(columns_.size()); }
  const Column& column(int32_t index) const { return columns_[static_cast<size_t>(index)]; }
  // The first column of that name, ASCII letters without case; -1 when none.
  int32_t findColumn(std::string_view nameUtf8) const;

  FieldValue value(int32_t row, int32_t column) const;

  // The texts of a table read again and again (a kept table) are converted
  // to GB18030 once, for every walk after: makes the converted copy of every
  // text cell (of the table a picked set stands for) unless it exists.
  void keepGbTexts() const;
  // A text cell as GB18030 from that copy; nothing for other cells or
  // without the copy.
  std::optional<std::string_view> gbText(int32_t row, int32_t column) const;

  // The given rows of `table`, in the order given, as a snapshot that shares
  // the table's cells instead of copying them: a search that finds most of
  // a kept table costs one row number per row found.
  static std::shared_ptr<const Snapshot> rowsOf(std::shared_ptr<const Snapshot> table, std::vector<int32_t> rows);

 private:
  int takeColumns(sqlite3_stmt* statement);
  // Steps the statement and appends its rows, growing as needed.
  FetchEnd fetchRows(sqlite3_stmt* statement);
  void appendCell(sqlite3_stmt* statement, int column);
  // The room a fetch within room grows to when `room` is full with `used`
  // and `missing` more are needed now.
  static size_t grownRoom(size_t room, size_t used, size_t missing);
  // The row of the snapshot that holds the cells: this one's own, or the
  // table's row it stands for.
  const Snapshot& holder() const { return table_ ? *table_ : *this; }
  size_t heldRow(int32_t row) const { return static_cast<size_t>(table_ ? picked_[static_cast<size_t>(row)] : row); }

  std::vector<Column> columns_;
  std::vector<Storage> storage_;  // row-major, one per cell
  std::vector<uint32_t> ends_;    // row-major: where each cell's bytes end in bytes_
  std::string bytes_;             // texts (UTF-8) and 8-byte numbers
  int32_t rowCount_ = 0;
  // Set for a snapshot made by rowsOf: the cells are the table's, rows
  // picked_[i] of it; the own cell vectors stay empty.
  std::shared_ptr<const Snapshot> table_;
  std::vector<int32_t> picked_;
  // The GB18030 copy of the text cells, made by keepGbTexts: row-major ends
  // of each cell's bytes (non-text cells take none).
  struct GbTexts {
    std::vector<uint32_t> ends;
    std::string bytes;
  };
  mutable std::unique_ptr<const GbTexts> gb_;
};

}  // namespace db
