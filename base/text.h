// Small text rules shared by every reader of the program's own text files.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace base {

// The blanks a line may carry around its names and values: space, tab and
// the carriage return, vertical tab and form feed a file from another
// system may leave.
inline constexpr std::string_view kBlanks = " \t\r\v\f";

inline bool isBlank(char c) { return kBlanks.find(c) != std::string_view::npos; }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The text without blanks at either end.
std::string_view trimmed(std::string_view text);
// The UTF-8 text without blanks at either end, counting as blanks also the
// line break and the wide spaces a cell typed in a spreadsheet may carry:
// the no-break space (U+00A0) and the ideographic space (U+3000).
std::string_view trimmedCellText(std::string_view utf8);
// The text without blanks at its end.
std::string_view trimmedEnd(std::string_view text);

// The bytes as lower-case hexadecimal digits, two a byte.
std::string hexDigits(std::span<const unsigned char> bytes);

// The first line of `rest` without its '\n' (a "\r" before it stays: the
// callers trim it); `rest` moves past the line. The last line needs no '\n'.
std::string_view takeLine(std::string_view& rest);

}  // namespace base
