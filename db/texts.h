// Texts cross this library's boundary converted between the runtime's
// GB18030 and the engine's UTF-8. ASCII is the same in both, so it is copied
// as it is; everything else goes through the runtime's converters, which
// cover every character in both directions.
#pragma once

#include <string>
#include <string_view>

namespace db {

std::string toUtf8(std::string_view gb);
std::string toGb(std::string_view utf8);

// ASCII letters compared without case, every other byte exactly (UTF-8 has no
// ASCII bytes inside its multi-byte characters).
bool equalNamesUtf8(std::string_view a, std::string_view b);
// An ASCII letter in lower case; every other byte as it is.
inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
// A name between double quotes, its own double quotes doubled.
std::string quotedIdentifier(std::string_view nameUtf8);

}  // namespace db
