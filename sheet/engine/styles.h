// The cell formats of a workbook: fonts, fills, borders, alignment and
// number formats, indexed as a workbook file indexes them. A workbook read
// from a file keeps the file's indices, so cells that are not written keep
// their format index unchanged when the file is saved again; formats made
// afterwards are appended after the file's own.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sheet {

struct Color {
  enum class Kind : uint8_t { kNone, kAuto, kRgb, kIndexed, kTheme };
  Kind kind = Kind::kNone;
  uint32_t value = 0;  // ARGB, palette index or theme index
  double tint = 0;
  bool operator==(const Color&) const = default;

  static Color rgb(uint32_t argb) { return {Kind::kRgb, argb, 0}; }
};

struct Font {
  std::string name = "Calibri";  // UTF-8
  double size = 11;              // points
  bool bold = false;
  bool italic = false;
  bool strike = false;
  uint8_t underline = 0;  // 0 none, 1 single, 2 double, 3 single accounting, 4 double accounting
  Color color;
  bool operator==(const Font&) const = default;
};

struct Fill {
  // 0 none, 1 solid, 2.. the other patterns in the order of the file format.
  uint8_t pattern = 0;
  Color foreground;
  Color background;
  bool operator==(const Fill&) const = default;
};

// Line styles in the numbering both file formats use.
enum class LineStyle : uint8_t {
  kNone,
  kThin,
  kMedium,
  kDashed,
  kDotted,
  kThick,
  kDouble,
  kHair,
  kMediumDashed,
  kDashDot,
  kMediumDashDot,
  kDashDotDot,
  kMediumDashDotDot,
  kSlantDashDot,
};

struct BorderLine {
  LineStyle style = LineStyle::kNone;
  Color color;
  bool operator==(const BorderLine&) const = default;
};

struct Border {
  BorderLine left, right, top, bottom;
  bool operator==(const Border&) const = default;
};

enum class HorizontalAlign : uint8_t {
  kGeneral,
  kLeft,
  kCenter,
  kRight,
  kFill,
  kJustify,
  kCenterContinuous,
  kDistributed
};
enum class VerticalAlign : uint8_t { kTop, kCenter, kBottom, kJustify, kDistributed };

struct Alignment {
  HorizontalAlign horizontal = HorizontalAlign::kGeneral;
  VerticalAlign vertical = VerticalAlign::kBottom;
  bool wrap = false;
  bool shrink = false;
  uint8_t indent = 0;
  int16_t rotation = 0;  // degrees as the file stores them (0-180, 255 vertical)
  bool operator==(const Alignment&) const = default;
};

inline constexpr uint32_t kNoFormat = UINT32_MAX;

// One cell format (an "xf" of the file formats).
struct CellFormat {
  uint32_t numberFormat = 0;  // number format id
  uint32_t font = 0;
  uint32_t fill = 0;
  uint32_t border = 0;
  Alignment alignment;
  // Formats made after a file was read: the file's format this one copies
  // with another number format (kNoFormat for the file's own and for new
  // workbooks).
  uint32_t copyOf = kNoFormat;
};

inline constexpr uint32_t kGeneralFormatId = 0;
inline constexpr uint32_t kTextFormatId = 49;
inline constexpr uint32_t kFirstCustomFormatId = 164;

class StyleTable {
 public:
  // A table with one font, the two fills every file has, one border and
  // one cell format, as a new workbook starts.
  StyleTable();

  std::vector<Font> fonts;
  std::vector<Fill> fills;
  std::vector<Border> borders;
  std::vector<CellFormat> formats;
  // Theme colours 0-11 as ARGB (dark 1, light 1, dark 2, light 2, accent 1-6,
  // hyperlink, followed hyperlink).
  std::vector<uint32_t> themeColors;
  // Indexed colours a file redefines (empty: the standard palette).
  std::vector<uint32_t> indexedColors;
  // The number of cell formats the file had when it was read.
  uint32_t formatsFromFile = 0;

  // Number format codes: built-in ids have their standard codes, custom
  // ids the code the workbook defines.
  std::string_view numberFormatCode(uint32_t id) const;
  void defineNumberFormat(uint32_t id, std::string code);
  const std::map<uint32_t, std::string>& customNumberFormats() const { return custom_; }
  // The id of a code: a built-in id when the code is one, else a custom id
  // (made when new). "G/通用格式" is the general format.
  uint32_t numberFormatId(std::string_view code);

  // The cell format that is `format` with another number format (found or
  // made).
  uint32_t withNumberFormat(uint32_t format, uint32_t numberFormatId);
  // Whether cells of this format keep every character written to them ("@").
  bool isTextFormat(uint32_t format) const;
  const CellFormat& format(uint32_t index) const;
  const Font& fontOf(uint32_t format) const;
  const Fill& fillOf(uint32_t format) const;
  const Border& borderOf(uint32_t format) const;

  // A colour as opaque ARGB; `fallback` for none and automatic colours.
  uint32_t resolve(const Color& color, uint32_t fallback) const;

 private:
  uint32_t idFor(std::string_view code);

  std::map<uint32_t, std::string> custom_;
  std::unordered_map<std::string, uint32_t> idOfCode_;
  // The code asked for last: a fill sets the same format on every cell.
  std::string lastCode_;
  uint32_t lastId_ = kGeneralFormatId;
  uint64_t lastDerivedKey_ = UINT64_MAX;
  uint32_t lastDerived_ = 0;
  std::unordered_map<uint64_t, uint32_t> derived_;
};

// A colour of the standard palette of indexed colours (0-65).
uint32_t standardPaletteColor(uint32_t index);

// The code of a built-in number format id; empty for ids that have none.
std::string_view builtInNumberFormat(uint32_t id);
// Whether a number format code shows dates or times.
bool isDateFormat(std::string_view code);

}  // namespace sheet
