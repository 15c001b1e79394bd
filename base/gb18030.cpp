#include "base/gb18030.h"

#include "base/iconv_converter.h"

namespace base {

size_t gb18030CharacterLength(std::string_view text) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  auto isLead = [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
  auto isDigit = [](unsigned char b) { return b >= 0x30 && b <= 0x39; };
  if (text.empty()) return 0;
  if (byte(0) < 0x80) return 1;
  if (!isLead(byte(0)) || text.size() < 2) return 0;
  if (!isDigit(byte(1))) return (byte(1) >= 0x40 && byte(1) <= 0xFE && byte(1) != 0x7F) ? 2 : 0;
  if (text.size() < 4 || !isLead(byte(2)) || !isDigit(byte(3))) return 0;
  return 4;
}

size_t gb18030PrefixLength(std::string_view text, size_t limit) {
  size_t length = 0;
  while (length < text.size()) {
    size_t next = gb18030CharacterLength(text.substr(length));
    if (next == 0 || length + next > limit) break;
    length += next;
  }
  return length;
}

std::optional<std::string> utf8ToGb18030(std::string_view utf8) { return Converter("GB18030", "UTF-8").convert(utf8); }

std::optional<std::string> gb18030ToUtf8(std::string_view gb) { return Converter("UTF-8", "GB18030").convert(gb); }

}  // namespace base
