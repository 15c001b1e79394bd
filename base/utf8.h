// UTF-8 and UTF-16 by hand: the conversions are a few lines each and run on
// every cell of a workbook, where a converter object per text would cost more
// than the conversion. Invalid input becomes U+FFFD; nothing is dropped
// silently.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;
inline constexpr char32_t kFirstSupplementary = 0x10000;
// What decodeUtf8 answers for bytes that are not well-formed UTF-8.
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// The code point at `at`, which moves past it. kNotUtf8 where the bytes are
// not the shortest form of a code point: for a byte that never starts a
// character or a sequence cut short `at` moves one byte; for a whole
// sequence that names no code point (an overlong form, a surrogate, a value
// beyond U+10FFFF) it moves past the sequence.
char32_t decodeUtf8(std::string_view text, size_t& at);

// Appends the code point as UTF-8 as it stands (no check that it is one, so
// that tests can write surrogates and values beyond U+10FFFF).
void appendUtf8(char32_t c, std::string& out);

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
// Whether the text is well-formed UTF-8 throughout (decodeUtf8 never answers
// kNotUtf8 on it).
bool isWellFormedUtf8(std::string_view text);
// The number of UTF-16 units the text takes.
size_t utf16Length(std::string_view utf8);

}  // namespace base
