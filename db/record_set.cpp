#include "db/record_set.h"

#include "db/connection.h"
#include "db/rows_ahead.h"
#include "db/texts.h"
#include "runtime/heap.h"

namespace db {
namespace {

// A set holding at least this fraction (1/n) of a kept table's rows makes
// the table keep its texts converted.
constexpr int64_t kReadsOfMuchOfATable = 8;
// Names remembered per open set; a program reads a few dozen at most.
constexpr size_t kNamedColumnsKept = 64;

// What a closed set holds.
const std::shared_ptr<const Snapshot>& noRows() {
  static const std::shared_ptr<const Snapshot> none = std::make_shared<const Snapshot>();
  return none;
}

}  // namespace

RecordSet::RecordSet() : rows_(noRows()) {}

RecordSet::~RecordSet() { closeRecords(); }

std::unique_ptr<rt::UnitObject> RecordSet::create(const rt::UnitContext&) { return std::make_unique<RecordSet>(); }

bool RecordSet::setConnection(uint32_t windowId, uint32_t unitId) {
  if (!dynamic_cast<Connection*>(rt::findUnitObject(windowId, unitId))) return false;
  binding_ = {windowId, unitId};
  return true;
}

// The binding is looked up again at each open, so a connection unit that has
// gone away makes the open fail instead of being used.
Connection* RecordSet::boundConnection() const {
  if (!binding_) return nullptr;
  return dynamic_cast<Connection*>(rt::findUnitObject(binding_->first, binding_->second));
}

bool RecordSet::openRecords(std::string_view sourceGb, int32_t kind, std::optional<int32_t> cursorLocation) {
  if (cursorLocation && (*cursorLocation < kFirstCursorLocation || *cursorLocation > kLastCursorLocation)) return false;
  if (!sourceGb.empty()) source_ = sourceGb;
  closeRecords();  // a failed reopen leaves the set closed, not holding the old rows
  if (kind == kSourceIsTable) tableName_ = source_;
  Connection* connection = boundConnection();
  if (!connection || source_.empty()) return false;
  std::string sql = toUtf8(source_);
  if (kind == kSourceIsTable) sql = "SELECT * FROM " + quotedIdentifier(sql);
  ReadRows read = connection->readRows(sql);
  if (!read.rows) return false;
  // A kept table read again in large part (a refill, a search that finds
  // many rows): its texts are converted once for all such reads. A lookup
  // of a few rows converts only what it reads.
  if (read.kept && static_cast<int64_t>(read.rows->rowCount()) * kReadsOfMuchOfATable >= read.rows->tableRowCount())
    read.rows->keepGbTexts();
  rows_ = std::move(read.rows);
  ahead_ = std::move(read.ahead);
  readable_ = ahead_ ? 0 : rows_->rowCount();
  open_ = true;
  position_ = 0;
  return true;
}

bool RecordSet::hasRecordAhead(int32_t row) {
  readable_ = ahead_->readableFor(row);
  if (row < readable_) return true;
  // The rows ended before `row`: the fetch is over.
  return fetchAll() && row < readable_;
}

bool RecordSet::fetchAll() {
  if (ahead_) {
    bool complete = ahead_->finish();
    ahead_.reset();
    if (!complete) closeRecords();
    readable_ = complete ? rows_->rowCount() : 0;
  }
  return open_;
}

int32_t RecordSet::recordCount() { return fetchAll() ? rows_->rowCount() : -1; }

void RecordSet::closeRecords() {
  // A fetch still going on is not needed any more.
  if (ahead_) ahead_->stop();
  ahead_.reset();
  readable_ = 0;
  rows_ = noRows();
  namedColumns_.clear();
  nextNamed_ = 0;
  open_ = false;
  position_ = 0;
  tableName_.clear();
}

std::optional<char*> RecordSet::field(int32_t column) {
  if (isEof() || column < 0 || column >= rows_->columnCount()) return std::nullopt;
  ColumnKind kind = rows_->column(column).kind;
  if (kind != ColumnKind::kDate)
    if (auto gb = rows_->gbText(position_, column)) return rt::newText(*gb);
  return newFieldText(rows_->value(position_, column), kind);
}

int32_t RecordSet::columnNamed(std::string_view nameGb) const {
  // A walk names its fields in the same order for every record: the search
  // starts after the name found last.
  const size_t count = namedColumns_.size();
  for (size_t k = 0, i = nextNamed_; k < count; ++k, ++i) {
    if (i >= count) i = 0;
    if (namedColumns_[i].is(nameGb)) {
      nextNamed_ = i + 1;
      return namedColumns_[i].column;
    }
  }
  int32_t column = rows_->findColumn(toUtf8(nameGb));
  if (namedColumns_.size() == kNamedColumnsKept) namedColumns_.clear();
  const char* literal = rt::inConstantBlock(nameGb.data()) ? nameGb.data() : nullptr;
  namedColumns_.push_back({std::string(nameGb), column, literal});
  nextNamed_ = 0;
  return column;
}

std::optional<char*> RecordSet::fieldByName(std::string_view nameGb) {
  if (isEof()) return std::nullopt;
  return field(columnNamed(nameGb));
}

std::optional<char*> RecordSet::fieldByIndex(int32_t index) { return field(index); }

bool RecordSet::moveToFirst() {
  if (!hasRecord(0)) return false;
  position_ = 0;
  return true;
}

bool RecordSet::moveToNext() {
  if (isEof()) return false;
  ++position_;
  return true;
}

// A move outside the records fails and leaves the cursor on the end marker,
// where every read fails.
bool RecordSet::moveToRecord(int32_t n) {
  if (!fetchAll() || rows_->rowCount() == 0) return false;
  if (n < 0 || n > rows_->rowCount()) {
    position_ = rows_->rowCount();
    return false;
  }
  position_ = n;
  return true;
}

bool RecordSet::readProperty(int32_t number, rt::TypedValue& out) {
  switch (number) {
    case recordset_property::kRecordCount: out = rt::TypedValue::ofInt(recordCount()); return true;
    case recordset_property::kIsEof: out = rt::TypedValue::ofBool(isEof()); return true;
    default: return false;
  }
}

}  // namespace db
