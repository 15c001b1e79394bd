// UTF-8 <-> UTF-16 inside the engine (the engine's texts are UTF-8; the
// automation interface and the .xls format speak UTF-16). Invalid input
// becomes U+FFFD; nothing is dropped silently.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sheet {

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
// The number of UTF-16 units the text takes.
size_t utf16Length(std::string_view utf8);
// Appends the code point as UTF-8 (as it stands: no check that it is one).
void appendUtf8(char32_t c, std::string& out);

}  // namespace sheet
