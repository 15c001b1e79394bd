#include "sheet/engine/address.h"
#include "base/text.h"

#include <algorithm>

namespace sheet {
namespace {

constexpr int kMaxColumnLetters = 3;
constexpr int kMaxRowDigits = 7;
constexpr int kLettersInAlphabet = 26;

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
using base::isDigit;
uint32_t letterValue(char c) { return static_cast<uint32_t>((c | 0x20) - 'a') + 1; }

}  // namespace

CellRange CellRange::hull(const CellRange& other) const {
  return {{std::min(first.row, other.first.row), std::min(first.column, other.first.column)},
          {std::max(last.row, other.last.row), std::max(last.column, other.last.column)}};
}

std::optional<CellRef> parseCell(std::string_view text) {
  size_t at = 0;
  if (at < text.size() && text[at] == '$') ++at;
  uint32_t column = 0;
  int letters = 0;
  for (; at < text.size() && isLetter(text[at]); ++at) {
    if (++letters > kMaxColumnLetters) return std::nullopt;
    column = column * kLettersInAlphabet + letterValue(text[at]);
  }
  if (letters == 0 || column > kMaxColumns) return std::nullopt;
  if (at < text.size() && text[at] == '$') ++at;
  uint32_t row = 0;
  int digits = 0;
  for (; at < text.size() && isDigit(text[at]); ++at) {
    if (++digits > kMaxRowDigits) return std::nullopt;
    row = row * 10 + static_cast<uint32_t>(text[at] - '0');
  }
  if (digits == 0 || at != text.size() || row == 0 || row > kMaxRows) return std::nullopt;
  return CellRef{row - 1, column - 1};
}

std::optional<CellRange> parseRange(std::string_view text) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    auto cell = parseCell(text);
    if (!cell) return std::nullopt;
    return CellRange::single(*cell);
  }
  auto a = parseCell(text.substr(0, colon));
  auto b = parseCell(text.substr(colon + 1));
  if (!a || !b) return std::nullopt;
  return CellRange::single(*a).hull(CellRange::single(*b));
}

std::string columnName(uint32_t column) {
  if (column >= kMaxColumns) return {};
  std::string name;
  for (uint32_t n = column + 1; n > 0; n = (n - 1) / kLettersInAlphabet)
    name.insert(name.begin(), static_cast<char>('A' + (n - 1) % kLettersInAlphabet));
  return name;
}

std::string cellName(CellRef cell) { return columnName(cell.column) + std::to_string(cell.row + 1); }

std::string rangeName(const CellRange& range) {
  if (range.first == range.last) return cellName(range.first);
  return cellName(range.first) + ":" + cellName(range.last);
}

}  // namespace sheet
