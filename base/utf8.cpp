#include "base/utf8.h"

#include <cstdint>

namespace base {
namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kFirstSurrogate = 0xD800, kFirstLowSurrogate = 0xDC00, kLastSurrogate = 0xDFFF;

bool isSurrogate(char32_t c) { return c >= kFirstSurrogate && c <= kLastSurrogate; }

// The length of the sequence a first byte starts; 0 for a byte that never
// starts one (a continuation byte, C0 and C1, F5 to FF).
size_t sequenceLength(unsigned char first) {
  if (first < 0x80) return 1;
  if (first >= 0xC2 && first <= 0xDF) return 2;
  if (first >= 0xE0 && first <= 0xEF) return 3;
  if (first >= 0xF0 && first <= 0xF4) return 4;
  return 0;
}

char32_t orReplacement(char32_t c) { return c == kNotUtf8 ? kReplacementCharacter : c; }

}  // namespace

char32_t decodeUtf8(std::string_view text, size_t& at) {
  auto first = static_cast<unsigned char>(text[at]);
  size_t length = sequenceLength(first);
  if (length == 1) {
    ++at;
    return first;
  }
  if (length == 0 || at + length > text.size()) {
    ++at;
    return kNotUtf8;
  }
  char32_t c = first & (0x7Fu >> length);
  for (size_t k = 1; k < length; ++k) {
    auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) {
      ++at;
      return kNotUtf8;
    }
    c = c << 6 | (next & 0x3Fu);
  }
  static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  at += length;
  if (c < kShortest[length] || c > kLastCodePoint || isSurrogate(c)) return kNotUtf8;
  return c;
}

void appendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < kFirstSupplementary) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::u16string utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    char32_t c = orReplacement(decodeUtf8(utf8, at));
    if (c < kFirstSupplementary) {
      out += static_cast<char16_t>(c);
    } else {
      c -= kFirstSupplementary;
      out += static_cast<char16_t>(kFirstSurrogate + (c >> 10));
      out += static_cast<char16_t>(kFirstLowSurrogate + (c & 0x3FF));
    }
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    bool high = c >= kFirstSurrogate && c < kFirstLowSurrogate;
    if (high && i + 1 < utf16.size() && utf16[i + 1] >= kFirstLowSurrogate && utf16[i + 1] <= kLastSurrogate) {
      c = kFirstSupplementary + ((c - kFirstSurrogate) << 10) + (utf16[i + 1] - kFirstLowSurrogate);
      ++i;
    } else if (isSurrogate(c)) {
      c = kReplacementCharacter;
    }
    appendUtf8(c, out);
  }
  return out;
}

bool isWellFormedUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    if (static_cast<unsigned char>(text[at]) < 0x80) {
      ++at;
      continue;
    }
    if (decodeUtf8(text, at) == kNotUtf8) return false;
  }
  return true;
}

size_t utf16Length(std::string_view utf8) {
  size_t units = 0;
  for (size_t at = 0; at < utf8.size();) {
    if (static_cast<unsigned char>(utf8[at]) < 0x80) {
      ++at;
      ++units;
      continue;
    }
    units += orReplacement(decodeUtf8(utf8, at)) >= kFirstSupplementary ? 2 : 1;
  }
  return units;
}

}  // namespace base
