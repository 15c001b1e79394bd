#include "import/cell_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace learner_import {

CellValue numberCell(double value) {
  if (!std::isfinite(value)) return {"#NUM!", CellKind::kText};
  char buffer[64];
  if (std::fabs(value) >= kLostDigitsFrom) {
    std::snprintf(buffer, sizeof buffer, "%.14E", value);  // 15 significant digits
    return {buffer, CellKind::kLostDigits};
  }
  if (value == 0) return {"0", CellKind::kNumber};  // no "-0"
  if (value == std::trunc(value)) {
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value));
    (void)error;  // below 1e15 a long long always fits
    return {std::string(buffer, end), CellKind::kNumber};
  }
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return {buffer, CellKind::kNumber};
}

std::string dateText(int year, int month, int day) {
  return std::to_string(year) + "年" + std::to_string(month) + "月" + std::to_string(day) + "日";
}

}  // namespace learner_import
