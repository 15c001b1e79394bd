#include "sheet/engine/utf.h"

#include <cstdint>

namespace sheet {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kSupplementaryStart = 0x10000;

// The next code point of `text` at `at` (advanced); U+FFFD for an invalid sequence.
char32_t next(std::string_view text, size_t& at) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char first = byte(at);
  if (first < 0x80) {
    ++at;
    return first;
  }
  int length = first >= 0xF0 && first <= 0xF4 ? 4 : first >= 0xE0 ? 3 : first >= 0xC2 && first < 0xE0 ? 2 : 0;
  if (length == 0 || at + static_cast<size_t>(length) > text.size()) {
    ++at;
    return kReplacement;
  }
  char32_t c = first & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    unsigned char b = byte(at + static_cast<size_t>(k));
    if ((b & 0xC0) != 0x80) {
      ++at;
      return kReplacement;
    }
    c = c << 6 | (b & 0x3F);
  }
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  at += static_cast<size_t>(length);
  if (c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
  return c;
}

}  // namespace

void appendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < kSupplementaryStart) {
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
    char32_t c = next(utf8, at);
    if (c < kSupplementaryStart) {
      out += static_cast<char16_t>(c);
    } else {
      c -= kSupplementaryStart;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      c = kSupplementaryStart + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    appendUtf8(c, out);
  }
  return out;
}

size_t utf16Length(std::string_view utf8) {
  size_t units = 0;
  for (size_t at = 0; at < utf8.size();) {
    auto first = static_cast<unsigned char>(utf8[at]);
    if (first < 0x80) {
      ++at;
      ++units;
      continue;
    }
    units += next(utf8, at) >= kSupplementaryStart ? 2 : 1;
  }
  return units;
}

}  // namespace sheet
