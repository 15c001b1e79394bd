#include "reader/text_codec.h"

#include <cerrno>

namespace sdt {

namespace {
const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);
}

Converter::Converter(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}

Converter::~Converter() {
  if (descriptor_ != kNoDescriptor) iconv_close(descriptor_);
}

std::optional<std::string> Converter::convert(std::string_view input) {
  if (descriptor_ == kNoDescriptor) return std::nullopt;
  iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
  std::string output;
  char chunk[256];
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  while (inLeft > 0) {
    char* out = chunk;
    size_t outLeft = sizeof chunk;
    size_t done = iconv(descriptor_, &in, &inLeft, &out, &outLeft);
    output.append(chunk, static_cast<size_t>(out - chunk));
    if (done == static_cast<size_t>(-1) && errno != E2BIG) return std::nullopt;
  }
  char* out = chunk;
  size_t outLeft = sizeof chunk;
  if (iconv(descriptor_, nullptr, nullptr, &out, &outLeft) == static_cast<size_t>(-1)) return std::nullopt;
  output.append(chunk, static_cast<size_t>(out - chunk));
  return output;
}

std::optional<std::string> utf8ToGb18030(std::string_view utf8) { return Converter("GB18030", "UTF-8").convert(utf8); }

std::optional<std::string> utf8ToUtf16le(std::string_view utf8) { return Converter("UTF-16LE", "UTF-8").convert(utf8); }

std::optional<std::string> gb18030ToUtf8(std::string_view gb) { return Converter("UTF-8", "GB18030").convert(gb); }

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

}  // namespace sdt
