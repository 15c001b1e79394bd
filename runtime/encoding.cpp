#include "runtime/encoding.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "base/iconv_converter.h"
#include "base/utf8.h"
#include "runtime/heap.h"

namespace rt {
namespace {

// One conversion with iconv; undecodable input units are replaced by the
// given replacement and conversion goes on after them.
std::string convert(const char* to, const char* from, const char* in, size_t inBytes, std::string_view replacement,
                    size_t unitBytes) {
  if (inBytes == 0) return {};
  return base::Converter(to, from).convertReplacing(std::string_view(in, inBytes), replacement, unitBytes);
}

// ---------------------------------------------------------------------------
// The fast path. Opening a converter costs far more than converting a cell
// of a list, and a registry converts millions of cells. Texts made of ASCII
// and two-byte GB18030 characters (every name, address and date of this
// program) are converted through two tables instead. The tables are filled
// once from iconv itself, and only pairs that convert both ways are kept, so
// the fast path answers exactly what iconv answers; any other text (four-byte
// characters, invalid bytes) goes to iconv whole.

constexpr unsigned kLeadFirst = 0x81, kLeadLast = 0xFE;
constexpr unsigned kTrailFirst = 0x40, kTrailLast = 0xFE, kTrailGap = 0x7F;
constexpr unsigned kTrailSpan = kTrailLast - kTrailFirst + 1;
constexpr char32_t kAsciiEnd = 0x80;
constexpr char32_t kBmpEnd = 0x10000;
constexpr char32_t kSurrogateFirst = 0xD800, kSurrogateLast = 0xDFFF;

bool isTrail(unsigned byte) { return byte >= kTrailFirst && byte <= kTrailLast && byte != kTrailGap; }
size_t pairIndex(unsigned lead, unsigned trail) { return (lead - kLeadFirst) * kTrailSpan + (trail - kTrailFirst); }

class PairTables {
 public:
  PairTables() : toUnicode_((kLeadLast - kLeadFirst + 1) * kTrailSpan, 0), fromUnicode_(kBmpEnd, 0) {
    base::Converter decode("UTF-32LE", "GB18030");
    base::Converter encode("GB18030", "UTF-32LE");
    if (decode.usable() && encode.usable()) fill(decode, encode);
  }

  // 0 when the pair is not on the fast path.
  char32_t toUnicode(unsigned lead, unsigned trail) const { return toUnicode_[pairIndex(lead, trail)]; }
  // The pair as (lead << 8 | trail); 0 when the character is not on the fast path.
  uint16_t fromUnicode(char32_t c) const { return c < kBmpEnd ? fromUnicode_[c] : 0; }

 private:
  void fill(base::Converter& decode, base::Converter& encode) {
    for (unsigned lead = kLeadFirst; lead <= kLeadLast; ++lead) {
      for (unsigned trail = kTrailFirst; trail <= kTrailLast; ++trail) {
        if (!isTrail(trail)) continue;
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        std::optional<std::string> decoded = decode.convert(std::string_view(pair, sizeof pair));
        char32_t c = 0;
        if (!decoded || decoded->size() != sizeof c) continue;
        std::memcpy(&c, decoded->data(), sizeof c);
        if (c < kAsciiEnd) continue;
        // A character that does not come back as the same pair: iconv decides.
        if (encode.convert(*decoded) != std::string_view(pair, sizeof pair)) continue;
        // Pairs beyond the BMP (none in today's tables) are left to iconv, so
        // that a fast-path character takes at most three bytes of UTF-8.
        if (c >= kBmpEnd) continue;
        toUnicode_[pairIndex(lead, trail)] = c;
        fromUnicode_[c] = static_cast<uint16_t>(lead << 8 | trail);
      }
    }
  }

  std::vector<char32_t> toUnicode_;
  std::vector<uint16_t> fromUnicode_;
};

const PairTables& pairTables() {
  static const PairTables tables;
  return tables;
}

// Calls emit(character) for each character; false (part of the text may
// have been emitted) when the text needs iconv.
template <typename Emit>
bool decodeGbFast(std::string_view gb, Emit&& emit) {
  const PairTables* tables = nullptr;
  for (size_t i = 0; i < gb.size();) {
    auto byte = static_cast<unsigned char>(gb[i]);
    if (byte < kAsciiEnd) {
      emit(static_cast<char32_t>(byte));
      ++i;
      continue;
    }
    if (byte < kLeadFirst || byte > kLeadLast || i + 1 >= gb.size()) return false;
    auto trail = static_cast<unsigned char>(gb[i + 1]);
    if (!isTrail(trail)) return false;
    if (!tables) tables = &pairTables();
    char32_t c = tables->toUnicode(byte, trail);
    if (c == 0) return false;
    emit(c);
    i += 2;
  }
  return true;
}

// Appends the GB18030 bytes of a character; false when it needs iconv.
bool encodeGbFast(char32_t c, std::string& out, const PairTables*& tables) {
  if (c < kAsciiEnd) {
    out += static_cast<char>(c);
    return true;
  }
  if (!tables) tables = &pairTables();
  uint16_t pair = tables->fromUnicode(c);
  if (pair == 0) return false;
  out += static_cast<char>(pair >> 8);
  out += static_cast<char>(pair & 0xFF);
  return true;
}

constexpr char32_t kNotFast = 0xFFFFFFFF;

// The next character of well-formed UTF-8 in the basic plane; kNotFast for
// anything else, which iconv then handles.
char32_t nextUtf8(std::string_view text, size_t& i) {
  char32_t c = base::decodeUtf8(text, i);
  return c == base::kNotUtf8 || c >= kBmpEnd ? kNotFast : c;
}

constexpr uint64_t kHighBits = 0x8080808080808080u;

bool isAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= kAsciiEnd) return false;
  return true;
}

// Writes the fast-path bytes of UTF-8 text at `out` (which has room for as
// many bytes as the text has: no character grows); the end of what was
// written, or null when the text needs iconv.
char* encodeUtf8AsGbFast(std::string_view utf8, char* out) {
  const PairTables* tables = nullptr;
  const size_t size = utf8.size();
  size_t i = 0;
  while (i < size) {
    auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < kAsciiEnd) {
      // Numbers, dates and codes are ASCII, the same bytes in both
      // encodings: eight of them are copied at once.
      uint64_t word;
      while (i + sizeof word <= size) {
        std::memcpy(&word, utf8.data() + i, sizeof word);
        if (word & kHighBits) break;
        std::memcpy(out, &word, sizeof word);
        out += sizeof word;
        i += sizeof word;
      }
      while (i < size && static_cast<unsigned char>(utf8[i]) < kAsciiEnd) *out++ = utf8[i++];
      continue;
    }
    if (!tables) tables = &pairTables();
    char32_t c;
    // Chinese characters take three bytes: well-formed ones are decoded here
    // directly; everything else goes through the general decoder.
    auto second = static_cast<unsigned char>(i + 1 < size ? utf8[i + 1] : 0);
    auto third = static_cast<unsigned char>(i + 2 < size ? utf8[i + 2] : 0);
    c = (byte & 0x0Fu) << 12 | (second & 0x3Fu) << 6 | (third & 0x3Fu);
    if ((byte & 0xF0) == 0xE0 && (second & 0xC0) == 0x80 && (third & 0xC0) == 0x80 && c >= 0x800) {
      i += 3;  // surrogates have no pair: the table answers 0 for them
    } else {
      c = nextUtf8(utf8, i);
      if (c == kNotFast) return nullptr;
    }
    uint16_t pair = tables->fromUnicode(c);
    if (pair == 0) return nullptr;  // two UTF-8 bytes never become more than two
    *out++ = static_cast<char>(pair >> 8);
    *out++ = static_cast<char>(pair & 0xFF);
  }
  return out;
}

}  // namespace

std::string gbToUtf8(std::string_view gb) {
  std::string out;
  appendGbAsUtf8(gb, out);
  return out;
}

void appendGbAsUtf8(std::string_view gb, std::string& out) {
  if (isAscii(gb)) {
    out += gb;
    return;
  }
  // The fast path meets one- and two-byte characters only, which take at
  // most one and three bytes of UTF-8: the text grows by half at most. It
  // writes into that room directly (appending byte by byte cost more than
  // the decoding, on every statement the program sends).
  size_t start = out.size();
  out.resize(start + gb.size() * 3 / 2 + 1);
  char* to = out.data() + start;
  bool fast = decodeGbFast(gb, [&to](char32_t c) {
    if (c < 0x80) {
      *to++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *to++ = static_cast<char>(0xC0 | (c >> 6));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *to++ = static_cast<char>(0xE0 | (c >> 12));
      *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *to++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  });
  if (fast) {
    out.resize(static_cast<size_t>(to - out.data()));
    return;
  }
  out.resize(start);
  out += convert("UTF-8", "GB18030", gb.data(), gb.size(), "\xEF\xBF\xBD", 1);
}

void appendUtf8AsGb(std::string_view utf8, std::string& out) {
  size_t start = out.size();
  out.resize(start + utf8.size());
  if (char* end = encodeUtf8AsGbFast(utf8, out.data() + start)) {
    out.resize(static_cast<size_t>(end - out.data()));
    return;
  }
  out.resize(start);
  out += convert("GB18030", "UTF-8", utf8.data(), utf8.size(), "?", 1);
}

std::string utf8ToGb(std::string_view utf8) {
  std::string out;
  appendUtf8AsGb(utf8, out);
  return out;
}

char* newTextFromUtf8(std::string_view utf8) {
  if (utf8.empty() || utf8.size() >= static_cast<size_t>(INT32_MAX)) return newText(utf8ToGb(utf8));
  auto* block = static_cast<char*>(Allocate(static_cast<int32_t>(utf8.size() + 1)));
  if (char* end = encodeUtf8AsGbFast(utf8, block)) {
    *end = '\0';
    return block;
  }
  Free(block);
  return newText(utf8ToGb(utf8));
}

std::u16string gbToUtf16(std::string_view gb) {
  std::u16string out;
  out.reserve(gb.size());
  bool fast = decodeGbFast(gb, [&out](char32_t c) {
    if (c < kBmpEnd) {
      out += static_cast<char16_t>(c);
    } else {
      c -= kBmpEnd;
      out += static_cast<char16_t>(kSurrogateFirst + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
  });
  if (fast) return out;
  std::string bytes = convert("UTF-16LE", "GB18030", gb.data(), gb.size(), std::string("\xFD\xFF", 2), 1);
  out.assign(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

std::string utf16ToGb(std::u16string_view u16) {
  std::string out;
  out.reserve(u16.size() * 2);
  const PairTables* tables = nullptr;
  for (char16_t unit : u16) {
    if ((unit >= kSurrogateFirst && unit <= kSurrogateLast) || !encodeGbFast(unit, out, tables))
      return convert("GB18030", "UTF-16LE", reinterpret_cast<const char*>(u16.data()), u16.size() * 2, "?", 2);
  }
  return out;
}

std::string toNativePath(std::string_view gbPath) {
  std::string utf8 = gbToUtf8(gbPath);
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

}  // namespace rt
