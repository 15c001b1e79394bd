// Shows a cell's value as its number format says, for printing: the common
// parts of format codes (sections, digit placeholders, thousands separators,
// percent, exponents, dates and times, quoted and escaped literals). Colours,
// conditions and fill characters are left out of the text.
#pragma once

#include <string>
#include <string_view>

#include "sheet/engine/workbook.h"

namespace sheet {

// A number as the format code shows it (UTF-8).
std::string formatNumber(double value, std::string_view code);
// The "General" form: up to eleven significant characters, as a cell of
// standard width shows a number.
std::string generalNumber(double value);
// The text a cell shows.
std::string displayText(const Worksheet& sheet, const StyleTable& styles, const Cell& cell);

}  // namespace sheet
