#include "db/snapshot.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "db/texts.h"
#include "runtime/encoding.h"

namespace db {
namespace {

constexpr size_t kMaxBytes = std::numeric_limits<uint32_t>::max();
constexpr int32_t kMaxRows = std::numeric_limits<int32_t>::max();
constexpr size_t kSlackBytes = 1 << 16;
constexpr size_t kSlackCells = 1 << 12;
// A table read again has often grown since by a row or a few (the refill
// after a registration): the hinted room gets this share more, so that the
// new rows do not double a buffer of megabytes, copying all it holds.
constexpr size_t kHintMarginShare = 8;

size_t withMargin(size_t hinted) { return hinted + hinted / kHintMarginShare; }

Storage storageOf(int engineType) {
  switch (engineType) {
    case SQLITE_INTEGER: return Storage::kInteger;
    case SQLITE_FLOAT: return Storage::kReal;
    case SQLITE_TEXT: return Storage::kText;
    case SQLITE_BLOB: return Storage::kBlob;
    default: return Storage::kNull;
  }
}

}  // namespace

void Snapshot::clear() {
  columns_.clear();
  storage_ = {};
  ends_ = {};
  bytes_ = {};
  rowCount_ = 0;
  table_.reset();
  picked_ = {};
  gb_.reset();
}

bool Snapshot::fetch(sqlite3_stmt* statement, SnapshotSize hint) {
  clear();
  storage_.reserve(withMargin(hint.cells));
  ends_.reserve(withMargin(hint.cells));
  bytes_.reserve(withMargin(hint.bytes));
  // Every engine call takes the connection's mutex; holding it for the whole
  // fetch makes each of them a re-entry.
  sqlite3_mutex* mutex = sqlite3_db_mutex(sqlite3_db_handle(statement));
  sqlite3_mutex_enter(mutex);
  struct Release {
    sqlite3_mutex* mutex;
    ~Release() { sqlite3_mutex_leave(mutex); }
  } release{mutex};
  int count = -1;
  for (;;) {
    int rc = sqlite3_step(statement);
    if (count < 0) count = takeColumns(statement);
    if (rc == SQLITE_DONE) {
      // A hint far above what came (the table shrank) gives its room back.
      if (bytes_.capacity() > 2 * bytes_.size() + kSlackBytes) bytes_.shrink_to_fit();
      if (storage_.capacity() > 2 * storage_.size() + kSlackCells) {
        storage_.shrink_to_fit();
        ends_.shrink_to_fit();
      }
      return true;
    }
    if (rc != SQLITE_ROW || rowCount_ == kMaxRows) break;
    for (int i = 0; i < count; ++i) appendCell(statement, i);
    if (bytes_.size() > kMaxBytes) break;
    ++rowCount_;
  }
  clear();
  return false;
}

// The columns as the statement stands after its first step. A statement is
// compiled against the tables as this connection last knew them; when
// another connection has changed a table since, the first step compiles it
// again, and the columns it had before are the old table's.
int Snapshot::takeColumns(sqlite3_stmt* statement) {
  int count = sqlite3_column_count(statement);
  columns_.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const char* name = sqlite3_column_name(statement, i);
    const char* declared = sqlite3_column_decltype(statement, i);
    columns_.push_back({name ? name : "", classifyDeclaredType(declared ? declared : "")});
  }
  return count;
}

// The cell is read through its value: one call takes the connection's
// mutex (a re-entry, the fetch holds it), the value's own accessors none.
// Holding the mutex is what makes the value safe to read.
void Snapshot::appendCell(sqlite3_stmt* statement, int column) {
  sqlite3_value* value = sqlite3_column_value(statement, column);
  Storage storage = storageOf(sqlite3_value_type(value));
  switch (storage) {
    case Storage::kInteger: {
      int64_t v = sqlite3_value_int64(value);
      bytes_.append(reinterpret_cast<const char*>(&v), sizeof v);
      break;
    }
    case Storage::kReal: {
      double v = sqlite3_value_double(value);
      bytes_.append(reinterpret_cast<const char*>(&v), sizeof v);
      break;
    }
    case Storage::kText: {
      auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
      int length = sqlite3_value_bytes(value);
      if (text) bytes_.append(text, static_cast<size_t>(length));
      break;
    }
    case Storage::kBlob:  // reads only as a marker: the bytes are not kept
    case Storage::kNull: break;
  }
  storage_.push_back(storage);
  ends_.push_back(static_cast<uint32_t>(bytes_.size()));
}

void Snapshot::reserve(size_t cells, size_t bytes) {
  storage_.reserve(cells);
  ends_.reserve(cells);
  bytes_.reserve(bytes);
}

void Snapshot::appendText(std::string_view utf8) {
  bytes_.append(utf8);
  storage_.push_back(Storage::kText);
  ends_.push_back(static_cast<uint32_t>(std::min(bytes_.size(), kMaxBytes)));
}

void Snapshot::appendNull() {
  storage_.push_back(Storage::kNull);
  ends_.push_back(static_cast<uint32_t>(std::min(bytes_.size(), kMaxBytes)));
}

bool Snapshot::endRow() {
  if (bytes_.size() > kMaxBytes || rowCount_ == kMaxRows) return false;
  ++rowCount_;
  return true;
}

int32_t Snapshot::findColumn(std::string_view nameUtf8) const {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (equalNamesUtf8(columns_[i].nameUtf8, nameUtf8)) return static_cast<int32_t>(i);
  return -1;
}

FieldValue Snapshot::value(int32_t row, int32_t column) const {
  const Snapshot& cells = holder();
  size_t cell = heldRow(row) * columns_.size() + static_cast<size_t>(column);
  size_t begin = cell == 0 ? 0 : cells.ends_[cell - 1];
  std::string_view bytes(cells.bytes_.data() + begin, cells.ends_[cell] - begin);
  FieldValue value;
  value.storage = cells.storage_[cell];
  if (value.storage == Storage::kInteger) std::memcpy(&value.integer, bytes.data(), sizeof value.integer);
  if (value.storage == Storage::kReal) std::memcpy(&value.real, bytes.data(), sizeof value.real);
  if (value.storage == Storage::kText) value.text = bytes;
  return value;
}

void Snapshot::keepGbTexts() const {
  const Snapshot& cells = holder();
  if (cells.gb_) return;
  auto gb = std::make_unique<GbTexts>();
  gb->ends.reserve(cells.storage_.size());
  gb->bytes.reserve(cells.bytes_.size());
  size_t begin = 0;
  for (size_t cell = 0; cell < cells.storage_.size(); ++cell) {
    size_t end = cells.ends_[cell];
    if (cells.storage_[cell] == Storage::kText)
      rt::appendUtf8AsGb(std::string_view(cells.bytes_.data() + begin, end - begin), gb->bytes);
    if (gb->bytes.size() > kMaxBytes) return;  // too large to address: reads convert as they go
    gb->ends.push_back(static_cast<uint32_t>(gb->bytes.size()));
    begin = end;
  }
  cells.gb_ = std::move(gb);
}

std::optional<std::string_view> Snapshot::gbText(int32_t row, int32_t column) const {
  const Snapshot& cells = holder();
  if (!cells.gb_) return std::nullopt;
  size_t cell = heldRow(row) * columns_.size() + static_cast<size_t>(column);
  if (cells.storage_[cell] != Storage::kText) return std::nullopt;
  const GbTexts& gb = *cells.gb_;
  size_t begin = cell == 0 ? 0 : gb.ends[cell - 1];
  return std::string_view(gb.bytes.data() + begin, gb.ends[cell] - begin);
}

std::shared_ptr<const Snapshot> Snapshot::rowsOf(std::shared_ptr<const Snapshot> table, std::vector<int32_t> rows) {
  auto part = std::make_shared<Snapshot>();
  part->columns_ = table->columns_;
  // Rows of a picked set are rows of its table: pick from the table itself.
  if (table->table_) {
    for (int32_t& row : rows) row = table->picked_[static_cast<size_t>(row)];
    table = table->table_;
  }
  part->rowCount_ = static_cast<int32_t>(rows.size());
  part->picked_ = std::move(rows);
  part->table_ = std::move(table);
  return part;
}

}  // namespace db
