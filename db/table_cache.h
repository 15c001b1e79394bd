// Whole tables kept in memory by a connection, so that the reads the
// application repeats do not scan the file again and again: a learner looked
// up by identity number for every booking of a date query, the searches of
// the student list, the duplicate scan of a registration.
//
// A plain "SELECT * FROM t" fetches the whole table anyway; its snapshot is
// kept, and so is a snapshot fetched on purpose when like searches on t come
// again and again. While the database stays exactly as it was (no statement executed on
// this connection, nothing committed by another, no transaction open), a
// later plain select of t and a like search
// "SELECT * FROM t WHERE c like '%v%'" are answered from that snapshot: the
// same rows in the same order as the engine would return. Whenever that
// cannot be shown (a plan other than a plain scan, a cell that is not plain
// UTF-8 text, wildcards inside v, a LIKE that is not the engine's default)
// the engine answers as before.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/snapshot.h"

namespace db {

// What a statement asks for, when it is one of the two forms above.
struct TableQuery {
  std::string table;  // as written, quotes undone (UTF-8)
  bool like = false;
  std::string column;  // with a like condition: the column and the v of '%v%'
  std::string value;
};
std::optional<TableQuery> parseTableQuery(std::string_view sqlUtf8);

// One column of a kept table made ready for like searches: its cells, ASCII
// letters in lower case, one after another, each ended by a NUL byte, so
// that a search for a text in any cell is one memmem over all of them.
struct FoldedColumn {
  int32_t column = 0;
  std::string text;
  std::vector<uint32_t> starts;  // where each row's cell begins in `text`
};

// The folded column; nothing when a cell is neither NULL nor well-formed
// UTF-8 text without NUL bytes (the engine must then decide).
std::optional<FoldedColumn> foldColumn(const Snapshot& table, int32_t column);

// The rows of `table` whose folded column contains `value`, ASCII letters
// without case, as the engine's default LIKE '%value%' finds them: NULL
// cells never match, an empty value matches every other cell.
// The rows as their numbers, in table order.
std::vector<int32_t> rowsContaining(const Snapshot& table, const FoldedColumn& folded, std::string_view valueUtf8);

// The state of the database as far as this connection can tell; equal
// stamps mean nothing has changed in between.
struct DataStamp {
  int64_t statementsRun = 0;  // statements executed on this connection
  int64_t changes = 0;        // rows it changed
  int64_t dataVersion = 0;    // commits by other connections
  bool operator==(const DataStamp&) const = default;
};

class TableCache {
 public:
  struct Entry {
    std::string key;  // the table name, ASCII letters in lower case
    DataStamp stamp;
    std::shared_ptr<const Snapshot> rows;
    // Per column: whether like searches on it may be answered here
    // (-1 not yet known), and the column folded for them.
    std::vector<int8_t> likeAnswerable;
    std::vector<std::shared_ptr<const FoldedColumn>> folded;
  };

  static std::string keyOf(std::string_view table);

  // The entry of that table made at `stamp`; null when there is none.
  Entry* find(std::string_view table, const DataStamp& stamp);
  void keep(std::string_view table, const DataStamp& stamp, std::shared_ptr<const Snapshot> rows);
  // Counts a like search on a table that had no entry; the count of such
  // searches at this stamp so far.
  int32_t countSearchWithoutEntry(std::string_view table, const DataStamp& stamp);
  // The size of the table when it was kept last, also after it was forgotten.
  SnapshotSize lastSize(std::string_view table) const;
  void forget();

 private:
  struct Searches {
    std::string key;
    DataStamp stamp;
    int32_t count = 0;
  };
  struct LastSize {
    std::string key;
    SnapshotSize size;
  };
  void rememberSize(const Entry& entry);

  std::vector<Entry> entries_;
  std::vector<Searches> searches_;
  std::vector<LastSize> lastSizes_;
};

}  // namespace db
