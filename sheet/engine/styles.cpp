#include "sheet/engine/styles.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sheet {
namespace {

constexpr uint32_t kOpaque = 0xFF000000;

// The standard palette of indexed colours (64 and 65 are the system's
// foreground and background).
constexpr std::array<uint32_t, 66> kStandardPalette = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x000000, 0xFFFFFF, 0xFF0000,
    0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080,
    0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF, 0x000080,
    0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99,
    0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99, 0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699,
    0x969696, 0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333, 0x000000, 0xFFFFFF,
};

// The colour scheme a workbook without a theme of its own uses.
constexpr std::array<uint32_t, 12> kDefaultTheme = {0x000000, 0xFFFFFF, 0x1F497D, 0xEEECE1, 0x4F81BD, 0xC0504D,
                                                    0x9BBB59, 0x8064A2, 0x4BACC6, 0xF79646, 0x0000FF, 0x800080};

struct BuiltInFormat {
  uint32_t id;
  std::string_view code;
};

// Built-in number formats as a Chinese (simplified) installation shows them.
constexpr BuiltInFormat kBuiltInFormats[] = {
    {0, "General"},
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {4, "#,##0.00"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# ?\?/??"},
    {14, "yyyy/m/d"},
    {15, "d-mmm-yy"},
    {16, "d-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "yyyy/m/d h:mm"},
    {27, "yyyy\"年\"m\"月\""},
    {28, "m\"月\"d\"日\""},
    {29, "m\"月\"d\"日\""},
    {30, "m-d-yy"},
    {31, "yyyy\"年\"m\"月\"d\"日\""},
    {32, "h\"时\"mm\"分\""},
    {33, "h\"时\"mm\"分\"ss\"秒\""},
    {34, "上午/下午h\"时\"mm\"分\""},
    {35, "上午/下午h\"时\"mm\"分\"ss\"秒\""},
    {36, "yyyy\"年\"m\"月\""},
    {37, "#,##0 ;(#,##0)"},
    {38, "#,##0 ;[Red](#,##0)"},
    {39, "#,##0.00;(#,##0.00)"},
    {40, "#,##0.00;[Red](#,##0.00)"},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mm:ss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
    {50, "yyyy\"年\"m\"月\""},
    {51, "m\"月\"d\"日\""},
    {52, "yyyy\"年\"m\"月\""},
    {53, "m\"月\"d\"日\""},
    {54, "m\"月\"d\"日\""},
    {55, "上午/下午h\"时\"mm\"分\""},
    {56, "上午/下午h\"时\"mm\"分\"ss\"秒\""},
    {57, "yyyy\"年\"m\"月\""},
    {58, "m\"月\"d\"日\""},
};

// The ids a written format code maps to: the formats whose code is the
// same in every installation (the date formats above are not).
constexpr uint32_t kPortableIds[] = {0, 1, 2, 3, 4, 9, 10, 11, 12, 13, 20, 21, 45, 46, 47, 48, 49};
constexpr std::string_view kLocalGeneral = "G/通用格式";

uint64_t derivedKey(uint32_t format, uint32_t numberFormat) { return (uint64_t{format} << 32) | numberFormat; }

double applyTint(double component, double tint) {
  return tint < 0 ? component * (1 + tint) : component * (1 - tint) + tint;
}

// Tint changes the luminance of a colour (in HLS), as the file format says.
uint32_t tinted(uint32_t rgb, double tint) {
  if (tint == 0) return rgb;
  double r = ((rgb >> 16) & 0xFF) / 255.0, g = ((rgb >> 8) & 0xFF) / 255.0, b = (rgb & 0xFF) / 255.0;
  double maxC = std::max({r, g, b}), minC = std::min({r, g, b});
  double l = (maxC + minC) / 2, h = 0, s = 0;
  if (maxC != minC) {
    double d = maxC - minC;
    s = l > 0.5 ? d / (2 - maxC - minC) : d / (maxC + minC);
    if (maxC == r)
      h = (g - b) / d + (g < b ? 6 : 0);
    else if (maxC == g)
      h = (b - r) / d + 2;
    else
      h = (r - g) / d + 4;
    h /= 6;
  }
  l = std::clamp(applyTint(l, tint), 0.0, 1.0);
  auto hueToRgb = [](double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
  };
  if (s == 0) {
    r = g = b = l;
  } else {
    double q = l < 0.5 ? l * (1 + s) : l + s - l * s, p = 2 * l - q;
    r = hueToRgb(p, q, h + 1.0 / 3);
    g = hueToRgb(p, q, h);
    b = hueToRgb(p, q, h - 1.0 / 3);
  }
  auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  return byte(r) << 16 | byte(g) << 8 | byte(b);
}

}  // namespace

uint32_t standardPaletteColor(uint32_t index) { return index < kStandardPalette.size() ? kStandardPalette[index] : 0; }

std::string_view builtInNumberFormat(uint32_t id) {
  for (const BuiltInFormat& f : kBuiltInFormats)
    if (f.id == id) return f.code;
  return {};
}

bool isDateFormat(std::string_view code) {
  bool quoted = false;
  for (size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (quoted) {
      continue;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      // [h], [mm], [ss] are elapsed times; colours and locales are not dates.
      size_t close = code.find(']', i);
      if (close == std::string_view::npos) return false;
      std::string_view inside = code.substr(i + 1, close - i - 1);
      if (!inside.empty() && (inside[0] == 'h' || inside[0] == 'H' || inside[0] == 'm' || inside[0] == 'M' ||
                              inside[0] == 's' || inside[0] == 'S'))
        return true;
      i = close;
    } else if (c == ';') {
      return false;  // only the first section decides
    } else {
      switch (c | 0x20) {
        case 'y':
        case 'm':
        case 'd':
        case 'h':
        case 's': return true;
        default: break;
      }
    }
  }
  return false;
}

StyleTable::StyleTable()
    : fonts(1), fills(2), borders(1), formats(1), themeColors(kDefaultTheme.begin(), kDefaultTheme.end()) {
  fills[1].pattern = 17;  // "gray125", which every file carries as its second fill
  for (uint32_t id : kPortableIds) idOfCode_.emplace(std::string(builtInNumberFormat(id)), id);
}

std::string_view StyleTable::numberFormatCode(uint32_t id) const {
  if (auto it = custom_.find(id); it != custom_.end()) return it->second;
  std::string_view code = builtInNumberFormat(id);
  return code.empty() ? std::string_view("General") : code;
}

void StyleTable::defineNumberFormat(uint32_t id, std::string code) {
  idOfCode_.emplace(code, id);
  custom_[id] = std::move(code);
}

uint32_t StyleTable::numberFormatId(std::string_view code) {
  if (code == kLocalGeneral || code.empty()) return kGeneralFormatId;
  if (code == lastCode_) return lastId_;
  lastCode_ = code;
  lastId_ = idFor(code);
  return lastId_;
}

uint32_t StyleTable::idFor(std::string_view code) {
  if (auto it = idOfCode_.find(std::string(code)); it != idOfCode_.end()) return it->second;
  uint32_t id = custom_.empty() ? kFirstCustomFormatId : std::max(kFirstCustomFormatId, custom_.rbegin()->first + 1);
  defineNumberFormat(id, std::string(code));
  return id;
}

uint32_t StyleTable::withNumberFormat(uint32_t format, uint32_t numberFormatId) {
  if (format >= formats.size()) format = 0;
  if (formats[format].numberFormat == numberFormatId) return format;
  uint64_t key = derivedKey(format, numberFormatId);
  if (key == lastDerivedKey_) return lastDerived_;
  lastDerivedKey_ = key;
  if (auto it = derived_.find(key); it != derived_.end()) return lastDerived_ = it->second;
  CellFormat made = formats[format];
  made.numberFormat = numberFormatId;
  if (format < formatsFromFile) made.copyOf = format;
  auto index = static_cast<uint32_t>(formats.size());
  formats.push_back(made);
  derived_.emplace(key, index);
  return lastDerived_ = index;
}

bool StyleTable::isTextFormat(uint32_t index) const {
  uint32_t id = format(index).numberFormat;
  return id == kTextFormatId || (id >= kFirstCustomFormatId && numberFormatCode(id) == "@");
}

const CellFormat& StyleTable::format(uint32_t index) const {
  return index < formats.size() ? formats[index] : formats.front();
}

const Font& StyleTable::fontOf(uint32_t index) const {
  uint32_t font = format(index).font;
  return font < fonts.size() ? fonts[font] : fonts.front();
}

const Fill& StyleTable::fillOf(uint32_t index) const {
  static const Fill kNoFill;
  uint32_t fill = format(index).fill;
  return fill < fills.size() ? fills[fill] : kNoFill;
}

const Border& StyleTable::borderOf(uint32_t index) const {
  static const Border kNoBorder;
  uint32_t border = format(index).border;
  return border < borders.size() ? borders[border] : kNoBorder;
}

uint32_t StyleTable::resolve(const Color& color, uint32_t fallback) const {
  uint32_t rgb = fallback & 0xFFFFFF;
  switch (color.kind) {
    case Color::Kind::kNone:
    case Color::Kind::kAuto: return fallback | kOpaque;
    case Color::Kind::kRgb: rgb = color.value & 0xFFFFFF; break;
    case Color::Kind::kIndexed:
      if (color.value < indexedColors.size())
        rgb = indexedColors[color.value] & 0xFFFFFF;
      else if (color.value < kStandardPalette.size())
        rgb = kStandardPalette[color.value];
      break;
    case Color::Kind::kTheme: {
      // Indices 0-3 name light 1, dark 1, light 2, dark 2: the first two
      // pairs of the scheme swapped.
      uint32_t index = color.value < 4 ? color.value ^ 1u : color.value;
      if (index < themeColors.size()) rgb = themeColors[index] & 0xFFFFFF;
      break;
    }
  }
  return kOpaque | tinted(rgb, color.tint);
}

}  // namespace sheet
