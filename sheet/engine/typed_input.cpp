#include "sheet/engine/typed_input.h"
#include "base/text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace sheet {
namespace {

constexpr int kMaxSignificantDigits = 15;
constexpr int kFirstYear = 1900, kLastYear = 9999;
constexpr double kFirstSerialAfterLeapBug = 61;  // 1900-03-01

constexpr std::string_view kDashDate = "yyyy-m-d";
constexpr std::string_view kSlashDate = "yyyy/m/d";
constexpr std::string_view kChineseDate = "yyyy\"年\"m\"月\"d\"日\"";
constexpr std::string_view kYear = "年", kMonth = "月", kDay = "日";

using base::isDigit;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads 1..maxDigits digits at `at`.
std::optional<int> digits(std::string_view text, size_t& at, int minDigits, int maxDigits) {
  int value = 0, count = 0;
  while (at < text.size() && isDigit(text[at]) && count < maxDigits) {
    value = value * 10 + (text[at++] - '0');
    ++count;
  }
  if (count < minDigits) return std::nullopt;
  return value;
}

bool take(std::string_view text, size_t& at, std::string_view expected) {
  if (text.substr(at, expected.size()) != expected) return false;
  at += expected.size();
  return true;
}

std::optional<TypedInput> asDate(std::string_view text) {
  size_t at = 0;
  auto year = digits(text, at, 4, 4);
  if (!year) return std::nullopt;
  std::string_view format;
  std::string_view afterMonth, afterDay;
  if (take(text, at, "-")) {
    format = kDashDate;
    afterMonth = "-";
  } else if (take(text, at, "/")) {
    format = kSlashDate;
    afterMonth = "/";
  } else if (take(text, at, kYear)) {
    format = kChineseDate;
    afterMonth = kMonth;
    afterDay = kDay;
  } else {
    return std::nullopt;
  }
  auto month = digits(text, at, 1, 2);
  if (!month || !take(text, at, afterMonth)) return std::nullopt;
  auto day = digits(text, at, 1, 2);
  if (!day || !take(text, at, afterDay) || at != text.size()) return std::nullopt;
  auto serial = dateSerial(*year, *month, *day);
  if (!serial) return std::nullopt;
  return TypedInput{true, *serial, format};
}

std::optional<TypedInput> asNumber(std::string_view text) {
  size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  size_t start = at;
  int significant = 0, pendingZeros = 0, digitCount = 0;
  bool point = false;
  for (; at < text.size(); ++at) {
    char c = text[at];
    if (c == '.') {
      if (point) return std::nullopt;
      point = true;
      continue;
    }
    if (!isDigit(c)) return std::nullopt;
    ++digitCount;
    if (c == '0') {
      // Zeros count once a non-zero digit follows them (or, before the
      // point, once the number has begun).
      if (significant > 0) ++pendingZeros;
      continue;
    }
    significant += pendingZeros + 1;
    pendingZeros = 0;
  }
  if (digitCount == 0) return std::nullopt;
  if (!point) significant += pendingZeros;  // trailing zeros of a whole number are digits too
  if (significant > kMaxSignificantDigits) return std::nullopt;
  std::string_view number = text.substr(start);
  double value = 0;
  if (number.front() == '.') {
    // from_chars wants a digit before the point.
    std::string withZero = "0" + std::string(number);
    std::from_chars(withZero.data(), withZero.data() + withZero.size(), value);
  } else {
    std::from_chars(number.data(), number.data() + number.size(), value);
  }
  if (text.front() == '-') value = -value;
  if (value == 0) value = 0;  // no negative zero
  return TypedInput{true, value, {}};
}

}  // namespace

std::optional<double> dateSerial(int year, int month, int day) {
  if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
    return std::nullopt;
  auto days = static_cast<double>(daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30));
  // Before March 1900 the count lacks the day the system believes in.
  return days < kFirstSerialAfterLeapBug ? days - 1 : days;
}

std::optional<CivilDate> civilDate(double serial) {
  if (!(serial >= 1) || serial >= 2958466) return std::nullopt;  // 1900-01-01 .. 9999-12-31
  auto whole = static_cast<int64_t>(std::floor(serial));
  if (whole == 60) return CivilDate{1900, 2, 29};
  if (whole < 60) ++whole;
  int64_t z = whole + daysFromCivil(1899, 12, 30) + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2);
  return CivilDate{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

TypedInput interpretTypedInput(std::string_view text) {
  if (text.empty()) return {};
  char first = text.front();
  if (!isDigit(first) && first != '-' && first != '+' && first != '.') return {};
  if (auto date = asDate(text)) return *date;
  if (auto number = asNumber(text)) return *number;
  return {};
}

}  // namespace sheet
