// RecordSet: the rows of one query over a bound connection, as a static
// snapshot fetched at open. The cursor stands on a record (0-based) or on
// the end marker (position == record count). The rows of a large read may
// still be arriving while the first are read (rows_ahead.h): a move waits
// for the record it goes to, the count for them all.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/snapshot.h"
#include "runtime/library.h"

namespace db {

class Connection;
class RowsAhead;

// Property numbers of the record set unit.
namespace recordset_property {
inline constexpr int32_t kRecordCount = 10;
inline constexpr int32_t kIsEof = 13;
}  // namespace recordset_property

// Open kinds: the source is statement text or a table name.
inline constexpr int32_t kSourceIsText = 1;
inline constexpr int32_t kSourceIsTable = 2;
// Cursor locations accepted by an open; the snapshot is the client cursor's.
inline constexpr int32_t kFirstCursorLocation = 1;
inline constexpr int32_t kLastCursorLocation = 3;

class RecordSet : public rt::UnitObject {
 public:
  RecordSet();
  ~RecordSet() override;
  RecordSet(const RecordSet&) = delete;
  RecordSet& operator=(const RecordSet&) = delete;
  static std::unique_ptr<rt::UnitObject> create(const rt::UnitContext&);

  // Binds to the connection unit of that window; false (binding unchanged)
  // when that unit is missing or is not a connection.
  bool setConnection(uint32_t windowId, uint32_t unitId);
  // A non-empty source becomes the remembered one; an empty source reopens it.
  bool openRecords(std::string_view sourceGb, int32_t kind, std::optional<int32_t> cursorLocation);
  void closeRecords();

  // The field of the current record as a new GB18030 runtime text (null when
  // empty), which the caller owns; nothing when the set is closed, at the end
  // marker, or has no such field.
  std::optional<char*> fieldByName(std::string_view nameGb);
  std::optional<char*> fieldByIndex(int32_t index);

  bool moveToFirst();
  bool moveToNext();
  // n = 0 is the first record; n = record count is the end marker.
  bool moveToRecord(int32_t n);

  bool isOpen() const { return open_; }
  int32_t recordCount();
  // Whether a step forward would fail: the answer of a move-next/move-back probe.
  bool isEof() { return !hasRecord(position_); }
  const std::string& tableName() const { return tableName_; }

  bool readProperty(int32_t number, rt::TypedValue& out) override;

 private:
  Connection* boundConnection() const;
  std::optional<char*> field(int32_t column);
  // Whether record `row` exists, waiting for it while rows are still being
  // fetched. A fetch that failed leaves the set closed where it failed, as
  // a failed open does.
  bool hasRecord(int32_t row) { return open_ && (row < readable_ || (ahead_ && hasRecordAhead(row))); }
  bool hasRecordAhead(int32_t row);
  // Waits for every record; false when the set is closed.
  bool fetchAll();
  // The column of a field name (GB18030), -1 when none.
  int32_t columnNamed(std::string_view nameGb) const;

  std::optional<std::pair<uint32_t, uint32_t>> binding_;  // window id, unit id
  std::string source_;
  std::string tableName_;
  // Never null; shared with the connection's kept tables (table_cache.h).
  std::shared_ptr<const Snapshot> rows_;
  bool open_ = false;
  int32_t position_ = 0;
  // While the rows are still being fetched: their fetch, and how many of
  // them can be read now.
  std::shared_ptr<RowsAhead> ahead_;
  int32_t readable_ = 0;
  // A walk reads the same fields by name in the same order for every
  // record: the columns of the names asked for are remembered while the
  // set is open, and the search starts after the name found last.
  struct NamedColumn {
    std::string nameGb;
    int32_t column;
    // The name's address when it is a literal of the program, whose bytes
    // never change: the same address then means the same name.
    const char* literal;
    bool is(std::string_view name) const {
      return (literal && literal == name.data() && nameGb.size() == name.size()) || nameGb == name;
    }
  };
  mutable std::vector<NamedColumn> namedColumns_;
  mutable size_t nextNamed_ = 0;
};

}  // namespace db
