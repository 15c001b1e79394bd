// A text written to a cell is taken as a user's typed input would be:
// numbers and dates become numbers, everything else stays text.
#pragma once

#include <optional>
#include <string_view>

namespace sheet {

struct TypedInput {
  bool isNumber = false;
  double number = 0;
  // For a date: the number format that shows it as it was typed.
  std::string_view dateFormat;
};

// Numbers: an optional sign, digits, an optional decimal point and digits
// ("42", "-3.5", "0123", ".5"), with at most 15 significant digits: a longer
// run of digits (an identity number, say) cannot be held as a number without
// losing digits and stays text. Dates: 2014-5-6, 2014/5/6 and 2014年5月6日
// (years 1900-9999, real days only) become date serials. Anything else,
// including surrounding spaces, is text.
TypedInput interpretTypedInput(std::string_view utf8);

// The serial of a date in the 1900 date system (day 1 is 1900-01-01; the
// system counts a 29 February 1900, so later dates are one day further on).
std::optional<double> dateSerial(int year, int month, int day);

// Year, month and day of a serial's date part; nothing outside 1900-9999.
struct CivilDate {
  int year, month, day;
};
std::optional<CivilDate> civilDate(double serial);

}  // namespace sheet
