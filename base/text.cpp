#include "base/text.h"

namespace base {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  return trimmedEnd(text);
}

std::string_view trimmedEnd(std::string_view text) {
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view trimmedCellText(std::string_view utf8) {
  static constexpr std::string_view kWideSpaces[] = {"\xC2\xA0", "\xE3\x80\x80"};
  auto blankAt = [&utf8](bool front) -> size_t {
    if (utf8.empty()) return 0;
    char c = front ? utf8.front() : utf8.back();
    if (isBlank(c) || c == '\n') return 1;
    for (std::string_view space : kWideSpaces)
      if (front ? utf8.starts_with(space) : utf8.ends_with(space)) return space.size();
    return 0;
  };
  while (size_t n = blankAt(true)) utf8.remove_prefix(n);
  while (size_t n = blankAt(false)) utf8.remove_suffix(n);
  return utf8;
}

std::string hexDigits(std::span<const unsigned char> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string digits;
  digits.reserve(2 * bytes.size());
  for (unsigned char byte : bytes) {
    digits += kDigits[byte >> 4];
    digits += kDigits[byte & 0xF];
  }
  return digits;
}

std::string_view takeLine(std::string_view& rest) {
  size_t end = rest.find('\n');
  std::string_view line = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return line;
}

}  // namespace base
