#include "runtime/encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace rt {
namespace {

// One conversion with iconv; undecodable input bytes are replaced by the
// given replacement and conversion goes on after them.
std::string convert(const char* to, const char* from, const char* in, size_t inBytes, std::string_view replacement,
                    size_t unitBytes) {
  std::string out;
  if (inBytes == 0) return out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  out.resize(inBytes * 4 + 16);
  char* src = const_cast<char*>(in);
  size_t srcLeft = inBytes;
  char* dst = out.data();
  size_t dstLeft = out.size();
  while (srcLeft > 0) {
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() * 2);
      dst = out.data() + used;
      dstLeft = out.size() - used;
      continue;
    }
    // EILSEQ or EINVAL: skip one input unit and write the replacement.
    size_t skip = srcLeft < unitBytes ? srcLeft : unitBytes;
    src += skip;
    srcLeft -= skip;
    size_t used = static_cast<size_t>(dst - out.data());
    if (dstLeft < replacement.size()) {
      out.resize(out.size() * 2 + replacement.size());
      dst = out.data() + used;
      dstLeft = out.size() - used;
    }
    std::memcpy(dst, replacement.data(), replacement.size());
    dst += replacement.size();
    dstLeft -= replacement.size();
  }
  out.resize(static_cast<size_t>(dst - out.data()));
  iconv_close(cd);
  return out;
}

}  // namespace

std::string gbToUtf8(std::string_view gb) {
  return convert("UTF-8", "GB18030", gb.data(), gb.size(), "\xEF\xBF\xBD", 1);
}

std::string utf8ToGb(std::string_view utf8) { return convert("GB18030", "UTF-8", utf8.data(), utf8.size(), "?", 1); }

std::u16string gbToUtf16(std::string_view gb) {
  std::string bytes = convert("UTF-16LE", "GB18030", gb.data(), gb.size(), std::string("\xFD\xFF", 2), 1);
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

std::string utf16ToGb(std::u16string_view u16) {
  return convert("GB18030", "UTF-16LE", reinterpret_cast<const char*>(u16.data()), u16.size() * 2, "?", 2);
}

std::string toNativePath(std::string_view gbPath) {
  std::string utf8 = gbToUtf8(gbPath);
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

}  // namespace rt
