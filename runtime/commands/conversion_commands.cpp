// ToInteger, ToText and Now.
#include <time.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "base/gb18030.h"
#include "runtime/commands/arguments.h"
#include "runtime/commands/core_commands.h"
#include "runtime/convert.h"

namespace rt::commands {
namespace {

// Full-width forms of the double-byte set and their ASCII equivalents.
constexpr unsigned char kFullWidthRow = 0xA3;  // A3 A1..A3 FE: '!'..'~'
constexpr unsigned char kSymbolRow = 0xA1;
constexpr unsigned char kIdeographicSpace = 0xA1;  // A1 A1
constexpr unsigned char kWaveDash = 0xAB;          // A1 AB
constexpr unsigned char kStarWhite = 0xEE;         // A1 EE
constexpr unsigned char kStarBlack = 0xEF;         // A1 EF

// The ASCII byte a two-byte full-width character stands for, or 0.
char asciiOfFullWidth(unsigned char lead, unsigned char trail) {
  if (lead == kFullWidthRow && trail >= 0xA1 && trail <= 0xFE) return static_cast<char>(trail - 0x80);
  if (lead == kSymbolRow) {
    if (trail == kIdeographicSpace) return ' ';
    if (trail == kWaveDash) return '~';
    if (trail == kStarWhite || trail == kStarBlack) return '*';
  }
  return 0;
}

std::string withFullWidthFormsAsAscii(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    size_t after = base::gbk::next(text, pos);
    char ascii = after - pos == 2 ? asciiOfFullWidth(static_cast<unsigned char>(text[pos]),
                                                     static_cast<unsigned char>(text[pos + 1]))
                                  : 0;
    if (ascii)
      out += ascii;
    else
      out.append(text, pos, after - pos);
    pos = after;
  }
  return out;
}

// The blanks C's number conversions skip (isspace in the C locale).
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Leading blanks, an optional sign, then decimal digits up to the first other
// byte. A value beyond the int range saturates.
int32_t parseDecimal(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && isSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  int64_t magnitude = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
    magnitude = std::min(kLimit, magnitude * 10 + (text[pos] - '0'));
  int64_t value = negative ? -magnitude : magnitude;
  return static_cast<int32_t>(
      std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The bytes of a byte array or of a numeric array, up to the first zero byte.
std::string_view arrayBytes(const TypedValue& value) {
  const void* block = value.pointer<const void>();
  if (!block) return {};
  int64_t elementBytes = value.tag == tag::kBytes ? 1 : tag::numericSize(tag::elementOf(value.tag));
  int64_t total = std::max<int32_t>(0, arrayCount(block)) * elementBytes;
  const char* bytes = reinterpret_cast<const char*>(arrayElements(block));
  const void* zero = std::memchr(bytes, 0, static_cast<size_t>(total));
  return {bytes, zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : static_cast<size_t>(total)};
}

bool isByteOrNumericArray(uint32_t t) {
  return t == tag::kBytes || (tag::isArray(t) && tag::numericSize(tag::elementOf(t)) > 0);
}

}  // namespace

void ToInteger(TypedValue* result, int32_t count, TypedValue* args) {
  TypedValue value = argumentAt(count, args, 0);
  switch (value.tag) {
    case tag::kText: setInt(result, parseDecimal(withFullWidthFormsAsAscii(textOf(value)))); return;
    case tag::kByte:
    case tag::kShort:
    case tag::kInt:
    case tag::kInt64:
    case tag::kFloat:
    case tag::kDouble:
    case tag::kBool: setInt(result, intOf(value, 0)); return;
    default: setInt(result, 0); return;
  }
}

void ToText(TypedValue* result, int32_t count, TypedValue* args) {
  TypedValue value = argumentAt(count, args, 0);
  if (isByteOrNumericArray(value.tag)) {
    setText(result, arrayBytes(value));
    return;
  }
  if (tag::isArray(value.tag)) return;  // an array of another type gives no result
  setText(result, valueToText(value));
}

void Now(TypedValue* result, int32_t, TypedValue*) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  DateParts parts{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
  *result = TypedValue::ofDateTime(makeDateTime(parts));
}

}  // namespace rt::commands
