#include "runtime/convert.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "runtime/heap.h"

namespace rt {
namespace {

// The representable date-times: 0100-01-01 00:00 .. 9999-12-31 00:00.
constexpr double kEarliestDateTime = -657434.0;
constexpr double kLatestDateTime = 2958465.0;
constexpr int64_t kSecondsPerDay = 86400;

// Proleptic Gregorian calendar arithmetic on day numbers counted from
// 1970-01-01 (eras of 400 years keep it exact for negative years too).
constexpr int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(int64_t days, DateParts& parts) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  parts.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  parts.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  parts.year = static_cast<int>(yearOfEra + era * 400 + (parts.month <= 2 ? 1 : 0));
}

constexpr int64_t kDateTimeEpoch = daysFromCivil(1899, 12, 30);

std::string formatted(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// A float is first rounded to 6 significant decimal digits, then printed.
std::string floatText(float f) {
  double value = f;
  if (std::isfinite(value) && value != 0.0) value = std::strtod(formatted("%.5e", value).c_str(), nullptr);
  return formatted("%.6g", value);
}

std::string dateTimeText(double days) {
  DateParts p = splitDateTime(days);
  std::string out =
      std::to_string(p.year) + "年"_gb + std::to_string(p.month) + "月"_gb + std::to_string(p.day) + "日"_gb;
  if (p.second != 0)
    out += std::to_string(p.hour) + "时"_gb + std::to_string(p.minute) + "分"_gb + std::to_string(p.second) + "秒"_gb;
  else if (p.minute != 0)
    out += std::to_string(p.hour) + "时"_gb + std::to_string(p.minute) + "分"_gb;
  else if (p.hour != 0)
    out += std::to_string(p.hour) + "时"_gb;
  return out;
}

}  // namespace

// The whole part counts days from 1899-12-30; the fraction's magnitude is the
// time of day, also for days before that date (-1.25 is 1899-12-29 06:00).
// The time is rounded to whole seconds, carrying into the next day, so a
// time stored as an inexact fraction (08:30 is 0.3541666...) never shows as
// the second before.
DateParts splitDateTime(double days) {
  if (std::isnan(days)) days = 0.0;
  days = std::clamp(days, kEarliestDateTime, kLatestDateTime);
  const double whole = std::trunc(days);
  int64_t dayNumber = static_cast<int64_t>(whole);
  int64_t seconds = std::llround(std::fabs(days - whole) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    ++dayNumber;
    seconds = 0;
  }
  DateParts parts;
  civilFromDays(dayNumber + kDateTimeEpoch, parts);
  parts.hour = static_cast<int>(seconds / 3600);
  parts.minute = static_cast<int>(seconds / 60 % 60);
  parts.second = static_cast<int>(seconds % 60);
  return parts;
}

double makeDateTime(const DateParts& parts) {
  // Months outside 1..12 roll into neighbouring years.
  int64_t monthIndex = static_cast<int64_t>(parts.year) * 12 + (parts.month - 1);
  int64_t year = monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
  int64_t month = monthIndex - year * 12 + 1;
  double day = static_cast<double>(daysFromCivil(year, month, parts.day) - kDateTimeEpoch);
  double time = (static_cast<double>(parts.hour) * 3600 + parts.minute * 60.0 + parts.second) /
                static_cast<double>(kSecondsPerDay);
  return day >= 0 ? day + time : day - time;
}

std::string valueToText(const TypedValue& value, bool* supported) {
  if (supported) *supported = true;
  switch (value.tag) {
    case tag::kByte: return std::to_string(value.low & 0xFF);
    case tag::kShort: return std::to_string(static_cast<int16_t>(value.low & 0xFFFF));
    case tag::kInt: return std::to_string(static_cast<int32_t>(value.low));
    case tag::kInt64: return std::to_string(value.asInt64());
    case tag::kFloat: return floatText(value.asFloat());
    case tag::kDouble: return formatted("%.13g", value.asDouble());
    case tag::kBool: return value.low != 0 ? "真"_gb : "假"_gb;
    case tag::kDateTime: return dateTimeText(value.asDouble());
    case tag::kText: return value.asText() ? std::string(value.asText()) : std::string();
    default:
      if (supported) *supported = false;
      return {};
  }
}

}  // namespace rt
