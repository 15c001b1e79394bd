// Character conversion of the reader library and the simulated reader, with
// iconv (glibc): the card holds its texts in UCS-2 little-endian, the program
// takes GB18030. The library links neither Qt nor the runtime, so it keeps
// this small converter of its own.
#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

namespace sdt {

// One iconv conversion descriptor, owned.
class Converter {
 public:
  Converter(const char* to, const char* from);
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // The whole input converted, or nothing when any of it does not convert.
  std::optional<std::string> convert(std::string_view input);

 private:
  iconv_t descriptor_;
};

// GB18030 of UTF-8 text; nothing when the UTF-8 is not valid.
std::optional<std::string> utf8ToGb18030(std::string_view utf8);
// UTF-16 little-endian of UTF-8 text; nothing when the UTF-8 is not valid.
std::optional<std::string> utf8ToUtf16le(std::string_view utf8);
// UTF-8 of GB18030 text (for messages and tests); nothing when not valid.
std::optional<std::string> gb18030ToUtf8(std::string_view gb);

// The byte length of the GB18030 character that starts `text` (1, 2 or 4),
// or 0 when the bytes there do not form a whole character.
size_t gb18030CharacterLength(std::string_view text);
// The longest prefix of `text` of at most `limit` bytes that ends between
// two characters.
size_t gb18030PrefixLength(std::string_view text, size_t limit);

}  // namespace sdt
