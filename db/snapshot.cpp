#include "db/snapshot.h"

#include <algorithm>
#include <cstring>
#include <functional>
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
// A fetch watched row by row is told of its progress this often.
constexpr int32_t kRowsPerReport = 128;

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

// Every engine call takes the connection's mutex; holding it for a whole
// fetch makes each of them a re-entry.
class HeldConnection {
 public:
  explicit HeldConnection(sqlite3_stmt* statement) : mutex_(sqlite3_db_mutex(sqlite3_db_handle(statement))) {
    sqlite3_mutex_enter(mutex_);
  }
  ~HeldConnection() { sqlite3_mutex_leave(mutex_); }
  HeldConnection(const HeldConnection&) = delete;
  HeldConnection& operator=(const HeldConnection&) = delete;

 private:
  sqlite3_mutex* mutex_;
};

// One cell of the statement's row and the bytes a snapshot keeps of it: a
// number's eight bytes, a text's UTF-8, nothing for the rest (a blob reads
// only as a marker). The cell is read through its value: one call takes
// the connection's mutex (a re-entry, the fetch holds it), the value's own
// accessors none. Holding the mutex is what makes the value safe to read.
struct EngineCell {
  Storage storage = Storage::kNull;
  const char* text = nullptr;
  size_t textSize = 0;
  char number[sizeof(int64_t)] = {};

  std::string_view bytes() const {
    if (storage == Storage::kInteger || storage == Storage::kReal) return {number, sizeof number};
    return {text, textSize};
  }
};

EngineCell readCell(sqlite3_stmt* statement, int column) {
  sqlite3_value* value = sqlite3_column_value(statement, column);
  EngineCell cell;
  cell.storage = storageOf(sqlite3_value_type(value));
  switch (cell.storage) {
    case Storage::kInteger: {
      int64_t v = sqlite3_value_int64(value);
      std::memcpy(cell.number, &v, sizeof v);
      break;
    }
    case Storage::kReal: {
      double v = sqlite3_value_double(value);
      std::memcpy(cell.number, &v, sizeof v);
      break;
    }
    case Storage::kText:
      cell.text = reinterpret_cast<const char*>(sqlite3_value_text(value));
      if (cell.text) cell.textSize = static_cast<size_t>(sqlite3_value_bytes(value));
      break;
    case Storage::kBlob:
    case Storage::kNull: break;
  }
  return cell;
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
  reserveFor(hint);
  if (fetchRows(statement) == FetchEnd::kDone) {
    giveBackRoom();
    return true;
  }
  clear();
  return false;
}

void Snapshot::reserveFor(SnapshotSize hint) {
  clear();
  storage_.reserve(withMargin(hint.cells));
  ends_.reserve(withMargin(hint.cells));
  bytes_.reserve(withMargin(hint.bytes));
}

void Snapshot::giveBackRoom() {
  // A hint far above what came (the table shrank) gives its room back.
  if (bytes_.capacity() > 2 * bytes_.size() + kSlackBytes) bytes_.shrink_to_fit();
  if (storage_.capacity() > 2 * storage_.size() + kSlackCells) {
    storage_.shrink_to_fit();
    ends_.shrink_to_fit();
  }
}

Snapshot::FetchEnd Snapshot::fetchRows(sqlite3_stmt* statement) {
  HeldConnection held(statement);
  int count = -1;
  for (;;) {
    int rc = sqlite3_step(statement);
    if (count < 0) count = takeColumns(statement);
    if (rc == SQLITE_DONE) return FetchEnd::kDone;
    if (rc != SQLITE_ROW || rowCount_ == kMaxRows) return FetchEnd::kFailed;
    for (int i = 0; i < count; ++i) appendCell(statement, i);
    if (bytes_.size() > kMaxBytes) return FetchEnd::kFailed;
    ++rowCount_;
  }
}

size_t Snapshot::grownRoom(size_t room, size_t used, size_t missing) {
  // Half as much again: a table that outgrew its last read by far grows its
  // room a few times at most.
  return std::max(room + room / 2 + missing, used + missing);
}

Snapshot::FetchEnd Snapshot::fetchWithinRoom(sqlite3_stmt* statement, FetchWatcher& watcher) {
  HeldConnection held(statement);
  // The room is sized at once and filled through cursors: the buffers' own
  // bookkeeping, next to what the reading thread reads, is written here and
  // at the end only, not cell by cell.
  size_t cells = 0;
  size_t used = 0;
  Storage* storage = nullptr;
  uint32_t* ends = nullptr;
  char* bytes = nullptr;
  size_t cellRoom = 0;
  size_t byteRoom = 0;
  auto takeRoom = [&] {
    storage_.resize(std::min(storage_.capacity(), ends_.capacity()));
    ends_.resize(storage_.size());
    bytes_.resize(bytes_.capacity());
    storage = storage_.data();
    ends = ends_.data();
    bytes = bytes_.data();
    cellRoom = storage_.size();
    byteRoom = bytes_.size();
  };
  takeRoom();
  int32_t rows = 0;
  int count = -1;
  size_t bytesMissing = 0;
  bool onPendingRow = false;
  FetchEnd end = FetchEnd::kDone;
  for (;;) {
    int rc = onPendingRow ? SQLITE_ROW : sqlite3_step(statement);
    onPendingRow = false;
    if (count < 0) count = takeColumns(statement);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW || rows == kMaxRows) {
      end = FetchEnd::kFailed;
      break;
    }
    const size_t rowCells = cells;
    const size_t rowUsed = used;
    bool fits = cellRoom - cells >= static_cast<size_t>(count);
    for (int i = 0; fits && i < count; ++i) {
      EngineCell cell = readCell(statement, i);
      std::string_view cellBytes = cell.bytes();
      fits = byteRoom - used >= cellBytes.size();
      if (!fits) {
        bytesMissing = cellBytes.size() - (byteRoom - used);
        break;
      }
      if (!cellBytes.empty()) std::memcpy(bytes + used, cellBytes.data(), cellBytes.size());
      used += cellBytes.size();
      storage[cells] = cell.storage;
      ends[cells] = static_cast<uint32_t>(std::min(used, kMaxBytes));
      ++cells;
    }
    if (!fits) {
      // The statement stays on the row left out, appended again once the
      // room has grown.
      cells = rowCells;
      used = rowUsed;
      auto takeMoreRoom = [&] {
        storage_.resize(cells);
        ends_.resize(cells);
        bytes_.resize(used);
        storage_.reserve(grownRoom(cellRoom, cells, static_cast<size_t>(count)));
        ends_.reserve(storage_.capacity());
        bytes_.reserve(grownRoom(byteRoom, used, bytesMissing + kSlackBytes));
        takeRoom();
      };
      if (!watcher.growRoom(rows, takeMoreRoom)) {
        end = FetchEnd::kStopped;
        break;
      }
      bytesMissing = 0;
      onPendingRow = true;
      continue;
    }
    if (used > kMaxBytes) {
      end = FetchEnd::kFailed;
      break;
    }
    ++rows;
    if (rows % kRowsPerReport == 0 && !watcher.carryOn(rows)) {
      end = FetchEnd::kStopped;
      break;
    }
  }
  // Shrinking within the room moves nothing the reading thread reads.
  storage_.resize(cells);
  ends_.resize(cells);
  bytes_.resize(used);
  rowCount_ = rows;
  return end;
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

void Snapshot::appendCell(sqlite3_stmt* statement, int column) {
  EngineCell cell = readCell(statement, column);
  bytes_.append(cell.bytes());
  storage_.push_back(cell.storage);
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
  // Read through the buffers' addresses only: while rows are still being
  // fetched, another thread appends to them (within their room).
  const Snapshot& cells = holder();
  size_t cell = heldRow(row) * columns_.size() + static_cast<size_t>(column);
  const uint32_t* ends = cells.ends_.data();
  size_t begin = cell == 0 ? 0 : ends[cell - 1];
  std::string_view bytes(cells.bytes_.data() + begin, ends[cell] - begin);
  FieldValue value;
  value.storage = cells.storage_.data()[cell];
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
