#include "db/field_text.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <optional>

#include "db/texts.h"
#include "runtime/encoding.h"
#include "runtime/heap.h"

namespace db {
namespace {

constexpr std::string_view kTrue = "TRUE";
constexpr std::string_view kFalse = "FALSE";
constexpr std::string_view kBlobText = "[BLOB]";

constexpr int64_t kSecondsPerDay = 86400;
constexpr double kJulianDayOfUnixEpoch = 2440587.5;
constexpr int64_t kCurrencyScale = 10000;  // currency keeps four decimals
constexpr int kFirstYear = 100;            // the range of the platform's date values
constexpr int kLastYear = 9999;

bool contains(const std::string& upper, std::string_view part) { return upper.find(part) != std::string::npos; }

template <typename... Args>
std::string format(const char* pattern, Args... args) {
  int n = std::snprintf(nullptr, 0, pattern, args...);
  if (n <= 0) return {};
  std::string text(static_cast<size_t>(n), '\0');
  std::snprintf(text.data(), text.size() + 1, pattern, args...);
  return text;
}

// A single-precision value widened back to double, as four decimals.
std::string singleText(double value) {
  if (std::fabs(value) > FLT_MAX) return format("%.4f", value);
  return format("%.4f", static_cast<double>(static_cast<float>(value)));
}

struct DateTime {
  int year, month, day, hour, minute, second;
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t mp = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

std::optional<DateTime> fromUnixSeconds(int64_t seconds) {
  constexpr int64_t kLimit = int64_t{400} * 366 * kSecondsPerDay * 30;  // far beyond year 9999
  if (seconds > kLimit || seconds < -kLimit) return std::nullopt;
  int64_t days = seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
  int64_t rest = seconds - days * kSecondsPerDay;
  DateTime t{};
  civilFromDays(days, t.year, t.month, t.day);
  if (t.year < kFirstYear || t.year > kLastYear) return std::nullopt;
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

std::optional<DateTime> fromJulianDay(double julianDay) {
  if (!std::isfinite(julianDay)) return std::nullopt;
  double seconds = std::round((julianDay - kJulianDayOfUnixEpoch) * kSecondsPerDay);
  if (std::fabs(seconds) > 1e15) return std::nullopt;
  return fromUnixSeconds(static_cast<int64_t>(seconds));
}

// Reads exactly `digits` decimal digits.
bool readNumber(std::string_view text, size_t& at, int digits, int& out) {
  if (at + static_cast<size_t>(digits) > text.size()) return false;
  out = 0;
  for (int i = 0; i < digits; ++i) {
    char c = text[at + static_cast<size_t>(i)];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  at += static_cast<size_t>(digits);
  return true;
}

bool readSeparator(std::string_view text, size_t& at, std::string_view allowed) {
  if (at >= text.size() || allowed.find(text[at]) == std::string_view::npos) return false;
  ++at;
  return true;
}

// "YYYY-MM-DD", optionally followed by " HH:MM", ":SS" and ".fraction"
// ('T' between date and time and '/' in the date also accepted).
std::optional<DateTime> parseDateText(std::string_view text) {
  DateTime t{};
  size_t at = 0;
  if (!readNumber(text, at, 4, t.year) || !readSeparator(text, at, "-/") || !readNumber(text, at, 2, t.month) ||
      !readSeparator(text, at, "-/") || !readNumber(text, at, 2, t.day))
    return std::nullopt;
  if (at < text.size()) {
    if (!readSeparator(text, at, " T") || !readNumber(text, at, 2, t.hour) || !readSeparator(text, at, ":") ||
        !readNumber(text, at, 2, t.minute))
      return std::nullopt;
    if (at < text.size() && (!readSeparator(text, at, ":") || !readNumber(text, at, 2, t.second))) return std::nullopt;
    if (at < text.size() && text[at] == '.') {
      ++at;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;  // fractions are not shown
    }
    if (at != text.size()) return std::nullopt;
  }
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 || t.second > 59)
    return std::nullopt;
  return t;
}

std::string dateText(const DateTime& t) {
  return format("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

// Currency reads like the platform's own currency-to-text: up to four
// decimals, trailing zeros dropped, no grouping.
std::optional<std::string> currencyText(long double value) {
  long double scaled = std::round(value * kCurrencyScale);
  if (!(std::fabs(scaled) < 9.2e18L)) return std::nullopt;
  auto units = static_cast<int64_t>(scaled);
  uint64_t magnitude = units < 0 ? static_cast<uint64_t>(-(units + 1)) + 1 : static_cast<uint64_t>(units);
  std::string text =
      format("%s%llu", units < 0 ? "-" : "", static_cast<unsigned long long>(magnitude / kCurrencyScale));
  auto fraction = static_cast<unsigned>(magnitude % kCurrencyScale);
  if (fraction != 0) {
    std::string digits = format("%04u", fraction);
    while (digits.back() == '0') digits.pop_back();
    text += '.' + digits;
  }
  return text;
}

std::string integerText(int64_t value, ColumnKind kind) {
  switch (kind) {
    case ColumnKind::kDate:
      if (auto t = fromUnixSeconds(value)) return dateText(*t);
      break;
    case ColumnKind::kYesNo: return std::string(value != 0 ? kTrue : kFalse);
    case ColumnKind::kCurrency:
      if (auto text = currencyText(static_cast<long double>(value))) return *text;
      break;
    case ColumnKind::kSingle: return singleText(static_cast<double>(value));
    case ColumnKind::kDecimal: return format("%.8f", static_cast<double>(value));
    case ColumnKind::kPlain: break;
  }
  // The whole 64-bit value: a number never reads as a cut-off part of itself.
  return format("%lld", static_cast<long long>(value));
}

std::string realText(double value, ColumnKind kind) {
  switch (kind) {
    case ColumnKind::kDate:
      if (auto t = fromJulianDay(value)) return dateText(*t);
      break;
    case ColumnKind::kYesNo: return std::string(value != 0 ? kTrue : kFalse);
    case ColumnKind::kCurrency:
      if (auto text = currencyText(value)) return *text;
      break;
    case ColumnKind::kSingle: return singleText(value);
    case ColumnKind::kDecimal:
    case ColumnKind::kPlain: break;
  }
  return format("%.8f", value);
}

}  // namespace

ColumnKind classifyDeclaredType(std::string_view declaredUtf8) {
  std::string upper(declaredUtf8);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (contains(upper, "DATE") || contains(upper, "TIME")) return ColumnKind::kDate;
  if (contains(upper, "BOOL") || contains(upper, "BIT") || contains(upper, "YESNO") || contains(upper, "YES/NO") ||
      contains(upper, "LOGICAL"))
    return ColumnKind::kYesNo;
  if (contains(upper, "MONEY") || contains(upper, "CURRENCY")) return ColumnKind::kCurrency;
  if (contains(upper, "SINGLE")) return ColumnKind::kSingle;
  if (contains(upper, "DEC") || contains(upper, "NUMERIC") || contains(upper, "FLOA") || contains(upper, "DOUB") ||
      contains(upper, "REAL"))
    return ColumnKind::kDecimal;
  return ColumnKind::kPlain;
}

std::string fieldText(const FieldValue& value, ColumnKind kind) {
  switch (value.storage) {
    case Storage::kNull: return {};
    case Storage::kInteger: return integerText(value.integer, kind);
    case Storage::kReal: return realText(value.real, kind);
    case Storage::kBlob: return std::string(kBlobText);
    case Storage::kText:
      if (kind == ColumnKind::kDate)
        if (auto t = parseDateText(value.text)) return dateText(*t);
      return toGb(value.text);
  }
  return {};
}

char* newFieldText(const FieldValue& value, ColumnKind kind) {
  if (value.storage == Storage::kText && kind != ColumnKind::kDate) return rt::newTextFromUtf8(value.text);
  return rt::newText(fieldText(value, kind));
}

}  // namespace db
