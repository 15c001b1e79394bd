#include "sheet/engine/number_format.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "sheet/engine/typed_input.h"

namespace sheet {
namespace {

constexpr int kGeneralDigits = 11;
constexpr double kSecondsPerDay = 86400;
constexpr std::string_view kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                            "July",    "August",   "September", "October", "November", "December"};
constexpr std::string_view kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// A section of a format code split into tokens.
struct Token {
  enum class Kind { kLiteral, kDigit, kPoint, kThousands, kPercent, kExponent, kDate, kAmPm, kText } kind;
  std::string text;  // literal text, the placeholder ('0', '#', '?'), date code or exponent sign
};

std::vector<std::string_view> splitSections(std::string_view code) {
  std::vector<std::string_view> sections;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (c == '"')
      quoted = !quoted;
    else if (!quoted && c == '\\')
      ++i;
    else if (!quoted && c == ';') {
      sections.push_back(code.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(code.substr(start));
  return sections;
}

bool startsWithNoCase(std::string_view text, size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k)
    if ((text[at + k] | 0x20) != (word[k] | 0x20)) return false;
  return true;
}

// Splits one section; `isDate` tells whether it holds date or time codes.
std::vector<Token> tokenize(std::string_view section, bool& isDate) {
  std::vector<Token> tokens;
  auto literal = [&](std::string_view text) {
    if (!tokens.empty() && tokens.back().kind == Token::Kind::kLiteral)
      tokens.back().text += text;
    else
      tokens.push_back({Token::Kind::kLiteral, std::string(text)});
  };
  isDate = false;
  for (size_t i = 0; i < section.size();) {
    char c = section[i];
    if (c == '"') {
      size_t close = section.find('"', i + 1);
      if (close == std::string_view::npos) close = section.size();
      literal(section.substr(i + 1, close - i - 1));
      i = close + 1;
    } else if (c == '\\') {
      if (i + 1 < section.size()) {
        // An escaped character may be a multi-byte one.
        size_t n = 1;
        while (i + 1 + n < section.size() && (static_cast<unsigned char>(section[i + 1 + n]) & 0xC0) == 0x80) ++n;
        literal(section.substr(i + 1, n));
        i += 1 + n;
      } else {
        ++i;
      }
    } else if (c == '_') {
      literal(" ");
      i += 2;
    } else if (c == '*') {
      i += 2;
    } else if (c == '[') {
      size_t close = section.find(']', i);
      if (close == std::string_view::npos) close = section.size();
      std::string_view inside = section.substr(i + 1, close - i - 1);
      if (!inside.empty() && inside[0] == '$') {
        // [$symbol-locale]: the symbol is shown.
        size_t dash = inside.find('-');
        literal(inside.substr(1, dash == std::string_view::npos ? std::string_view::npos : dash - 1));
      } else if (!inside.empty() && std::string_view("hHmMsS").find(inside[0]) != std::string_view::npos) {
        tokens.push_back({Token::Kind::kDate, "[" + std::string(inside) + "]"});
        isDate = true;
      }
      i = close + 1;
    } else if (c == '0' || c == '#' || c == '?') {
      tokens.push_back({Token::Kind::kDigit, std::string(1, c)});
      ++i;
    } else if (c == '.') {
      tokens.push_back({Token::Kind::kPoint, "."});
      ++i;
    } else if (c == ',') {
      tokens.push_back({Token::Kind::kThousands, ","});
      ++i;
    } else if (c == '%') {
      tokens.push_back({Token::Kind::kPercent, "%"});
      ++i;
    } else if ((c == 'E' || c == 'e') && i + 1 < section.size() && (section[i + 1] == '+' || section[i + 1] == '-')) {
      tokens.push_back({Token::Kind::kExponent, std::string(1, section[i + 1])});
      i += 2;
    } else if (c == '@') {
      tokens.push_back({Token::Kind::kText, "@"});
      ++i;
    } else if (startsWithNoCase(section, i, "AM/PM")) {
      tokens.push_back({Token::Kind::kAmPm, "AM/PM"});
      i += 5;
    } else if (section.substr(i, 13) == "上午/下午") {
      tokens.push_back({Token::Kind::kAmPm, "上午/下午"});
      i += 13;
    } else if (std::string_view("yYmMdDhHsS").find(c) != std::string_view::npos) {
      size_t j = i;
      while (j < section.size() && (section[j] | 0x20) == (c | 0x20)) ++j;
      std::string run(section.substr(i, j - i));
      for (char& ch : run) ch = static_cast<char>(ch | 0x20);
      tokens.push_back({Token::Kind::kDate, run});
      isDate = true;
      i = j;
    } else {
      size_t n = 1;
      while (i + n < section.size() && (static_cast<unsigned char>(section[i + n]) & 0xC0) == 0x80) ++n;
      literal(section.substr(i, n));
      i += n;
    }
  }
  // "m" after an hour or before a second is minutes.
  for (size_t k = 0; k < tokens.size(); ++k) {
    if (tokens[k].kind != Token::Kind::kDate || (tokens[k].text != "m" && tokens[k].text != "mm")) continue;
    auto neighbour = [&](int step) -> const Token* {
      for (auto j = static_cast<ptrdiff_t>(k) + step; j >= 0 && j < static_cast<ptrdiff_t>(tokens.size()); j += step)
        if (tokens[static_cast<size_t>(j)].kind == Token::Kind::kDate) return &tokens[static_cast<size_t>(j)];
      return nullptr;
    };
    const Token* before = neighbour(-1);
    const Token* after = neighbour(1);
    if ((before && before->text[0] == 'h') || (before && before->text.rfind("[h", 0) == 0) ||
        (after && after->text[0] == 's'))
      tokens[k].text = tokens[k].text == "m" ? "M" : "MM";  // minutes
  }
  return tokens;
}

std::string twoDigits(int v) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", v);
  return buffer;
}

std::string formatDate(double value, const std::vector<Token>& tokens) {
  auto date = civilDate(value);
  if (!date) return generalNumber(value);
  double fraction = value - std::floor(value);
  auto seconds = static_cast<int64_t>(std::llround(fraction * kSecondsPerDay));
  int hour = static_cast<int>(seconds / 3600), minute = static_cast<int>(seconds / 60 % 60),
      second = static_cast<int>(seconds % 60);
  bool twelveHour = false;
  for (const Token& t : tokens) twelveHour |= t.kind == Token::Kind::kAmPm;
  auto weekday = static_cast<int>((static_cast<int64_t>(std::floor(value)) + 6) % 7);
  std::string out;
  for (const Token& t : tokens) {
    switch (t.kind) {
      case Token::Kind::kLiteral: out += t.text; break;
      case Token::Kind::kAmPm: {
        bool pm = hour >= 12;
        out += t.text == "AM/PM" ? (pm ? "PM" : "AM") : (pm ? "下午" : "上午");
        break;
      }
      case Token::Kind::kDate: {
        const std::string& code = t.text;
        int shownHour = twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
        if (code == "yy")
          out += twoDigits(date->year % 100);
        else if (code[0] == 'y')
          out += std::to_string(date->year);
        else if (code == "m")
          out += std::to_string(date->month);
        else if (code == "mm")
          out += twoDigits(date->month);
        else if (code == "mmm")
          out += kMonthNames[date->month - 1].substr(0, 3);
        else if (code[0] == 'm')
          out += kMonthNames[date->month - 1];
        else if (code == "d")
          out += std::to_string(date->day);
        else if (code == "dd")
          out += twoDigits(date->day);
        else if (code == "ddd")
          out += kDayNames[weekday].substr(0, 3);
        else if (code[0] == 'd')
          out += kDayNames[weekday];
        else if (code == "h")
          out += std::to_string(shownHour);
        else if (code[0] == 'h')
          out += twoDigits(shownHour);
        else if (code == "M")
          out += std::to_string(minute);
        else if (code == "MM")
          out += twoDigits(minute);
        else if (code == "s")
          out += std::to_string(second);
        else if (code[0] == 's')
          out += twoDigits(second);
        else if (code.rfind("[h", 0) == 0)
          out += std::to_string(static_cast<int64_t>(value * 24));
        break;
      }
      default: out += t.text; break;
    }
  }
  return out;
}

std::string groupThousands(const std::string& digits) {
  std::string out;
  size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    out += digits[i];
    size_t left = n - i - 1;
    if (left > 0 && left % 3 == 0) out += ',';
  }
  return out;
}

// Places digits into the placeholders of one side of the point.
std::string fillInteger(const std::string& digits, const std::vector<char>& placeholders, bool thousands) {
  size_t minimum = 0;
  for (char p : placeholders) minimum += p == '0' || p == '?';
  std::string body = digits == "0" && minimum == 0 ? "" : digits;
  while (body.size() < minimum) body.insert(body.begin(), '0');
  if (thousands) body = groupThousands(body);
  return body;
}

std::string formatNumeric(double value, const std::vector<Token>& tokens) {
  bool percent = false, thousands = false, exponent = false, seenPoint = false, hasDigits = false;
  std::vector<char> integerPlaces, fractionPlaces;
  std::string exponentSign;
  std::vector<char> exponentPlaces;
  for (const Token& t : tokens) {
    switch (t.kind) {
      case Token::Kind::kPercent: percent = true; break;
      case Token::Kind::kThousands: thousands |= !seenPoint && hasDigits; break;
      case Token::Kind::kPoint: seenPoint = true; break;
      case Token::Kind::kExponent:
        exponent = true;
        exponentSign = t.text;
        break;
      case Token::Kind::kDigit:
        hasDigits = true;
        if (exponent)
          exponentPlaces.push_back(t.text[0]);
        else
          (seenPoint ? fractionPlaces : integerPlaces).push_back(t.text[0]);
        break;
      default: break;
    }
  }
  if (!hasDigits) {
    std::string out;
    for (const Token& t : tokens)
      if (t.kind == Token::Kind::kLiteral)
        out += t.text;
      else if (t.kind == Token::Kind::kText)
        out += generalNumber(value);
    return out;
  }
  if (percent) value *= 100;
  int power = 0;
  if (exponent && value != 0) {
    power = static_cast<int>(std::floor(std::log10(value)));
    power -= static_cast<int>(integerPlaces.size()) - 1;
    value /= std::pow(10.0, power);
  }
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", static_cast<int>(fractionPlaces.size()), value);
  std::string fixed = buffer;
  size_t point = fixed.find('.');
  std::string integerDigits = fixed.substr(0, point);
  std::string fractionDigits = point == std::string::npos ? "" : fixed.substr(point + 1);
  // Optional fraction digits ('#') drop trailing zeros.
  while (!fractionDigits.empty() && fractionPlaces[fractionDigits.size() - 1] == '#' && fractionDigits.back() == '0')
    fractionDigits.pop_back();
  std::string integerText = fillInteger(integerDigits, integerPlaces, thousands);
  std::string out;
  bool integerDone = false, exponentDone = false;
  seenPoint = false;
  bool inExponent = false;
  for (const Token& t : tokens) {
    switch (t.kind) {
      case Token::Kind::kLiteral: out += t.text; break;
      case Token::Kind::kPercent: out += '%'; break;
      case Token::Kind::kText: break;
      case Token::Kind::kPoint:
        seenPoint = true;
        if (!integerDone) out += integerText, integerDone = true;
        if (!fractionDigits.empty() || !fractionPlaces.empty()) out += '.';
        if (!fractionDigits.empty()) out += fractionDigits;
        break;
      case Token::Kind::kExponent: {
        inExponent = true;
        if (!integerDone) out += integerText, integerDone = true;
        out += 'E';
        out += power < 0 ? "-" : (exponentSign == "+" ? "+" : "");
        std::string p = std::to_string(std::abs(power));
        while (p.size() < exponentPlaces.size()) p.insert(p.begin(), '0');
        out += p;
        exponentDone = true;
        break;
      }
      case Token::Kind::kDigit:
        if (!seenPoint && !inExponent && !integerDone) out += integerText, integerDone = true;
        break;
      default: break;
    }
  }
  (void)exponentDone;
  return out;
}

}  // namespace

std::string generalNumber(double value) {
  if (!std::isfinite(value)) return "#NUM!";
  if (value == std::floor(value) && std::fabs(value) < 1e11) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return buffer;
  }
  double magnitude = std::fabs(value);
  char buffer[64];
  if (magnitude >= 1e11 || magnitude < 1e-9) {
    std::snprintf(buffer, sizeof buffer, "%.5E", value);
    // 1.23450E+17 -> 1.2345E+17
    std::string text = buffer;
    size_t e = text.find('E');
    std::string mantissa = text.substr(0, e), power = text.substr(e + 1);
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
    int p = std::stoi(power);
    char exponentText[16];
    std::snprintf(exponentText, sizeof exponentText, "E%c%02d", p < 0 ? '-' : '+', std::abs(p));
    return mantissa + exponentText;
  }
  int integerDigits = magnitude < 1 ? 1 : static_cast<int>(std::floor(std::log10(magnitude))) + 1;
  int decimals = std::max(0, kGeneralDigits - integerDigits - (value < 0 ? 1 : 0) - 1);
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

std::string formatNumber(double value, std::string_view code) {
  if (code.empty() || startsWithNoCase(code, 0, "General")) return generalNumber(value);
  std::vector<std::string_view> sections = splitSections(code);
  std::string_view section = sections[0];
  bool negativeSection = false;
  if (sections.size() >= 3 && value == 0) {
    section = sections[2];
  } else if (sections.size() >= 2 && value < 0) {
    section = sections[1];
    negativeSection = true;
  }
  bool isDate = false;
  std::vector<Token> tokens = tokenize(section, isDate);
  if (isDate) return formatDate(value, tokens);
  double shown = negativeSection ? -value : value;
  std::string text = formatNumeric(std::fabs(shown), tokens);
  if (shown < 0 && !negativeSection) {
    // A negative number in a section of its own keeps its sign only when it
    // does not round to zero.
    bool nonZero = text.find_first_of("123456789") != std::string::npos;
    if (nonZero) text.insert(text.begin(), '-');
  }
  return text;
}

std::string displayText(const Worksheet& sheet, const StyleTable& styles, const Cell& cell) {
  std::string_view code = styles.numberFormatCode(styles.format(cell.format).numberFormat);
  switch (cell.kind) {
    case CellKind::kBlank: return {};
    case CellKind::kBool: return cell.number() != 0 ? "TRUE" : "FALSE";
    case CellKind::kError: return std::string(sheet.text(cell));
    case CellKind::kText: {
      std::vector<std::string_view> sections = splitSections(code);
      if (sections.size() < 4) return std::string(sheet.text(cell));
      bool isDate = false;
      std::string out;
      for (const Token& t : tokenize(sections[3], isDate))
        out += t.kind == Token::Kind::kText ? std::string(sheet.text(cell)) : t.text;
      return out;
    }
    case CellKind::kNumber: return formatNumber(cell.number(), code);
  }
  return {};
}

}  // namespace sheet
