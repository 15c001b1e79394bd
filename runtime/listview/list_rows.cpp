#include "runtime/listview/list_rows.h"

#include <algorithm>

namespace rt {
namespace {

constexpr char kSeparator = '\0';

// A cell's byte range inside a row's joined cells; npos when the row holds
// fewer cells than `column` + 1.
struct Span {
  size_t begin = std::string::npos;
  size_t end = std::string::npos;
};

Span findCell(const std::string& cells, int32_t column) {
  size_t begin = 0;
  for (int32_t c = 0; c < column; ++c) {
    size_t separator = cells.find(kSeparator, begin);
    if (separator == std::string::npos) return {};
    begin = separator + 1;
  }
  size_t end = cells.find(kSeparator, begin);
  return {begin, end == std::string::npos ? cells.size() : end};
}

// Runtime texts end at their first NUL; a longer view would break the joining.
std::string_view upToNul(std::string_view text) {
  size_t nul = text.find(kSeparator);
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace

int32_t ListRows::insert(int32_t position, std::string_view mainText, const RowAttributes& attributes) {
  int32_t row = std::clamp(position, 0, rowCount());
  Row fresh;
  fresh.cells.assign(upToNul(mainText));
  fresh.attributes = attributes;
  rows_.insert(rows_.begin() + row, std::move(fresh));
  return row;
}

void ListRows::clear() {
  rows_.clear();
  rows_.shrink_to_fit();
}

std::string_view ListRows::cell(int32_t row, int32_t column) const {
  if (!hasRow(row) || column < 0) return {};
  const std::string& cells = rows_[static_cast<size_t>(row)].cells;
  Span span = findCell(cells, column);
  if (span.begin == std::string::npos) return {};
  return std::string_view(cells).substr(span.begin, span.end - span.begin);
}

void ListRows::setCell(int32_t row, int32_t column, std::string_view text) {
  if (!hasRow(row) || column < 0) return;
  std::string& cells = rows_[static_cast<size_t>(row)].cells;
  text = upToNul(text);
  Span span = findCell(cells, column);
  if (span.begin != std::string::npos) {
    cells.replace(span.begin, span.end - span.begin, text);
    return;
  }
  if (text.empty()) return;  // a cell never set already reads as empty
  int32_t stored = static_cast<int32_t>(std::count(cells.begin(), cells.end(), kSeparator)) + 1;
  cells.append(static_cast<size_t>(column - stored + 1), kSeparator);
  cells.append(text);
}

}  // namespace rt
