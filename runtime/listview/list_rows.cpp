#include "runtime/listview/list_rows.h"

#include <algorithm>
#include <cstring>

namespace rt {
namespace {

constexpr char kSeparator = '\0';
// Room beyond the size of the row before, for a row a little longer.
constexpr size_t kRowSlack = 32;

// Runtime texts end at their first NUL; a longer view would break the joining.
std::string_view upToNul(std::string_view text) {
  size_t nul = text.find(kSeparator);
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace

ListRows::Span ListRows::findCell(int32_t row, int32_t column) const {
  const std::string& cells = rows_[static_cast<size_t>(row)].cells;
  // Cells are filled and read left to right: start from the cell found last
  // in this row when it lies to the left.
  size_t begin = 0;
  int32_t at = 0;
  if (cursor_.row == row && cursor_.column <= column) {
    begin = cursor_.begin;
    at = cursor_.column;
  }
  const char* data = cells.data();
  for (; at < column; ++at) {
    const void* separator = std::memchr(data + begin, kSeparator, cells.size() - begin);
    if (!separator) return {std::string::npos, std::string::npos, at + 1};
    begin = static_cast<size_t>(static_cast<const char*>(separator) - data) + 1;
  }
  cursor_ = {row, column, begin};
  const void* separator = std::memchr(data + begin, kSeparator, cells.size() - begin);
  size_t end = separator ? static_cast<size_t>(static_cast<const char*>(separator) - data) : cells.size();
  return {begin, end, column + 1};
}

int32_t ListRows::insert(int32_t position, std::string_view mainText, const RowAttributes& attributes) {
  int32_t row = std::clamp(position, 0, rowCount());
  Row fresh;
  fresh.cells.assign(upToNul(mainText));
  fresh.attributes = attributes;
  rows_.insert(rows_.begin() + row, std::move(fresh));
  cursor_ = {};
  return row;
}

void ListRows::clear() {
  rows_.clear();
  rows_.shrink_to_fit();
  cursor_ = {};
}

std::string_view ListRows::cell(int32_t row, int32_t column) const {
  if (!hasRow(row) || column < 0) return {};
  Span span = findCell(row, column);
  if (span.begin == std::string::npos) return {};
  return std::string_view(rows_[static_cast<size_t>(row)].cells).substr(span.begin, span.end - span.begin);
}

void ListRows::setCell(int32_t row, int32_t column, std::string_view text) {
  if (!hasRow(row) || column < 0) return;
  std::string& cells = rows_[static_cast<size_t>(row)].cells;
  text = upToNul(text);
  Span span = findCell(row, column);
  if (span.begin != std::string::npos) {
    // The cell's start stays where it is, so the cursor stays valid.
    cells.replace(span.begin, span.end - span.begin, text);
    return;
  }
  if (text.empty()) return;  // a cell never set already reads as empty
  size_t separators = static_cast<size_t>(column - span.cellsHeld + 1);
  size_t wanted = cells.size() + separators + text.size();
  // Rows of a list are much alike: a row that grows takes the room the row
  // before it needed at once, instead of growing step by step.
  if (wanted > cells.capacity() && row > 0)
    cells.reserve(std::max(wanted, rows_[static_cast<size_t>(row) - 1].cells.size() + kRowSlack));
  cells.append(separators, kSeparator);
  cursor_ = {row, column, cells.size()};
  cells.append(text);
}

}  // namespace rt
