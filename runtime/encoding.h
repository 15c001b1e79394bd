// Conversions between the runtime's GB18030 texts and the encodings used at
// the edges (UTF-8 for Qt, SQLite, file names and xlsx; UTF-16 for automation
// names and the card reader). iconv does the work; the common characters go
// through tables made from iconv's own answers.
#pragma once

#include <string>
#include <string_view>

namespace rt {

// Bytes that do not convert are replaced by U+FFFD in UTF-8 output, never dropped silently
// at the end of the text.
std::string gbToUtf8(std::string_view gb);
// gbToUtf8 appended to `out`, without a text of its own in between.
void appendGbAsUtf8(std::string_view gb, std::string& out);
// Characters GB18030 cannot hold do not exist; invalid UTF-8 bytes become '?'.
std::string utf8ToGb(std::string_view utf8);
// utf8ToGb appended to `out`, without a text of its own in between.
void appendUtf8AsGb(std::string_view utf8, std::string& out);
// utf8ToGb as a new runtime text (a heap block the caller owns; null for the
// empty text), converted straight into its block: GB18030 never takes more
// bytes than the UTF-8 of the characters the tables hold.
char* newTextFromUtf8(std::string_view utf8);
std::u16string gbToUtf16(std::string_view gb);
std::string utf16ToGb(std::u16string_view u16);

// Turns a runtime path (GB18030, possibly with '\' separators) into the file
// system's UTF-8 path with '/'.
std::string toNativePath(std::string_view gbPath);

}  // namespace rt
