// The runtime's conversions between GB18030 and UTF-8 / UTF-16, whose common
// characters take a fast path through tables, against iconv itself on the
// same input: the same bytes out for every input, invalid bytes included
// (each byte or unit that does not convert is replaced, as documented in
// runtime/encoding.h, and the conversion goes on after it).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/iconv_converter.h"
#include "base/utf8.h"
#include "runtime/encoding.h"
#include "runtime/heap.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
constexpr std::string_view kReplacementUtf16 = {"\xFD\xFF", 2};
constexpr std::string_view kReplacementGb = "?";

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "mismatch: %s\n", what);
    std::abort();
  }
}

// iconv over the whole input; a unit that does not convert (an invalid or
// cut-off sequence) is skipped and the replacement written.
std::string throughIconv(const char* to, const char* from, std::string_view in, std::string_view replacement,
                         size_t unitBytes) {
  base::Converter converter(to, from);
  require(converter.usable(), "iconv_open");
  return converter.convertReplacing(in, replacement, unitBytes);
}

std::u16string asUtf16(const std::string& bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  return text;
}

// Texts the fast path takes: two-byte GB18030 characters among ASCII, with
// now and then a four-byte character, a byte sequence that is cut short or
// a byte that is never valid, so that one odd character sits among many
// that the tables convert.
std::string gbLikeText(fuzz::Input& in) {
  std::string text;
  while (!in.empty()) {
    uint8_t kind = in.byte();
    uint8_t lead = static_cast<uint8_t>(0x81 + in.byte() % 0x7E);
    uint8_t trail = static_cast<uint8_t>(0x40 + in.byte() % 0xBF);
    if (kind < 150) {
      text += static_cast<char>(lead);
      text += static_cast<char>(trail == 0x7F ? 0x80 : trail);
    } else if (kind < 200) {
      text += static_cast<char>(in.byte() & 0x7F);
    } else if (kind < 215) {
      // Four bytes: lead, digit, lead, digit (valid or not).
      text += static_cast<char>(lead);
      text += static_cast<char>('0' + trail % 10);
      text += static_cast<char>(0x81 + in.byte() % 0x7E);
      text += static_cast<char>('0' + in.byte() % 10);
    } else if (kind < 230) {
      text += static_cast<char>(lead);  // a lead byte alone or before a byte it cannot take
    } else {
      text += static_cast<char>(in.byte());
    }
  }
  return text;
}

// One character in a form that is not well-formed UTF-8: too long, cut
// short, beyond the last code point, or a continuation byte alone.
void appendBrokenUtf8(uint8_t how, char32_t c, std::string& out) {
  switch (how % 5) {
    case 0:  // three bytes for what takes one or two
      c %= 0x800;
      out += static_cast<char>(0xE0);
      out += static_cast<char>(0x80 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
      break;
    case 1:  // two bytes for ASCII
      c %= 0x80;
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
      break;
    case 2: {  // cut short
      std::string whole;
      base::appendUtf8(0x800 + c % 0xF000, whole);
      out += whole.substr(0, whole.size() - 1 - how / 5 % 2);
      break;
    }
    case 3: base::appendUtf8(0x110000 + c, out); break;
    default: out += static_cast<char>(0x80 | (c & 0x3F)); break;
  }
}

// UTF-8 of characters all over the basic plane and beyond, with now and then
// a surrogate written out or a character in a form that is not UTF-8.
std::string utf8LikeText(fuzz::Input& in) {
  std::string text;
  while (!in.empty()) {
    uint8_t kind = in.byte();
    char32_t c = static_cast<char32_t>(in.byte()) << 8 | in.byte();
    if (kind < 100) {
      base::appendUtf8(0x4E00 + c % 0x5200, text);  // the Chinese characters
    } else if (kind < 200) {
      base::appendUtf8(c, text);  // surrogates included: not UTF-8, iconv refuses them
    } else if (kind < 215) {
      base::appendUtf8(0x10000 + (c << 4 | (kind & 0x0F)), text);
    } else if (kind < 235) {
      appendBrokenUtf8(kind, c, text);
    } else {
      text += static_cast<char>(c & 0xFF);
    }
  }
  return text;
}

void compareFromGb(const std::string& gb) {
  require(rt::gbToUtf8(gb) == throughIconv("UTF-8", "GB18030", gb, kReplacementUtf8, 1), "gbToUtf8");
  require(rt::gbToUtf16(gb) == asUtf16(throughIconv("UTF-16LE", "GB18030", gb, kReplacementUtf16, 1)), "gbToUtf16");
}

void compareFromUtf8(const std::string& utf8) {
  std::string expected = throughIconv("GB18030", "UTF-8", utf8, kReplacementGb, 1);
  require(rt::utf8ToGb(utf8) == expected, "utf8ToGb");
  std::string appended = "prefix";
  rt::appendUtf8AsGb(utf8, appended);
  require(appended == "prefix" + expected, "appendUtf8AsGb");
  char* block = rt::newTextFromUtf8(utf8);
  // A runtime text ends at its first NUL; the empty text is null.
  std::string upToNul = expected.substr(0, expected.find('\0'));
  require(upToNul.empty() ? (block == nullptr || *block == '\0') : (block && upToNul == block), "newTextFromUtf8");
  rt::Free(block);
}

void compareFromUtf16(const std::string& bytes) {
  std::u16string u16 = asUtf16(bytes);
  std::string raw(reinterpret_cast<const char*>(u16.data()), u16.size() * 2);
  require(rt::utf16ToGb(u16) == throughIconv("GB18030", "UTF-16LE", raw, kReplacementGb, 2), "utf16ToGb");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  switch (in.byte() % 5) {
    case 0: compareFromGb(in.bytes(in.remaining())); break;
    case 1: compareFromGb(gbLikeText(in)); break;
    case 2: compareFromUtf8(in.bytes(in.remaining())); break;
    case 3: compareFromUtf8(utf8LikeText(in)); break;
    default: compareFromUtf16(in.bytes(in.remaining())); break;
  }
  return 0;
}
