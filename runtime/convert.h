// Conversion of a basic value to text, shared by ToText, WriteTextLine and
// ShowMessage.
#pragma once

#include <string>

#include "runtime/value.h"

namespace rt {

// The GB18030 text of a basic value: numbers, "真"/"假", date-time (clamped to
// years 100..9999, the time part as 时/分/秒 only where not zero), text as it is.
// Any other tag gives the empty text. `supported` (when given) tells whether
// the tag was one of those.
std::string valueToText(const TypedValue& value, bool* supported = nullptr);

// Date-time values: days since 1899-12-30 00:00, fraction = local time of day.
struct DateParts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
DateParts splitDateTime(double days);
double makeDateTime(const DateParts& parts);

}  // namespace rt
