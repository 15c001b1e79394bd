// GB18030 texts: stepping over their characters, checking them, and
// converting them to and from UTF-8 (through iconv).
//
// Stepping (namespace gbk) is what the runtime's text operations do: a byte
// with the top bit set starts a two-byte character (the double-byte set); a
// lead byte followed by a digit, a second lead byte and a digit is one
// four-byte character of GB18030 and is stepped over whole. (Double-byte
// texts never have a digit in second place, so they step exactly as before;
// stepping the four bytes as two pairs would let a sought four-byte character
// match across the middle of two neighbouring ones.) Scans therefore try
// matches only where a character begins and never cut one. Stepping never
// fails: any bytes step somehow.
//
// Checking (gb18030CharacterLength) knows which bytes form a character at
// all, for texts that come from outside (a card) and must be cut whole.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"

namespace base {

namespace gbk {

inline bool isLeadByte(char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; }

// The position after the character at `pos`. A lead byte in the last
// position has no second byte: the step ends the text.
inline size_t next(std::string_view text, size_t pos) {
  if (!isLeadByte(text[pos])) return pos + 1;
  if (pos + 4 <= text.size() && isDigit(text[pos + 1]) && isLeadByte(text[pos + 2]) && isDigit(text[pos + 3]))
    return pos + 4;
  return pos + 2 <= text.size() ? pos + 2 : text.size();
}

// The position of the single-byte character `c`, never a byte inside a
// multi-byte character; npos when absent.
inline size_t find(std::string_view text, char c) {
  for (size_t pos = 0; pos < text.size(); pos = next(text, pos))
    if (text[pos] == c) return pos;
  return std::string_view::npos;
}

inline char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `sought` occurs at `at` (which has at least sought.size() bytes).
// Ignoring case folds ASCII letters only, and only where `sought` has a
// single-byte character: the other bytes of a multi-byte character are
// compared exactly, so two different characters never compare equal.
inline bool matchesAt(const char* at, std::string_view sought, bool ignoreCase) {
  if (!ignoreCase) return sought.compare(0, sought.size(), at, sought.size()) == 0;
  size_t i = 0;
  while (i < sought.size()) {
    if (isLeadByte(sought[i]) && i + 1 < sought.size()) {
      if (at[i] != sought[i] || at[i + 1] != sought[i + 1]) return false;
      i += 2;
    } else {
      if (foldAscii(at[i]) != foldAscii(sought[i])) return false;
      ++i;
    }
  }
  return true;
}

// Case-insensitive equality of two names (ASCII letters, double-byte aware).
inline bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && matchesAt(a.data(), b, true);
}

}  // namespace gbk

// The byte length of the GB18030 character that starts `text` (1, 2 or 4),
// or 0 when the bytes there do not form a whole character.
size_t gb18030CharacterLength(std::string_view text);
// The longest prefix of `text` of at most `limit` bytes that ends between
// two characters (and before any bytes that form no character).
size_t gb18030PrefixLength(std::string_view text, size_t limit);

// Strict conversions: nothing when any of the input does not convert.
std::optional<std::string> utf8ToGb18030(std::string_view utf8);
std::optional<std::string> gb18030ToUtf8(std::string_view gb);

}  // namespace base
