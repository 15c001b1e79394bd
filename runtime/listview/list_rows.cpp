#include "runtime/listview/list_rows.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "runtime/heap.h"

namespace rt {
namespace {

constexpr char kSeparator = '\0';
// Room beyond its size for a row moved to the end of the buffer: a row
// changed once is often changed again.
constexpr size_t kMovedRowSlack = 32;
// Rows address the buffer with 32-bit offsets.
constexpr size_t kMaxStoreBytes = std::numeric_limits<uint32_t>::max();
// Moved rows leave their old bytes behind; the buffer is compacted when more
// than half of it (and more than this) is left behind.
constexpr size_t kUnusedBeforeCompacting = 64 * 1024;

// Runtime texts end at their first NUL; a longer view would break the joining.
std::string_view upToNul(std::string_view text) {
  size_t nul = text.find(kSeparator);
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

bool overlaps(std::string_view text, const char* store, size_t size) {
  return !text.empty() && text.data() >= store && text.data() < store + size;
}

void requireStoreRoom(size_t bytes) {
  if (bytes > kMaxStoreBytes) allocationFailed(static_cast<int64_t>(bytes));
}

}  // namespace

ListRows::Span ListRows::findCell(int32_t row, int32_t column) const {
  const Row& r = rows_[static_cast<size_t>(row)];
  // A cell past the row's last one is found without a look at the bytes.
  if (static_cast<uint32_t>(column) >= r.cells)
    return {std::string::npos, std::string::npos, static_cast<int32_t>(r.cells)};
  std::string_view cells = bytesOf(r);
  // Cells are filled and read left to right: start from the cell found last
  // in this row when it lies to the left.
  size_t begin = 0;
  int32_t at = 0;
  if (cursor_.row == row && cursor_.column <= column) {
    begin = cursor_.begin;
    at = cursor_.column;
  }
  for (; at < column; ++at) {
    size_t separator = cells.find(kSeparator, begin);
    if (separator == std::string_view::npos) return {std::string::npos, std::string::npos, at + 1};
    begin = separator + 1;
  }
  cursor_ = {row, column, begin};
  size_t end = std::min(cells.find(kSeparator, begin), cells.size());
  return {begin, end, column + 1};
}

int32_t ListRows::insert(int32_t position, std::string_view mainText, const RowAttributes& attributes) {
  int32_t row = std::clamp(position, 0, rowCount());
  mainText = upToNul(mainText);
  growStore(used_ + mainText.size());
  Row fresh;
  fresh.begin = static_cast<uint32_t>(used_);
  fresh.size = fresh.room = static_cast<uint32_t>(mainText.size());
  fresh.attributes = attributes;
  if (!mainText.empty()) std::memcpy(store_.data() + used_, mainText.data(), mainText.size());
  used_ += mainText.size();
  rows_.insert(rows_.begin() + row, fresh);
  cursor_ = {};
  return row;
}

void ListRows::clear() {
  rows_.clear();
  used_ = 0;
  unused_ = 0;
  cursor_ = {};
}

std::string_view ListRows::cell(int32_t row, int32_t column) const {
  if (!hasRow(row) || column < 0) return {};
  Span span = findCell(row, column);
  if (span.begin == std::string::npos) return {};
  return bytesOf(rows_[static_cast<size_t>(row)]).substr(span.begin, span.end - span.begin);
}

void ListRows::growStore(size_t bytes) {
  requireStoreRoom(bytes);
  if (bytes <= store_.size()) return;
  constexpr size_t kFirstRoom = 4096;
  store_ = storeCopy(std::min(kMaxStoreBytes, std::max({bytes, 2 * store_.size(), kFirstRoom})), used_);
}

ListRows::Store ListRows::storeCopy(size_t capacity, size_t kept) const {
  Store copy{std::make_unique_for_overwrite<char[]>(capacity), capacity};
  if (kept) std::memcpy(copy.data(), store_.data(), kept);
  return copy;
}

void ListRows::compact() {
  Store packed = storeCopy(std::max(used_ - unused_, size_t{1}), 0);
  size_t at = 0;
  for (Row& row : rows_) {
    if (row.size) std::memcpy(packed.data() + at, store_.data() + row.begin, row.size);
    row.begin = static_cast<uint32_t>(at);
    row.room = row.size;
    at += row.size;
  }
  store_ = std::move(packed);
  used_ = at;
  unused_ = 0;
}

void ListRows::reserveRow(int32_t row, size_t size) {
  if (size <= rows_[static_cast<size_t>(row)].room) return;
  if (unused_ > kUnusedBeforeCompacting && unused_ > used_ / 2) compact();
  Row& r = rows_[static_cast<size_t>(row)];
  if (r.begin + r.room == used_) {
    // The row filled last ends the used bytes: it grows in place, as in a fill.
    growStore(r.begin + size);
    r.room = static_cast<uint32_t>(size);
    used_ = r.begin + size;
    return;
  }
  size_t room = size + kMovedRowSlack;
  size_t begin = used_;
  growStore(begin + room);
  if (r.size) std::memcpy(store_.data() + begin, store_.data() + r.begin, r.size);
  unused_ += r.room;
  r.begin = static_cast<uint32_t>(begin);
  r.room = static_cast<uint32_t>(room);
  used_ = begin + room;
}

void ListRows::replaceInRow(int32_t row, size_t at, size_t count, size_t separators, std::string_view text) {
  size_t inserted = separators + text.size();
  size_t size = rows_[static_cast<size_t>(row)].size - count + inserted;
  reserveRow(row, size);
  Row& r = rows_[static_cast<size_t>(row)];
  char* bytes = store_.data() + r.begin;
  size_t after = r.size - at - count;
  if (after) std::memmove(bytes + at + inserted, bytes + at + count, after);
  for (size_t k = 0; k < separators; ++k) bytes[at + k] = kSeparator;
  if (!text.empty()) std::memcpy(bytes + at + separators, text.data(), text.size());
  r.size = static_cast<uint32_t>(size);
}

void ListRows::setCell(int32_t row, int32_t column, std::string_view text) {
  if (!hasRow(row) || column < 0) return;
  text = upToNul(text);
  if (overlaps(text, store_.data(), store_.size())) {
    // A text taken from these rows would move under its own copy.
    const std::string own(text);
    return setCell(row, column, own);
  }
  Span span = findCell(row, column);
  if (span.begin != std::string::npos) {
    // The cell's start stays where it is (cursor offsets count from the
    // row's start), so the cursor stays valid.
    replaceInRow(row, span.begin, span.end - span.begin, 0, text);
    return;
  }
  if (text.empty()) return;  // a cell never set already reads as empty
  // The missing cells up to this one are appended, empty.
  size_t separators = static_cast<size_t>(column - span.cellsHeld + 1);
  size_t end = rows_[static_cast<size_t>(row)].size;
  replaceInRow(row, end, 0, separators, text);
  rows_[static_cast<size_t>(row)].cells = static_cast<uint32_t>(column) + 1;
  cursor_ = {row, column, end + separators};
}

}  // namespace rt
