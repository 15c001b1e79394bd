#include "sheet/engine/xlsx_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>

#include "sheet/engine/ooxml.h"
#include "sheet/engine/worksheet_stream.h"
#include "sheet/engine/xml_stream.h"

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

struct Relationship {
  std::string type;
  std::string part;
};

// The longest text a cell or a shared string may hold in the file, in UTF-8
// bytes: every UTF-16 unit of the longest cell text as three bytes (or two
// units as four).
constexpr size_t kMaxItemBytes = kMaxCellTextUnits * 3;
// What the shared-string table can address, whatever the limits say.
constexpr size_t kMaxSharedStringBytes = size_t{1} << 30;
constexpr size_t kMaxSharedStringItems = size_t{1} << 27;

// The shared-string table: each item's length and bytes in blocks of 1 MiB
// that never move, so that the table never holds twice its size while it
// grows; an item is found by where it starts (its block times the block size
// plus its place in the block).
class SharedStrings {
 public:
  size_t size() const { return starts_.size(); }
  size_t bytes() const { return bytes_; }
  void reserve(size_t items) { starts_.reserve(items); }
  std::string_view operator[](size_t index) const {
    uint32_t start = starts_[index];
    const char* at = blocks_[start / kBlockBytes].get() + start % kBlockBytes;
    uint32_t length;
    std::memcpy(&length, at, sizeof length);
    return {at + sizeof length, length};
  }
  // The limits keep the table far below 4 GiB.
  void add(std::string_view text) {
    auto length = static_cast<uint32_t>(text.size());
    size_t needed = sizeof length + text.size();
    if (blocks_.empty() || used_ + needed > kBlockBytes) {
      blocks_.emplace_back(new char[kBlockBytes]);  // untouched until written
      used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    std::memcpy(at, &length, sizeof length);
    std::memcpy(at + sizeof length, text.data(), text.size());
    starts_.push_back(static_cast<uint32_t>((blocks_.size() - 1) * kBlockBytes + used_));
    used_ += needed;
    bytes_ += text.size();
  }

 private:
  static constexpr size_t kBlockBytes = size_t{1} << 20;
  static_assert(kBlockBytes > kMaxItemBytes + sizeof(uint32_t));
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::vector<uint32_t> starts_;
  size_t used_ = 0, bytes_ = 0;
};

// What the sheets read so far hold, against the limits.
struct ModelBudget {
  const ReadLimits& limits;
  size_t cells = 0, rows = 0, textBytes = 0, merges = 0;
  size_t earlierSheetsBytes = 0;  // the memory footprint of the sheets read before
  size_t handedOverBytes = 0;     // what the rows handed to a sink would have taken in a model
};

// The reader's outcome so far: the first failure stays.
struct Outcome {
  ReadError error;
  bool fail(ReadFailure failure, std::string reason) {
    if (error.failure == ReadFailure::kNone) error = {failure, std::move(reason)};
    return false;
  }
  bool malformed(std::string reason) { return fail(ReadFailure::kMalformed, std::move(reason)); }
  bool beyondLimits(std::string_view what) {
    return fail(ReadFailure::kBeyondLimits, "more " + std::string(what) + " than allowed");
  }
};

// Text inside an item of strings (<si> of the shared strings, <is> of a
// cell): its <t>, or the <t> of each run; phonetic runs are left out.
class ItemText {
 public:
  void reset() {
    text_.clear();
    inT_ = inRun_ = false;
  }
  // `depth` counts from the item's element: 1 for its children.
  void start(std::string_view name, int depth) {
    if (depth == 1) {
      inRun_ = name == "r";
      inT_ = name == "t";
    } else if (depth == 2 && inRun_ && name == "t") {
      inT_ = true;
    }
  }
  void end(int depth) {
    if (depth <= 2) inT_ = false;
    if (depth == 1) inRun_ = false;
  }
  // False when the item grows beyond the longest text.
  bool text(std::string_view chunk) {
    if (!inT_) return true;
    text_.append(chunk);
    return text_.size() <= kMaxItemBytes;
  }
  std::string decoded() const { return decodeEscapes(text_); }

 private:
  std::string text_;
  bool inT_ = false, inRun_ = false;
};

// Reads the shared-string table as it inflates.
class SharedStringsReader : public XmlHandler {
 public:
  SharedStringsReader(SharedStrings& strings, const ReadLimits& limits, Outcome& outcome)
      : strings_(strings), limits_(limits), outcome_(outcome) {}

  bool start(std::string_view name, const XmlAttributes& a) override {
    ++depth_;
    if (depth_ == 1) {
      // The count the table declares (not trusted beyond the limit) spares
      // copying the index as it grows.
      int64_t declared = a.integer("uniqueCount", a.integer("count", 0));
      if (declared > 0) strings_.reserve(std::min<size_t>(static_cast<size_t>(declared), limits_.maxSharedStrings));
    } else if (depth_ == 2 && name == "si") {
      inItem_ = true;
      item_.reset();
    } else if (inItem_) {
      item_.start(name, depth_ - 2);
    }
    return true;
  }
  bool end(std::string_view) override {
    if (inItem_ && depth_ == 2) {
      inItem_ = false;
      if (strings_.size() >= std::min(limits_.maxSharedStrings, kMaxSharedStringItems))
        return outcome_.beyondLimits("shared strings");
      std::string text = item_.decoded();
      if (strings_.bytes() + text.size() > std::min<size_t>(limits_.maxSharedStringBytes, kMaxSharedStringBytes))
        return outcome_.beyondLimits("shared-string bytes");
      strings_.add(text);
    } else if (inItem_) {
      item_.end(depth_ - 2);
    }
    --depth_;
    return true;
  }
  bool text(std::string_view chunk) override {
    if (inItem_ && !item_.text(chunk)) return outcome_.beyondLimits("characters in a shared string");
    return true;
  }

 private:
  SharedStrings& strings_;
  const ReadLimits& limits_;
  Outcome& outcome_;
  int depth_ = 0;
  bool inItem_ = false;
  ItemText item_;
};

// Reads a worksheet part as it inflates: sheet settings, columns, rows and
// cells, merged ranges, print options, margins and page setup.
class WorksheetReader : public XmlHandler {
 public:
  // With a sink, rows go to it as they end and the sheet stays empty.
  WorksheetReader(Worksheet& sheet, const Workbook& book, const SharedStrings& strings, ModelBudget& budget,
                  Outcome& outcome, const RowSink* sink = nullptr)
      : sheet_(sheet),
        book_(book),
        styles_(book.styles),
        strings_(strings),
        budget_(budget),
        outcome_(outcome),
        sink_(sink) {}

  bool start(std::string_view name, const XmlAttributes& a) override {
    ++depth_;
    switch (depth_) {
      case 1:
        if (name != "worksheet") return outcome_.malformed("a sheet part is not a worksheet");
        return true;
      case 2: return startSection(name, a);
      case 3: return startInSection(name, a);
      case 4:
        if (section_ == Section::kSheetData && name == "c") return startCell(a);
        return true;
      default: return inCell_ ? startInCell(name) : true;
    }
  }

  bool end(std::string_view name) override {
    if (inCell_) {
      if (depth_ == 4) {
        inCell_ = false;
        if (!endCell()) return false;
      } else if (depth_ == 5) {
        capture_ = Capture::kNone;
        inItem_ = false;
      } else if (inItem_) {
        item_.end(depth_ - 5);
      }
    } else if (depth_ == 3 && section_ == Section::kSheetData && name == "row") {
      if (!endRow()) return false;
    } else if (depth_ == 2) {
      section_ = Section::kOther;
    }
    --depth_;
    return true;
  }

  bool text(std::string_view chunk) override {
    if (capture_ == Capture::kValue) {
      value_.append(chunk);
      if (value_.size() > kMaxItemBytes) return outcome_.beyondLimits("characters in a cell");
    } else if (inItem_ && !item_.text(chunk)) {
      return outcome_.beyondLimits("characters in a cell");
    }
    return true;
  }

  // Inside the sheet data with no row open: where rows may come from elsewhere.
  bool atRows() const { return section_ == Section::kSheetData && depth_ == 2 && !inRow_; }

  // After the whole part: the merged ranges, which a sheet keeps free of overlaps.
  void finish() { sheet_.setMerges(merges_); }

 private:
  enum class Section { kOther, kSheetPr, kCols, kSheetData, kMergeCells };
  enum class Capture { kNone, kValue };

  // A cell as read, applied to the sheet when its row ends.
  struct PendingCell {
    uint32_t column;
    CellKind kind;
    bool formula;
    uint32_t format;
    double number;
    size_t textOffset, textLength;  // in rowText_
  };

  uint32_t formatIndex(const XmlAttributes& a) const {
    int64_t s = a.integer("s", 0);
    return s >= 0 && static_cast<size_t>(s) < styles_.formats.size() ? static_cast<uint32_t>(s) : 0u;
  }

  bool startSection(std::string_view name, const XmlAttributes& a) {
    section_ = Section::kOther;
    PageSetup& p = sheet_.page;
    if (name == "sheetPr") {
      section_ = Section::kSheetPr;
      p.fitToPage = false;
      sawPageSetUp_ = false;
    } else if (name == "sheetFormatPr") {
      sheet_.defaultRowHeight = a.number("defaultRowHeight", sheet_.defaultRowHeight);
      if (a.has("defaultColWidth")) {
        sheet_.defaultColumnWidth = a.number("defaultColWidth", 0);
      } else if (a.has("baseColWidth")) {
        sheet_.defaultColumnWidth = defaultStoredColumnWidth(a.number("baseColWidth", kBaseColumnCharacters));
      }
    } else if (name == "cols") {
      section_ = Section::kCols;
    } else if (name == "sheetData") {
      section_ = Section::kSheetData;
    } else if (name == "mergeCells") {
      section_ = Section::kMergeCells;
    } else if (name == "printOptions") {
      p.centerHorizontally = a.flag("horizontalCentered", false);
      p.centerVertically = a.flag("verticalCentered", false);
      p.gridLines = a.flag("gridLines", false);
    } else if (name == "pageMargins") {
      p.left = a.number("left", p.left);
      p.right = a.number("right", p.right);
      p.top = a.number("top", p.top);
      p.bottom = a.number("bottom", p.bottom);
      p.header = a.number("header", p.header);
      p.footer = a.number("footer", p.footer);
    } else if (name == "pageSetup") {
      readPageSetup(a, p);
    }
    return true;
  }

  bool startInSection(std::string_view name, const XmlAttributes& a) {
    switch (section_) {
      case Section::kSheetPr:
        if (name == "pageSetUpPr" && !sawPageSetUp_) {
          sawPageSetUp_ = true;
          sheet_.page.fitToPage = a.flag("fitToPage", false);
        }
        return true;
      case Section::kCols:
        if (name == "col") addColumn(a);
        return true;
      case Section::kSheetData:
        if (name == "row") return startRow(a);
        return true;
      case Section::kMergeCells:
        if (name == "mergeCell")
          if (auto range = parseRange(a.find("ref") ? a.find("ref") : ""); range && range->first != range->last) {
            if (++budget_.merges > budget_.limits.maxMerges) return outcome_.beyondLimits("merged ranges");
            merges_.push_back(*range);
          }
        return true;
      case Section::kOther: return true;
    }
    return true;
  }

  void addColumn(const XmlAttributes& a) {
    int64_t min = a.integer("min", 0), max = a.integer("max", 0);
    if (min < 1 || max < min || max > kMaxColumns) return;
    ColumnSpan span;
    span.first = static_cast<uint32_t>(min - 1);
    span.last = static_cast<uint32_t>(max - 1);
    span.width = std::max(0.0, a.number("width", 0));
    span.customWidth = a.flag("customWidth", false);
    span.hidden = a.flag("hidden", false);
    span.hasFormat = a.has("style");
    if (span.hasFormat) {
      int64_t style = a.integer("style", 0);
      span.format =
          style >= 0 && static_cast<size_t>(style) < styles_.formats.size() ? static_cast<uint32_t>(style) : 0;
    }
    sheet_.addColumnSpan(span);
  }

  static void readPageSetup(const XmlAttributes& a, PageSetup& p) {
    const char* orientation = a.find("orientation");
    std::string_view o = orientation ? orientation : "";
    p.orientation = o == "landscape"  ? Orientation::kLandscape
                    : o == "portrait" ? Orientation::kPortrait
                                      : Orientation::kDefault;
    p.paperSize = static_cast<uint32_t>(std::clamp<int64_t>(a.integer("paperSize", 9), 1, 255));
    p.scale = static_cast<uint32_t>(std::clamp<int64_t>(a.integer("scale", 100), 10, 400));
    p.fitToWidth = static_cast<uint32_t>(std::clamp<int64_t>(a.integer("fitToWidth", 1), 0, 32767));
    p.fitToHeight = static_cast<uint32_t>(std::clamp<int64_t>(a.integer("fitToHeight", 1), 0, 32767));
    const char* order = a.find("pageOrder");
    p.overThenDown = order && std::string_view(order) == "overThenDown";
    if (a.flag("useFirstPageNumber", false))
      p.firstPageNumber = static_cast<uint32_t>(std::clamp<int64_t>(a.integer("firstPageNumber", 1), 0, 32767));
  }

  bool startRow(const XmlAttributes& a) {
    int64_t rowNumber = a.integer("r", nextRow_ + 1) - 1;
    if (rowNumber < 0 || rowNumber >= kMaxRows) return outcome_.malformed("a row outside the sheet");
    auto index = static_cast<uint32_t>(rowNumber);
    // A row given twice would have its cells merged one by one into those
    // already read, at a cost that grows with the square of the row.
    if (!sink_ && sheet_.rows().count(index)) return outcome_.malformed("a row given twice");
    if (++budget_.rows > budget_.limits.maxRows) return outcome_.beyondLimits("rows");
    nextRow_ = rowNumber + 1;
    rowIndex_ = index;
    nextColumn_ = 0;
    pending_.clear();
    rowText_.clear();
    inRow_ = true;
    if (!sink_) readRowSettings(sheet_.row(index), a);
    return true;
  }

  void readRowSettings(Row& row, const XmlAttributes& a) {
    if (a.has("ht")) row.height = std::clamp(a.number("ht", 0), 0.0, 409.5);
    row.customHeight = a.flag("customHeight", false);
    row.hidden = a.flag("hidden", false);
    if (a.flag("customFormat", false)) {
      row.hasFormat = true;
      row.format = formatIndex(a);
    }
  }

  bool startCell(const XmlAttributes& a) {
    if (!inRow_) return true;
    CellRef ref{rowIndex_, static_cast<uint32_t>(nextColumn_)};
    if (const char* r = a.find("r")) {
      auto parsed = parseCell(r);
      if (!parsed || parsed->row != rowIndex_) return outcome_.malformed("a cell outside its row");
      ref = *parsed;
    }
    if (ref.column >= kMaxColumns) return outcome_.malformed("a cell outside the sheet");
    nextColumn_ = int64_t{ref.column} + 1;
    const char* type = a.find("t");
    cellType_ = type ? type : "";
    cellColumn_ = ref.column;
    cellFormat_ = formatIndex(a);
    hasValue_ = hasFormula_ = hasItem_ = inItem_ = false;
    capture_ = Capture::kNone;
    value_.clear();
    item_.reset();
    inCell_ = true;
    return true;
  }

  bool startInCell(std::string_view name) {
    if (depth_ == 5) {
      if (name == "v" && !hasValue_) {
        hasValue_ = true;
        capture_ = Capture::kValue;
      } else if (name == "f") {
        hasFormula_ = true;
      } else if (name == "is" && !hasItem_) {
        hasItem_ = inItem_ = true;
      }
    } else if (inItem_) {
      item_.start(name, depth_ - 5);
    }
    return true;
  }

  void pendText(PendingCell& cell, std::string_view text, CellKind kind) {
    cell.kind = kind;
    cell.textOffset = rowText_.size();
    cell.textLength = text.size();
    rowText_.append(text);
  }

  bool endCell() {
    PendingCell cell{cellColumn_, CellKind::kBlank, hasFormula_, cellFormat_, 0, 0, 0};
    if (cellType_ == "inlineStr") {
      pendText(cell, item_.decoded(), CellKind::kText);
    } else if (!hasValue_) {
      // a blank cell
    } else if (cellType_ == "s") {
      if (auto i = toInteger(value_); i && *i >= 0 && static_cast<size_t>(*i) < strings_.size())
        pendText(cell, strings_[static_cast<size_t>(*i)], CellKind::kText);
    } else if (cellType_ == "str" || cellType_ == "d") {
      pendText(cell, decodeEscapes(value_), CellKind::kText);
    } else if (cellType_ == "e") {
      pendText(cell, value_, CellKind::kError);
    } else if (cellType_ == "b") {
      cell.kind = CellKind::kBool;
      cell.number = toDouble(value_).value_or(0) != 0 ? 1 : 0;
    } else if (auto number = toDouble(value_)) {
      cell.kind = CellKind::kNumber;
      cell.number = *number;
    }
    if (cell.kind == CellKind::kText || cell.kind == CellKind::kError) {
      budget_.textBytes += cell.textLength + 1;
      if (budget_.textBytes > budget_.limits.maxTextBytes) return outcome_.beyondLimits("text in cells");
    }
    if (!pending_.empty() && pending_.back().column >= cell.column) rowOutOfOrder_ = true;
    pending_.push_back(cell);
    return true;
  }

  // The row's cells go into the sheet in column order; of a column given
  // twice the last one counts, as it would have overwritten the first.
  bool endRow() {
    inRow_ = false;
    if (rowOutOfOrder_) {
      std::stable_sort(pending_.begin(), pending_.end(),
                       [](const PendingCell& a, const PendingCell& b) { return a.column < b.column; });
      auto last = std::unique(pending_.rbegin(), pending_.rend(),
                              [](const PendingCell& a, const PendingCell& b) { return a.column == b.column; });
      pending_.erase(pending_.begin(), last.base());
      rowOutOfOrder_ = false;
    }
    budget_.cells += pending_.size();
    if (budget_.cells > budget_.limits.maxCells) return outcome_.beyondLimits("cells");
    if (sink_) return handRowOver();
    Row& row = sheet_.row(rowIndex_);
    row.cells.reserve(pending_.size());
    for (const PendingCell& p : pending_) {
      CellRef ref{rowIndex_, p.column};
      Cell& cell = sheet_.touch(ref);
      if (p.kind == CellKind::kText || p.kind == CellKind::kError) {
        if (!sheet_.setText(cell, ref, std::string_view(rowText_).substr(p.textOffset, p.textLength), p.kind))
          return outcome_.beyondLimits("text in cells");
      } else if (p.kind != CellKind::kBlank) {
        sheet_.setNumber(cell, ref, p.number, p.kind);
      }
      cell.format = p.format;
      cell.formula = p.formula;
    }
    if (budget_.earlierSheetsBytes + sheet_.memoryFootprint() > budget_.limits.maxModelBytes)
      return outcome_.beyondLimits("memory for cells, rows and texts");
    return true;
  }

  // No model is built, but the rows handed over are held to the limit of
  // one, so that a file is refused at the same point either way.
  bool handRowOver() {
    constexpr size_t kRowBytes = 96;  // a row's entry in the model's map of rows
    budget_.handedOverBytes += kRowBytes + pending_.size() * (sizeof(Cell) + 1) + rowText_.size();
    if (budget_.earlierSheetsBytes + budget_.handedOverBytes > budget_.limits.maxModelBytes)
      return outcome_.beyondLimits("memory for cells, rows and texts");
    rowCells_.clear();
    for (const PendingCell& p : pending_) {
      if (p.kind == CellKind::kBlank) continue;
      std::string_view text;
      if (p.kind == CellKind::kText || p.kind == CellKind::kError)
        text = std::string_view(rowText_).substr(p.textOffset, p.textLength);
      rowCells_.push_back({p.column, p.kind, p.format, p.number, text});
    }
    return (*sink_)(book_, rowIndex_, rowCells_);
  }

  Worksheet& sheet_;
  const Workbook& book_;  // as read so far: its settings and styles
  const StyleTable& styles_;
  const SharedStrings& strings_;
  ModelBudget& budget_;
  Outcome& outcome_;
  const RowSink* sink_;
  std::vector<RowCell> rowCells_;

  int depth_ = 0;
  Section section_ = Section::kOther;
  bool sawPageSetUp_ = false;
  std::vector<CellRange> merges_;
  // The row being read.
  bool inRow_ = false;
  uint32_t rowIndex_ = 0;
  int64_t nextRow_ = 0, nextColumn_ = 0;
  std::vector<PendingCell> pending_;
  std::string rowText_;
  bool rowOutOfOrder_ = false;
  // The cell being read.
  bool inCell_ = false;
  std::string cellType_;
  uint32_t cellColumn_ = 0, cellFormat_ = 0;
  bool hasValue_ = false, hasFormula_ = false, hasItem_ = false, inItem_ = false;
  Capture capture_ = Capture::kNone;
  std::string value_;
  ItemText item_;
};

class Reader {
 public:
  explicit Reader(const ReadLimits& limits, const RowSink* sink = nullptr)
      : limits_(limits), budget_{limits_}, sink_(sink) {}

  // Reads the package in `bytes` (which must outlive the call) into a
  // workbook that does not keep them; `source` gets the names of its parts.
  std::unique_ptr<Workbook> readWithoutSource(std::string_view bytes, ReadError& error, SourcePackage& source) {
    auto workbook = std::make_unique<Workbook>();
    package_ = ZipPackage::open(bytes, limits_, outcome_.error);
    if (!package_ || !readPackage(*workbook, source)) {
      error = outcome_.error;
      if (error.failure == ReadFailure::kNone && !stoppedBySink_) error.failure = ReadFailure::kMalformed;
      return nullptr;
    }
    package_.reset();
    return workbook;
  }

  std::unique_ptr<Workbook> read(std::string bytes, ReadError& error) {
    auto source = std::make_shared<SourcePackage>();
    auto workbook = readWithoutSource(bytes, error, *source);
    if (!workbook) return nullptr;
    source->bytes = std::move(bytes);
    workbook->source = std::move(source);
    return workbook;
  }

 private:
  struct Part {
    std::string bytes;
    pugi::xml_document document;
  };
  struct SheetEntry {
    std::string name, relationship;
  };
  struct PrintAreaName {
    int64_t sheet;
    std::string area;
  };

  std::unique_ptr<Part> load(const std::string& name) {
    auto part = std::make_unique<Part>();
    auto bytes = package_->read(name, outcome_.error);
    if (!bytes) return nullptr;
    part->bytes = std::move(*bytes);
    if (!parse(part->document, part->bytes)) {
      outcome_.malformed("malformed XML in " + name);
      return nullptr;
    }
    return part;
  }

  // Reads a part as it inflates, handing it to `xml`.
  bool stream(const std::string& name, XmlStream& xml) {
    auto feed = [&](std::string_view piece) { return xml.feed(piece, false) || refusedBy(xml, name); };
    if (!package_->stream(name, feed, outcome_.error)) return false;
    return xml.feed({}, true) || refusedBy(xml, name);
  }

  // Reads a worksheet part with its inflating and parsing on a second thread.
  bool stream(const std::string& name, WorksheetStream& xml) {
    ReadError inflating;
    auto pieces = [&](const WorksheetStream::PieceSink& sink) { return package_->stream(name, sink, inflating); };
    switch (xml.readAhead(pieces)) {
      case WorksheetStream::Ahead::kRead: return true;
      case WorksheetStream::Ahead::kPiecesFailed: outcome_.error = inflating; return false;
      case WorksheetStream::Ahead::kFailed: break;
    }
    return refusedBy(xml, name);
  }

  // A stream that failed: the part's XML is malformed, unless the handler
  // stopped it (having said why).
  template <typename Stream>
  bool refusedBy(const Stream& xml, const std::string& name) {
    if (!xml.stoppedByHandler()) outcome_.malformed("malformed XML in " + name + ": " + xml.error());
    return false;
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

  // The workbook part's settings, sheets and print areas; its tree goes
  // before the sheets are read.
  bool readWorkbookPart(const std::string& name, Workbook& workbook) {
    auto book = load(name);
    if (!book) return false;
    pugi::xml_node bookNode = book->document.document_element();
    if (!is(bookNode, "workbook")) return outcome_.malformed("the workbook part is not a workbook");
    workbook.date1904 = boolAttribute(child(bookNode, "workbookPr"), "date1904", false);
    for (pugi::xml_node s : child(bookNode, "sheets").children()) {
      if (!is(s, "sheet")) continue;
      if (sheetEntries_.size() >= limits_.maxSheets) return outcome_.beyondLimits("sheets");
      sheetEntries_.push_back({attribute(s, "name").value(), attribute(s, "id").value()});
    }
    for (pugi::xml_node n : child(bookNode, "definedNames").children())
      if (is(n, "definedName") && std::string_view(attribute(n, "name").value()) == kPrintAreaName)
        printAreas_.push_back({integerAttribute(n, "localSheetId", -1), n.child_value()});
    return true;
  }

  bool readPackage(Workbook& workbook, SourcePackage& source) {
    auto root = load("_rels/.rels");
    if (!root) return false;
    std::string target = targetOf(root->document.document_element(), kRelOfficeDocument);
    auto workbookPart = resolveTarget("", target);
    if (target.empty() || !workbookPart) return outcome_.malformed("no workbook part");
    source.workbookPart = *workbookPart;
    if (!readWorkbookPart(*workbookPart, workbook)) return false;
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
    if (!sharedPart.empty() && package_->has(sharedPart)) {
      SharedStringsReader reader(sharedStrings_, limits_, outcome_);
      XmlStream xml(reader);
      if (!stream(sharedPart, xml)) return false;
    }

    for (const SheetEntry& entry : sheetEntries_) {
      auto it = relationships.find(entry.relationship);
      if (it == relationships.end()) return outcome_.malformed("a sheet without its part");
      if (typeIs(it->second, kRelWorksheet)) {
        auto sheet = std::make_unique<Worksheet>(entry.name);
        sheet->partName = it->second.part;
        // With a sink, the first worksheet's rows go to it and no later sheet is read.
        if (sink_ && sinkUsed_) {
          workbook.sheets.push_back(std::move(sheet));
          continue;
        }
        sinkUsed_ = sink_ != nullptr;
        WorksheetReader reader(*sheet, workbook, sharedStrings_, budget_, outcome_, sink_);
        WorksheetStream xml(reader, [&reader] { return reader.atRows(); });
        if (!stream(sheet->partName, xml)) {
          stoppedBySink_ = sink_ && outcome_.error.failure == ReadFailure::kNone;
          return false;
        }
        reader.finish();
        budget_.earlierSheetsBytes += sheet->memoryFootprint();
        workbook.sheets.push_back(std::move(sheet));
      } else {
        // Chart sheets and other kinds count as sheets but hold no cells.
        workbook.sheets.push_back(std::make_unique<Worksheet>(entry.name, Worksheet::Kind::kChart));
      }
    }
    if (workbook.sheets.empty()) return outcome_.malformed("the workbook has no sheets");
    applyPrintAreas(workbook);
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
    const size_t most = limits_.maxStyleEntries;
    size_t numberFormats = 0;
    for (pugi::xml_node f : child(root, "numFmts").children()) {
      if (!is(f, "numFmt")) continue;
      if (++numberFormats > most) return outcome_.beyondLimits("number formats");
      styles.defineNumberFormat(static_cast<uint32_t>(std::max<int64_t>(0, integerAttribute(f, "numFmtId", 0))),
                                attribute(f, "formatCode").value());
    }
    bool withinLimits = true;
    auto collect = [&](std::string_view group, std::string_view item, auto& target, auto convert) {
      pugi::xml_node list = child(root, group);
      if (!list) return;
      target.clear();
      for (pugi::xml_node n : list.children()) {
        if (!is(n, item)) continue;
        if (target.size() >= most) {
          withinLimits = false;
          return;
        }
        target.push_back(convert(n));
      }
    };
    collect("fonts", "font", styles.fonts, fontOf);
    collect("fills", "fill", styles.fills, fillOf);
    collect("borders", "border", styles.borders, borderOf);
    collect("cellXfs", "xf", styles.formats, formatOf);
    if (!withinLimits) return outcome_.beyondLimits("cell formats, fonts, fills or borders");
    if (styles.fonts.empty()) styles.fonts.emplace_back();
    if (styles.formats.empty()) styles.formats.emplace_back();
    for (pugi::xml_node c : child(child(root, "colors"), "indexedColors").children())
      if (is(c, "rgbColor") && styles.indexedColors.size() < most)
        styles.indexedColors.push_back(hexColor(attribute(c, "rgb").value()));
    return true;
  }

  void applyPrintAreas(Workbook& workbook) const {
    for (const PrintAreaName& name : printAreas_) {
      if (name.sheet < 0 || static_cast<size_t>(name.sheet) >= workbook.sheets.size()) continue;
      std::string_view text = name.area;
      // The first area of "Sheet1!$A$1:$X$30,Sheet1!$A$40:$X$50".
      size_t bang = text.rfind('!', text.find(',') == std::string_view::npos ? std::string_view::npos : text.find(','));
      std::string_view area = bang == std::string_view::npos ? text : text.substr(bang + 1);
      area = area.substr(0, area.find(','));
      if (auto range = parseRange(area)) workbook.sheets[static_cast<size_t>(name.sheet)]->printArea = *range;
    }
  }

  ReadLimits limits_;
  ModelBudget budget_;
  Outcome outcome_;
  const RowSink* sink_;
  bool sinkUsed_ = false;
  bool stoppedBySink_ = false;
  std::unique_ptr<ZipPackage> package_;
  SharedStrings sharedStrings_;
  std::vector<SheetEntry> sheetEntries_;
  std::vector<PrintAreaName> printAreas_;
};

}  // namespace

std::unique_ptr<Workbook> readXlsx(std::string bytes, ReadError* error, const ReadLimits& limits) {
  ReadError outcome;
  auto workbook = Reader(limits).read(std::move(bytes), outcome);
  if (!workbook && error) *error = std::move(outcome);
  if (workbook)
    for (auto& sheet : workbook->sheets) sheet->trackChanges = true;
  return workbook;
}

std::unique_ptr<Workbook> readXlsxRows(std::string_view bytes, const RowSink& sink, ReadError* error,
                                       const ReadLimits& limits) {
  ReadError outcome;
  SourcePackage unused;
  auto workbook = Reader(limits, &sink).readWithoutSource(bytes, outcome, unused);
  if (!workbook && error) *error = std::move(outcome);
  return workbook;
}

std::unique_ptr<Workbook> readXlsxFile(const std::string& path, ReadError* error, const ReadLimits& limits) {
  ReadError unused;
  ReadError& out = error ? *error : unused;
  // A pipe or a device in the file's place is refused rather than waited on
  // or read without end.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    out = {ReadFailure::kUnreadable, "cannot open " + path};
    return nullptr;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    out = {ReadFailure::kUnreadable, path + " is not a file"};
    return nullptr;
  }
  if (static_cast<uint64_t>(info.st_size) > limits.maxPackageBytes) {
    out = {ReadFailure::kBeyondLimits, "the package is larger than allowed"};
    return nullptr;
  }
  std::string bytes(static_cast<size_t>(info.st_size), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (done != bytes.size()) {
    out = {ReadFailure::kUnreadable, "cannot read " + path};
    return nullptr;
  }
  return readXlsx(std::move(bytes), error, limits);
}

}  // namespace sheet
