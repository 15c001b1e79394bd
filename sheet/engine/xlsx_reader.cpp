#include "sheet/engine/xlsx_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "sheet/engine/ooxml.h"

namespace sheet {
namespace {

using namespace ooxml;

constexpr std::array<std::string_view, 19> kPatterns = {
    "none",     "solid",     "mediumGray",   "darkGray",    "lightGray",       "darkHorizontal", "darkVertical",
    "darkDown", "darkUp",    "darkGrid",     "darkTrellis", "lightHorizontal", "lightVertical",  "lightDown",
    "lightUp",  "lightGrid", "lightTrellis", "gray125",     "gray0625"};
constexpr std::array<std::string_view, 14> kLineStyles = {
    "none",         "thin",    "medium",        "dashed",     "dotted",           "thick",       "double", "hair",
    "mediumDashed", "dashDot", "mediumDashDot", "dashDotDot", "mediumDashDotDot", "slantDashDot"};
constexpr std::array<std::string_view, 8> kHorizontal = {"general", "left",    "center",           "right",
                                                         "fill",    "justify", "centerContinuous", "distributed"};
constexpr std::array<std::string_view, 5> kVertical = {"top", "center", "bottom", "justify", "distributed"};
constexpr std::array<std::string_view, 12> kThemeSlots = {
    "dk1", "lt1", "dk2", "lt2", "accent1", "accent2", "accent3", "accent4", "accent5", "accent6", "hlink", "folHlink"};
constexpr std::string_view kPrintAreaName = "_xlnm.Print_Area";
constexpr double kBaseColumnCharacters = 8;
constexpr double kDigitPixels = 7, kPaddingPixels = 5, kDefaultWidthStep = 8;

template <size_t N>
size_t indexIn(const std::array<std::string_view, N>& names, std::string_view name, size_t fallback) {
  for (size_t i = 0; i < N; ++i)
    if (names[i] == name) return i;
  return fallback;
}

uint32_t hexColor(std::string_view text) {
  uint32_t value = 0;
  for (char c : text) {
    int digit = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
    if (digit < 0) return 0xFF000000;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  return text.size() <= 6 ? (0xFF000000 | value) : value;
}

Color colorOf(const pugi::xml_node& node) {
  Color color;
  if (!node) return color;
  color.tint = doubleAttribute(node, "tint", 0);
  if (boolAttribute(node, "auto", false))
    color.kind = Color::Kind::kAuto;
  else if (pugi::xml_attribute rgb = attribute(node, "rgb"))
    color = {Color::Kind::kRgb, hexColor(rgb.value()), color.tint};
  else if (pugi::xml_attribute theme = attribute(node, "theme"))
    color = {Color::Kind::kTheme, static_cast<uint32_t>(theme.as_uint()), color.tint};
  else if (pugi::xml_attribute indexed = attribute(node, "indexed"))
    color = {Color::Kind::kIndexed, static_cast<uint32_t>(indexed.as_uint()), color.tint};
  return color;
}

// Children like <b/> and <b val="0"/>: present means on unless val says no.
bool flagChild(const pugi::xml_node& node, std::string_view name) {
  pugi::xml_node c = child(node, name);
  return c && boolAttribute(c, "val", true);
}

Font fontOf(const pugi::xml_node& node) {
  Font font;
  font.bold = flagChild(node, "b");
  font.italic = flagChild(node, "i");
  font.strike = flagChild(node, "strike");
  if (pugi::xml_node u = child(node, "u")) {
    std::string_view kind = attribute(u, "val") ? attribute(u, "val").value() : "single";
    font.underline = kind == "double"             ? 2
                     : kind == "singleAccounting" ? 3
                     : kind == "doubleAccounting" ? 4
                     : kind == "none"             ? 0
                                                  : 1;
  }
  if (pugi::xml_node sz = child(node, "sz")) font.size = doubleAttribute(sz, "val", font.size);
  if (pugi::xml_node name = child(node, "name")) font.name = attribute(name, "val").value();
  font.color = colorOf(child(node, "color"));
  return font;
}

Fill fillOf(const pugi::xml_node& node) {
  Fill fill;
  pugi::xml_node pattern = child(node, "patternFill");
  if (!pattern) return fill;
  fill.pattern = static_cast<uint8_t>(indexIn(kPatterns, attribute(pattern, "patternType").value(), 0));
  fill.foreground = colorOf(child(pattern, "fgColor"));
  fill.background = colorOf(child(pattern, "bgColor"));
  return fill;
}

BorderLine lineOf(const pugi::xml_node& node) {
  BorderLine line;
  if (!node) return line;
  line.style = static_cast<LineStyle>(indexIn(kLineStyles, attribute(node, "style").value(), 0));
  line.color = colorOf(child(node, "color"));
  return line;
}

Border borderOf(const pugi::xml_node& node) {
  Border border;
  border.left = lineOf(child(node, "left") ? child(node, "left") : child(node, "start"));
  border.right = lineOf(child(node, "right") ? child(node, "right") : child(node, "end"));
  border.top = lineOf(child(node, "top"));
  border.bottom = lineOf(child(node, "bottom"));
  return border;
}

CellFormat formatOf(const pugi::xml_node& node) {
  CellFormat format;
  format.numberFormat = static_cast<uint32_t>(std::max<int64_t>(0, integerAttribute(node, "numFmtId", 0)));
  format.font = static_cast<uint32_t>(std::max<int64_t>(0, integerAttribute(node, "fontId", 0)));
  format.fill = static_cast<uint32_t>(std::max<int64_t>(0, integerAttribute(node, "fillId", 0)));
  format.border = static_cast<uint32_t>(std::max<int64_t>(0, integerAttribute(node, "borderId", 0)));
  if (pugi::xml_node a = child(node, "alignment")) {
    Alignment& al = format.alignment;
    al.horizontal = static_cast<HorizontalAlign>(indexIn(kHorizontal, attribute(a, "horizontal").value(), 0));
    al.vertical = static_cast<VerticalAlign>(indexIn(kVertical, attribute(a, "vertical").value(), 2));
    al.wrap = boolAttribute(a, "wrapText", false);
    al.shrink = boolAttribute(a, "shrinkToFit", false);
    al.indent = static_cast<uint8_t>(std::clamp<int64_t>(integerAttribute(a, "indent", 0), 0, 250));
    al.rotation = static_cast<int16_t>(std::clamp<int64_t>(integerAttribute(a, "textRotation", 0), 0, 255));
  }
  return format;
}

// Text of a string item: <t> alone or the <t> of each run (phonetic runs left out).
std::string itemText(const pugi::xml_node& item) {
  std::string text;
  for (pugi::xml_node c : item.children()) {
    if (is(c, "t"))
      text += c.child_value();
    else if (is(c, "r"))
      text += child(c, "t").child_value();
  }
  return decodeEscapes(text);
}

struct Relationship {
  std::string type;
  std::string part;
};

class Reader {
 public:
  explicit Reader(const ReadLimits& limits) : limits_(limits) {}

  std::unique_ptr<Workbook> read(std::string bytes, std::string& error) {
    auto workbook = std::make_unique<Workbook>();
    auto source = std::make_shared<SourcePackage>();
    {
      package_ = ZipPackage::open(bytes, limits_, error_);
      if (!package_ || !readPackage(*workbook, *source)) {
        error = error_;
        return nullptr;
      }
      package_.reset();
    }
    source->bytes = std::move(bytes);
    workbook->source = std::move(source);
    return workbook;
  }

 private:
  struct Part {
    std::string bytes;
    pugi::xml_document document;
  };

  bool fail(std::string reason) {
    error_ = std::move(reason);
    return false;
  }

  std::unique_ptr<Part> load(const std::string& name) {
    auto part = std::make_unique<Part>();
    auto bytes = package_->read(name, error_);
    if (!bytes) return nullptr;
    part->bytes = std::move(*bytes);
    if (!parse(part->document, part->bytes)) {
      error_ = "malformed XML in " + name;
      return nullptr;
    }
    return part;
  }

  std::map<std::string, Relationship> relationshipsOf(const std::string& part, bool& ok) {
    std::map<std::string, Relationship> out;
    ok = true;
    std::string relsName = relationshipsPart(part);
    if (!package_->has(relsName)) return out;
    auto rels = load(relsName);
    if (!rels) {
      ok = false;
      return out;
    }
    for (pugi::xml_node r : rels->document.document_element().children()) {
      if (!is(r, "Relationship") || std::string_view(attribute(r, "TargetMode").value()) == "External") continue;
      auto target = resolveTarget(part, attribute(r, "Target").value());
      if (!target) continue;  // a target outside the package is not followed
      out[attribute(r, "Id").value()] = {attribute(r, "Type").value(), *target};
    }
    return out;
  }

  static bool typeIs(const Relationship& r, std::string_view suffix) {
    return r.type.size() >= suffix.size() && r.type.compare(r.type.size() - suffix.size(), suffix.size(), suffix) == 0;
  }

  bool readPackage(Workbook& workbook, SourcePackage& source) {
    auto root = load("_rels/.rels");
    if (!root) return false;
    std::string target = targetOf(root->document.document_element(), kRelOfficeDocument);
    auto workbookPart = resolveTarget("", target);
    if (target.empty() || !workbookPart) return fail("no workbook part");
    source.workbookPart = *workbookPart;
    auto book = load(*workbookPart);
    if (!book) return false;
    bool ok = true;
    auto relationships = relationshipsOf(*workbookPart, ok);
    if (!ok) return false;

    std::string sharedPart, themePart;
    for (const auto& [id, r] : relationships) {
      if (typeIs(r, kRelStyles))
        source.stylesPart = r.part;
      else if (typeIs(r, kRelSharedStrings))
        sharedPart = r.part;
      else if (typeIs(r, kRelTheme))
        themePart = r.part;
    }
    if (!themePart.empty() && package_->has(themePart) && !readTheme(themePart, workbook.styles)) return false;
    if (!source.stylesPart.empty() && package_->has(source.stylesPart) &&
        !readStyles(source.stylesPart, workbook.styles))
      return false;
    workbook.styles.formatsFromFile = static_cast<uint32_t>(workbook.styles.formats.size());
    if (!sharedPart.empty() && package_->has(sharedPart) && !readSharedStrings(sharedPart)) return false;

    pugi::xml_node bookNode = book->document.document_element();
    if (!is(bookNode, "workbook")) return fail("the workbook part is not a workbook");
    workbook.date1904 = boolAttribute(child(bookNode, "workbookPr"), "date1904", false);
    for (pugi::xml_node s : child(bookNode, "sheets").children()) {
      if (!is(s, "sheet")) continue;
      if (workbook.sheets.size() >= limits_.maxSheets) return fail("too many sheets");
      auto it = relationships.find(attribute(s, "id").value());
      if (it == relationships.end()) return fail("a sheet without its part");
      std::string name = attribute(s, "name").value();
      if (typeIs(it->second, kRelWorksheet)) {
        auto sheet = std::make_unique<Worksheet>(name);
        sheet->partName = it->second.part;
        if (!readWorksheet(*sheet, workbook.styles)) return false;
        workbook.sheets.push_back(std::move(sheet));
      } else {
        // Chart sheets and other kinds count as sheets but hold no cells.
        workbook.sheets.push_back(std::make_unique<Worksheet>(name, Worksheet::Kind::kChart));
      }
    }
    if (workbook.sheets.empty()) return fail("the workbook has no sheets");
    readPrintAreas(bookNode, workbook);
    return true;
  }

  bool readTheme(const std::string& name, StyleTable& styles) {
    auto theme = load(name);
    if (!theme) return false;
    pugi::xml_node scheme = child(child(theme->document.document_element(), "themeElements"), "clrScheme");
    for (pugi::xml_node slot : scheme.children()) {
      size_t index = indexIn(kThemeSlots, localName(slot.name()), kThemeSlots.size());
      if (index >= kThemeSlots.size()) continue;
      if (pugi::xml_node rgb = child(slot, "srgbClr"))
        styles.themeColors[index] = hexColor(attribute(rgb, "val").value());
      else if (pugi::xml_node sys = child(slot, "sysClr"))
        styles.themeColors[index] = hexColor(attribute(sys, "lastClr").value());
    }
    return true;
  }

  bool readStyles(const std::string& name, StyleTable& styles) {
    auto part = load(name);
    if (!part) return false;
    pugi::xml_node root = part->document.document_element();
    for (pugi::xml_node f : child(root, "numFmts").children())
      if (is(f, "numFmt"))
        styles.defineNumberFormat(static_cast<uint32_t>(std::max<int64_t>(0, integerAttribute(f, "numFmtId", 0))),
                                  attribute(f, "formatCode").value());
    auto collect = [&](std::string_view group, std::string_view item, auto& target, auto convert) {
      pugi::xml_node list = child(root, group);
      if (!list) return;
      target.clear();
      for (pugi::xml_node n : list.children())
        if (is(n, item)) target.push_back(convert(n));
    };
    collect("fonts", "font", styles.fonts, fontOf);
    collect("fills", "fill", styles.fills, fillOf);
    collect("borders", "border", styles.borders, borderOf);
    collect("cellXfs", "xf", styles.formats, formatOf);
    if (styles.fonts.empty()) styles.fonts.emplace_back();
    if (styles.formats.empty()) styles.formats.emplace_back();
    for (pugi::xml_node c : child(child(root, "colors"), "indexedColors").children())
      if (is(c, "rgbColor")) styles.indexedColors.push_back(hexColor(attribute(c, "rgb").value()));
    return true;
  }

  bool readSharedStrings(const std::string& name) {
    auto part = load(name);
    if (!part) return false;
    for (pugi::xml_node si : part->document.document_element().children())
      if (is(si, "si")) sharedStrings_.push_back(itemText(si));
    return true;
  }

  bool readWorksheet(Worksheet& sheet, const StyleTable& styles) {
    auto part = load(sheet.partName);
    if (!part) return false;
    pugi::xml_node root = part->document.document_element();
    if (!is(root, "worksheet")) return fail("a sheet part is not a worksheet");
    auto formatIndex = [&](const pugi::xml_node& node) {
      int64_t s = integerAttribute(node, "s", 0);
      return s >= 0 && static_cast<size_t>(s) < styles.formats.size() ? static_cast<uint32_t>(s) : 0u;
    };
    for (pugi::xml_node node : root.children()) {
      std::string_view name = localName(node.name());
      if (name == "sheetPr") {
        sheet.page.fitToPage = boolAttribute(child(node, "pageSetUpPr"), "fitToPage", false);
      } else if (name == "sheetFormatPr") {
        sheet.defaultRowHeight = doubleAttribute(node, "defaultRowHeight", sheet.defaultRowHeight);
        if (attribute(node, "defaultColWidth")) {
          sheet.defaultColumnWidth = doubleAttribute(node, "defaultColWidth", 0);
        } else if (attribute(node, "baseColWidth")) {
          // The default width is the base width and padding, rounded up to
          // a multiple of eight pixels.
          double base = doubleAttribute(node, "baseColWidth", kBaseColumnCharacters);
          double pixels = std::ceil((base * kDigitPixels + kPaddingPixels) / kDefaultWidthStep) * kDefaultWidthStep;
          sheet.defaultColumnWidth = std::trunc(pixels / kDigitPixels * 256) / 256;
        }
      } else if (name == "cols") {
        for (pugi::xml_node col : node.children()) {
          if (!is(col, "col")) continue;
          int64_t min = integerAttribute(col, "min", 0), max = integerAttribute(col, "max", 0);
          if (min < 1 || max < min || max > kMaxColumns) continue;
          ColumnSpan span;
          span.first = static_cast<uint32_t>(min - 1);
          span.last = static_cast<uint32_t>(max - 1);
          span.width = std::max(0.0, doubleAttribute(col, "width", 0));
          span.customWidth = boolAttribute(col, "customWidth", false);
          span.hidden = boolAttribute(col, "hidden", false);
          span.hasFormat = static_cast<bool>(attribute(col, "style"));
          if (span.hasFormat) {
            int64_t style = integerAttribute(col, "style", 0);
            span.format =
                style >= 0 && static_cast<size_t>(style) < styles.formats.size() ? static_cast<uint32_t>(style) : 0;
          }
          sheet.addColumnSpan(span);
        }
      } else if (name == "sheetData") {
        if (!readCells(node, sheet, formatIndex)) return false;
      } else if (name == "mergeCells") {
        for (pugi::xml_node m : node.children())
          if (is(m, "mergeCell"))
            if (auto range = parseRange(attribute(m, "ref").value()); range && range->first != range->last)
              sheet.merges.push_back(*range);
      } else if (name == "printOptions") {
        sheet.page.centerHorizontally = boolAttribute(node, "horizontalCentered", false);
        sheet.page.centerVertically = boolAttribute(node, "verticalCentered", false);
        sheet.page.gridLines = boolAttribute(node, "gridLines", false);
      } else if (name == "pageMargins") {
        PageSetup& p = sheet.page;
        p.left = doubleAttribute(node, "left", p.left);
        p.right = doubleAttribute(node, "right", p.right);
        p.top = doubleAttribute(node, "top", p.top);
        p.bottom = doubleAttribute(node, "bottom", p.bottom);
        p.header = doubleAttribute(node, "header", p.header);
        p.footer = doubleAttribute(node, "footer", p.footer);
      } else if (name == "pageSetup") {
        readPageSetup(node, sheet.page);
      }
    }
    return true;
  }

  static void readPageSetup(const pugi::xml_node& node, PageSetup& p) {
    std::string_view orientation = attribute(node, "orientation").value();
    p.orientation = orientation == "landscape"  ? Orientation::kLandscape
                    : orientation == "portrait" ? Orientation::kPortrait
                                                : Orientation::kDefault;
    p.paperSize = static_cast<uint32_t>(std::clamp<int64_t>(integerAttribute(node, "paperSize", 9), 1, 255));
    p.scale = static_cast<uint32_t>(std::clamp<int64_t>(integerAttribute(node, "scale", 100), 10, 400));
    p.fitToWidth = static_cast<uint32_t>(std::clamp<int64_t>(integerAttribute(node, "fitToWidth", 1), 0, 32767));
    p.fitToHeight = static_cast<uint32_t>(std::clamp<int64_t>(integerAttribute(node, "fitToHeight", 1), 0, 32767));
    p.overThenDown = std::string_view(attribute(node, "pageOrder").value()) == "overThenDown";
    if (boolAttribute(node, "useFirstPageNumber", false))
      p.firstPageNumber =
          static_cast<uint32_t>(std::clamp<int64_t>(integerAttribute(node, "firstPageNumber", 1), 0, 32767));
  }

  template <typename FormatIndex>
  bool readCells(const pugi::xml_node& data, Worksheet& sheet, FormatIndex&& formatIndex) {
    int64_t nextRow = 0;
    for (pugi::xml_node r : data.children()) {
      if (!is(r, "row")) continue;
      int64_t rowNumber = integerAttribute(r, "r", nextRow + 1) - 1;
      if (rowNumber < 0 || rowNumber >= kMaxRows) return fail("a row outside the sheet");
      nextRow = rowNumber + 1;
      auto index = static_cast<uint32_t>(rowNumber);
      Row& row = sheet.row(index);
      if (attribute(r, "ht")) row.height = std::clamp(doubleAttribute(r, "ht", 0), 0.0, 409.5);
      row.customHeight = boolAttribute(r, "customHeight", false);
      row.hidden = boolAttribute(r, "hidden", false);
      if (boolAttribute(r, "customFormat", false)) {
        row.hasFormat = true;
        row.format = formatIndex(r);
      }
      int64_t nextColumn = 0;
      for (pugi::xml_node c : r.children()) {
        if (!is(c, "c")) continue;
        CellRef ref{index, static_cast<uint32_t>(nextColumn)};
        if (pugi::xml_attribute a = attribute(c, "r")) {
          auto parsed = parseCell(a.value());
          if (!parsed || parsed->row != index) return fail("a cell outside its row");
          ref = *parsed;
        }
        if (ref.column >= kMaxColumns) return fail("a cell outside the sheet");
        nextColumn = int64_t{ref.column} + 1;
        readCell(c, ref, sheet, formatIndex(c));
      }
    }
    return true;
  }

  void readCell(const pugi::xml_node& c, CellRef ref, Worksheet& sheet, uint32_t format) {
    std::string_view type = attribute(c, "t").value();
    pugi::xml_node v = child(c, "v");
    bool hasFormula = static_cast<bool>(child(c, "f"));
    if (type == "inlineStr") {
      sheet.setText(ref, itemText(child(c, "is")));
    } else if (!v) {
      sheet.touch(ref);
    } else if (type == "s") {
      auto i = toInteger(v.child_value());
      if (i && *i >= 0 && static_cast<size_t>(*i) < sharedStrings_.size())
        sheet.setText(ref, sharedStrings_[static_cast<size_t>(*i)]);
      else
        sheet.touch(ref);
    } else if (type == "str" || type == "d") {
      sheet.setText(ref, decodeEscapes(v.child_value()));
    } else if (type == "e") {
      sheet.setText(ref, v.child_value(), CellKind::kError);
    } else if (type == "b") {
      sheet.setNumber(ref, toDouble(v.child_value()).value_or(0) != 0 ? 1 : 0, CellKind::kBool);
    } else if (auto number = toDouble(v.child_value())) {
      sheet.setNumber(ref, *number);
    } else {
      sheet.touch(ref);
    }
    Cell& cell = sheet.touch(ref);
    cell.format = format;
    cell.formula = hasFormula;
  }

  static void readPrintAreas(const pugi::xml_node& book, Workbook& workbook) {
    for (pugi::xml_node n : child(book, "definedNames").children()) {
      if (!is(n, "definedName") || std::string_view(attribute(n, "name").value()) != kPrintAreaName) continue;
      int64_t sheetIndex = integerAttribute(n, "localSheetId", -1);
      if (sheetIndex < 0 || static_cast<size_t>(sheetIndex) >= workbook.sheets.size()) continue;
      std::string_view text = n.child_value();
      // The first area of "Sheet1!$A$1:$X$30,Sheet1!$A$40:$X$50".
      size_t bang = text.rfind('!', text.find(',') == std::string_view::npos ? std::string_view::npos : text.find(','));
      std::string_view area = bang == std::string_view::npos ? text : text.substr(bang + 1);
      area = area.substr(0, area.find(','));
      if (auto range = parseRange(area)) workbook.sheets[static_cast<size_t>(sheetIndex)]->printArea = *range;
    }
  }

  ReadLimits limits_;
  std::unique_ptr<ZipPackage> package_;
  std::vector<std::string> sharedStrings_;
  std::string error_;
};

}  // namespace

std::unique_ptr<Workbook> readXlsx(std::string bytes, std::string* error, const ReadLimits& limits) {
  std::string reason;
  auto workbook = Reader(limits).read(std::move(bytes), reason);
  if (!workbook && error) *error = reason;
  if (workbook)
    for (auto& sheet : workbook->sheets) sheet->trackChanges = true;
  return workbook;
}

std::unique_ptr<Workbook> readXlsxFile(const std::string& path, std::string* error, const ReadLimits& limits) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot open " + path;
    return nullptr;
  }
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0 || static_cast<size_t>(size) > limits.maxPackageBytes) {
    if (error) *error = "the file is too large or unreadable";
    return nullptr;
  }
  in.seekg(0);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(bytes.data(), size)) {
    if (error) *error = "cannot read " + path;
    return nullptr;
  }
  return readXlsx(std::move(bytes), error, limits);
}

}  // namespace sheet
