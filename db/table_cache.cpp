#include "db/table_cache.h"

#include <algorithm>
#include <cstring>

namespace db {
namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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

// Whether `needle` (already in lower case) occurs in `text`, ASCII letters
// of the text compared in lower case. In UTF-8 no byte of a multi-byte
// character is ASCII, so a match found byte by byte starts and ends on
// character boundaries, as the engine's character-wise LIKE requires.
bool containsFolded(std::string_view text, std::string_view needle, bool needleHasLetters) {
  if (needle.empty()) return true;
  if (needle.size() > text.size()) return false;
  if (!needleHasLetters)
    return memmem(text.data(), text.size(), needle.data(), needle.size()) != nullptr;
  const size_t last = text.size() - needle.size();
  for (size_t start = 0; start <= last; ++start) {
    size_t k = 0;
    while (k < needle.size() && lowerAscii(text[start + k]) == needle[k]) ++k;
    if (k == needle.size()) return true;
  }
  return false;
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

bool isPlainTextColumn(const Snapshot& table, int32_t column) {
  for (int32_t row = 0; row < table.rowCount(); ++row) {
    FieldValue cell = table.value(row, column);
    if (cell.storage == Storage::kNull) continue;
    if (cell.storage != Storage::kText || std::memchr(cell.text.data(), '\0', cell.text.size()) ||
        !isWellFormedUtf8(cell.text))
      return false;
  }
  return true;
}

Snapshot rowsContaining(const Snapshot& table, int32_t column, std::string_view valueUtf8) {
  std::string needle(valueUtf8);
  bool hasLetters = false;
  for (char& c : needle) {
    char lower = lowerAscii(c);
    hasLetters = hasLetters || (lower >= 'a' && lower <= 'z');
    c = lower;
  }
  std::vector<int32_t> matches;
  for (int32_t row = 0; row < table.rowCount(); ++row) {
    FieldValue cell = table.value(row, column);
    if (cell.storage == Storage::kText && containsFolded(cell.text, needle, hasLetters)) matches.push_back(row);
  }
  return table.subset(matches);
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
  // Entries of an older state can never be used again.
  std::erase_if(entries_, [&](Entry& entry) {
    bool stale = entry.key == key || !(entry.stamp == stamp);
    if (stale) rememberSize(entry);
    return stale;
  });
  entries_.push_back({std::move(key), stamp, std::move(rows), std::move(unknown)});
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
