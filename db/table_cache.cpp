#include "db/table_cache.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "db/texts.h"

namespace db {
namespace {

// A reader of the two statement forms: keywords in any case, blanks between
// tokens, identifiers bare or in double quotes, one string literal.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  void skipBlanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool atEnd() {
    skipBlanks();
    return at_ == text_.size();
  }
  // A keyword, followed by something that cannot continue a word.
  bool keyword(std::string_view word) {
    skipBlanks();
    if (text_.size() - at_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
      if (lowerAscii(text_[at_ + i]) != word[i]) return false;
    if (at_ + word.size() < text_.size() && isWordByte(text_[at_ + word.size()])) return false;
    at_ += word.size();
    return true;
  }
  bool symbol(char c) {
    skipBlanks();
    if (at_ == text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  std::optional<std::string> identifier() {
    skipBlanks();
    if (at_ < text_.size() && text_[at_] == '"') return quoted('"');
    size_t begin = at_;
    while (at_ < text_.size() && isWordByte(text_[at_])) ++at_;
    if (at_ == begin || (text_[begin] >= '0' && text_[begin] <= '9')) return std::nullopt;
    return std::string(text_.substr(begin, at_ - begin));
  }
  std::optional<std::string> stringLiteral() {
    skipBlanks();
    if (at_ == text_.size() || text_[at_] != '\'') return std::nullopt;
    return quoted('\'');
  }

 private:
  static bool isWordByte(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  }
  // Text between two quote characters, a doubled quote standing for one.
  std::optional<std::string> quoted(char quote) {
    std::string out;
    for (++at_; at_ < text_.size(); ++at_) {
      if (text_[at_] != quote) {
        out += text_[at_];
      } else if (at_ + 1 < text_.size() && text_[at_ + 1] == quote) {
        out += quote;
        ++at_;
      } else {
        ++at_;
        return out;
      }
    }
    return std::nullopt;
  }

  std::string_view text_;
  size_t at_ = 0;
};

// Well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
bool isWellFormedUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    auto byte = static_cast<unsigned char>(text[i]);
    size_t length;
    uint32_t min;
    if (byte < 0x80) {
      ++i;
      continue;
    } else if (byte >= 0xC2 && byte <= 0xDF) {
      length = 2, min = 0x80;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      length = 3, min = 0x800;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      length = 4, min = 0x10000;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    uint32_t c = byte & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = c << 6 | (next & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace

std::optional<TableQuery> parseTableQuery(std::string_view sqlUtf8) {
  Reader reader(sqlUtf8);
  if (!reader.keyword("select") || !reader.symbol('*') || !reader.keyword("from")) return std::nullopt;
  TableQuery query;
  auto table = reader.identifier();
  if (!table) return std::nullopt;
  query.table = *table;
  if (reader.atEnd()) return query;
  if (!reader.keyword("where")) return std::nullopt;
  auto column = reader.identifier();
  if (!column || !reader.keyword("like")) return std::nullopt;
  auto pattern = reader.stringLiteral();
  if (!pattern || !reader.atEnd()) return std::nullopt;
  // '%v%' with no wildcard inside v: "contains v".
  if (pattern->size() < 2 || pattern->front() != '%' || pattern->back() != '%') return std::nullopt;
  std::string value = pattern->substr(1, pattern->size() - 2);
  if (value.find_first_of("%_") != std::string::npos || !isWellFormedUtf8(value) ||
      value.find('\0') != std::string::npos)
    return std::nullopt;
  query.like = true;
  query.column = *column;
  query.value = std::move(value);
  return query;
}

std::optional<FoldedColumn> foldColumn(const Snapshot& table, int32_t column) {
  FoldedColumn folded;
  folded.column = column;
  folded.starts.reserve(static_cast<size_t>(table.rowCount()) + 1);
  for (int32_t row = 0; row < table.rowCount(); ++row) {
    folded.starts.push_back(static_cast<uint32_t>(folded.text.size()));
    FieldValue cell = table.value(row, column);
    if (cell.storage == Storage::kText) {
      if (std::memchr(cell.text.data(), '\0', cell.text.size()) || !isWellFormedUtf8(cell.text)) return std::nullopt;
      for (char c : cell.text) folded.text += lowerAscii(c);
    } else if (cell.storage != Storage::kNull) {
      return std::nullopt;
    }
    folded.text += '\0';
    if (folded.text.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  }
  folded.starts.push_back(static_cast<uint32_t>(folded.text.size()));
  return folded;
}

std::vector<int32_t> rowsContaining(const Snapshot& table, const FoldedColumn& folded, std::string_view valueUtf8) {
  std::vector<int32_t> matches;
  if (valueUtf8.empty()) {
    for (int32_t row = 0; row < table.rowCount(); ++row)
      if (table.value(row, folded.column).storage == Storage::kText) matches.push_back(row);
    return matches;
  }
  std::string needle(valueUtf8);
  for (char& c : needle) c = lowerAscii(c);
  // A cell's NUL ends every match inside it, and no needle holds a NUL.
  const char* text = folded.text.data();
  size_t at = 0;
  while (at < folded.text.size()) {
    const void* hit = memmem(text + at, folded.text.size() - at, needle.data(), needle.size());
    if (!hit) break;
    auto offset = static_cast<uint32_t>(static_cast<const char*>(hit) - text);
    auto next = std::upper_bound(folded.starts.begin(), folded.starts.end(), offset);
    matches.push_back(static_cast<int32_t>(next - folded.starts.begin()) - 1);
    at = *next;  // the next row's cell
  }
  return matches;
}

std::string TableCache::keyOf(std::string_view table) {
  std::string key(table);
  for (char& c : key) c = lowerAscii(c);
  return key;
}

TableCache::Entry* TableCache::find(std::string_view table, const DataStamp& stamp) {
  std::string key = keyOf(table);
  for (Entry& entry : entries_)
    if (entry.key == key) return entry.stamp == stamp ? &entry : nullptr;
  return nullptr;
}

void TableCache::keep(std::string_view table, const DataStamp& stamp, std::shared_ptr<const Snapshot> rows) {
  std::string key = keyOf(table);
  std::vector<int8_t> unknown(static_cast<size_t>(rows->columnCount()), -1);
  std::vector<std::shared_ptr<const FoldedColumn>> folded(static_cast<size_t>(rows->columnCount()));
  // Entries of an older state can never be used again.
  std::erase_if(entries_, [&](Entry& entry) {
    bool stale = entry.key == key || !(entry.stamp == stamp);
    if (stale) rememberSize(entry);
    return stale;
  });
  entries_.push_back({std::move(key), stamp, std::move(rows), std::move(unknown), std::move(folded)});
}

SnapshotSize TableCache::lastSize(std::string_view table) const {
  std::string key = keyOf(table);
  for (const Entry& entry : entries_)
    if (entry.key == key) return entry.rows->size();
  for (const LastSize& last : lastSizes_)
    if (last.key == key) return last.size;
  return {};
}

void TableCache::rememberSize(const Entry& entry) {
  std::erase_if(lastSizes_, [&](const LastSize& last) { return last.key == entry.key; });
  lastSizes_.push_back({entry.key, entry.rows->size()});
}

void TableCache::forget() {
  for (const Entry& entry : entries_) rememberSize(entry);
  entries_.clear();
  searches_.clear();
}

int32_t TableCache::countSearchWithoutEntry(std::string_view table, const DataStamp& stamp) {
  std::string key = keyOf(table);
  std::erase_if(searches_, [&](const Searches& searches) { return !(searches.stamp == stamp); });
  for (Searches& searches : searches_)
    if (searches.key == key) return ++searches.count;
  searches_.push_back({std::move(key), stamp, 1});
  return 1;
}

}  // namespace db
