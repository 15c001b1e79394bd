#include "sheet/engine/xls_writer.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <unordered_map>

#include "base/utf8.h"
#include "sheet/engine/biff8.h"
#include "sheet/engine/compound_file.h"

namespace sheet {
namespace {

using namespace biff8;

constexpr uint16_t kUtf16CodePage = 1200;
constexpr uint32_t kStyleFormats = 15;  // cell format i is record 15 + i
constexpr uint32_t kMaxFormats = 4050;
constexpr uint16_t kAutoFontColor = 0x7FFF;
constexpr uint16_t kSystemForeground = 64, kSystemBackground = 65;
constexpr uint32_t kFirstPaletteIndex = 8, kLastPaletteIndex = 63;
constexpr size_t kRowsPerBlock = 32;
constexpr size_t kRowRecordBytes = kRecordHeader + 16;
constexpr size_t kMergesPerRecord = 1026;
constexpr uint8_t kPrintAreaBuiltInName = 0x06;
constexpr uint8_t kPtgArea3d = 0x3B;
constexpr uint8_t kGbCharset = 134;
constexpr uint16_t kTwipsPerPoint = 20;

class Bytes {
 public:
  Bytes& u8(uint32_t v) {
    data_ += static_cast<char>(v & 0xFF);
    return *this;
  }
  Bytes& u16(uint32_t v) { return u8(v).u8(v >> 8); }
  Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Bytes& f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return u32(static_cast<uint32_t>(bits)).u32(static_cast<uint32_t>(bits >> 32));
  }
  Bytes& raw(std::string_view bytes) {
    data_ += bytes;
    return *this;
  }
  // Characters of a text: one byte each when every unit fits, else UTF-16LE.
  Bytes& characters(const std::u16string& text, bool compressed) {
    for (char16_t c : text) compressed ? u8(c) : u16(c);
    return *this;
  }
  const std::string& data() const { return data_; }
  size_t size() const { return data_.size(); }

 private:
  std::string data_;
};

bool fitsOneByte(const std::u16string& text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x100; });
}

// Short (1-byte count) and long (2-byte count) unicode strings.
Bytes& shortString(Bytes& b, const std::u16string& text) {
  bool compressed = fitsOneByte(text);
  return b.u8(static_cast<uint32_t>(text.size())).u8(compressed ? 0 : 1).characters(text, compressed);
}
Bytes& longString(Bytes& b, const std::u16string& text) {
  bool compressed = fitsOneByte(text);
  return b.u16(static_cast<uint32_t>(text.size())).u8(compressed ? 0 : 1).characters(text, compressed);
}

uint16_t nearestPaletteIndex(uint32_t argb) {
  int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  uint32_t best = kFirstPaletteIndex;
  long bestDistance = -1;
  for (uint32_t i = kFirstPaletteIndex; i <= kLastPaletteIndex; ++i) {
    uint32_t c = standardPaletteColor(i);
    long dr = r - static_cast<int>((c >> 16) & 0xFF), dg = g - static_cast<int>((c >> 8) & 0xFF),
         db = b - static_cast<int>(c & 0xFF);
    long distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return static_cast<uint16_t>(best);
}

bool isAutomatic(const Color& c) { return c.kind == Color::Kind::kNone || c.kind == Color::Kind::kAuto; }

// The error codes of the error values a cell can hold.
std::optional<uint8_t> errorCode(std::string_view text) {
  static constexpr std::pair<std::string_view, uint8_t> kCodes[] = {
      {"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F}, {"#REF!", 0x17},
      {"#NAME?", 0x1D}, {"#NUM!", 0x24},   {"#N/A", 0x2A}};
  for (const auto& [name, code] : kCodes)
    if (name == text) return code;
  return std::nullopt;
}

class XlsBuilder {
 public:
  explicit XlsBuilder(const Workbook& workbook) : workbook_(workbook) {}

  bool build(std::string& stream, std::string& error) {
    if (!check(error)) return false;
    collectStrings();
    writeGlobals();
    for (size_t i = 0; i < workbook_.sheets.size(); ++i) {
      patch32(boundSheetPositions_[i], static_cast<uint32_t>(out_.size()));
      writeSheet(*workbook_.sheets[i], i);
    }
    stream = std::move(out_);
    return true;
  }

 private:
  // --- checks ---

  bool check(std::string& error) const {
    if (workbook_.styles.formats.size() + kStyleFormats > kMaxFormats) {
      error = "too many cell formats for an .xls file";
      return false;
    }
    for (const auto& sheet : workbook_.sheets) {
      for (const auto& [index, row] : sheet->rows()) {
        for (const Cell& cell : row.cells) {
          if (cell.kind == CellKind::kBlank) continue;
          if (index >= kXlsMaxRows || cell.column >= kXlsMaxColumns) {
            error = "a cell lies beyond the rows or columns an .xls file holds";
            return false;
          }
          std::string_view text = sheet->text(cell);
          if (text.size() > kMaxCellTextUnits && base::utf16Length(text) > kMaxCellTextUnits) {
            error = "a text is longer than an .xls cell holds";
            return false;
          }
        }
      }
    }
    return true;
  }

  static bool inside(uint32_t row, uint32_t column) { return row < kXlsMaxRows && column < kXlsMaxColumns; }

  // --- records ---

  void record(uint16_t type, const Bytes& body) {
    Bytes header;
    header.u16(type).u16(static_cast<uint32_t>(body.size()));
    out_ += header.data();
    out_ += body.data();
  }
  void record16(uint16_t type, uint32_t value) { record(type, Bytes().u16(value)); }

  void patch32(size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out_[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  void patch16(size_t at, uint32_t value) {
    out_[at] = static_cast<char>(value & 0xFF);
    out_[at + 1] = static_cast<char>((value >> 8) & 0xFF);
  }

  void bof(uint16_t substream) {
    record(kBof, Bytes().u16(kBiff8).u16(substream).u16(0x0DBB).u16(0x07CC).u32(0).u32(6));
  }

  // --- shared strings ---

  void collectStrings() {
    for (const auto& sheet : workbook_.sheets) {
      for (const auto& [index, row] : sheet->rows()) {
        for (const Cell& cell : row.cells) {
          if (!isTextCell(*sheet, cell) || !inside(index, cell.column)) continue;
          std::string_view text = sheet->text(cell);
          auto [it, made] = stringIndex_.try_emplace(std::string(text), static_cast<uint32_t>(strings_.size()));
          if (made) strings_.push_back(base::utf8ToUtf16(text));
          ++stringReferences_;
        }
      }
    }
  }

  // An empty text is written as a blank cell with its format, as the
  // spreadsheet programs themselves write a cell that shows nothing: an
  // empty string in the shared string table stops some readers of the
  // format from reading the file at all.
  static bool isTextCell(const Worksheet& sheet, const Cell& cell) {
    if (sheet.text(cell).empty()) return false;
    return cell.kind == CellKind::kText || (cell.kind == CellKind::kError && !errorCode(sheet.text(cell)));
  }

  // The shared string table, split over CONTINUE records; a string header is
  // never split, and the characters of a split string go on after an option
  // byte at the start of the next record. EXTSST indexes every n-th string.
  void writeStrings() {
    size_t perBucket = std::max<size_t>(8, (strings_.size() + 127) / 128);
    std::vector<std::pair<uint32_t, uint16_t>> buckets;
    Bytes body;
    body.u32(static_cast<uint32_t>(stringReferences_)).u32(static_cast<uint32_t>(strings_.size()));
    uint16_t type = kSst;
    size_t recordStart = out_.size();
    auto flush = [&] {
      record(type, body);
      body = Bytes();
      type = kContinue;
      recordStart = out_.size();
    };
    for (size_t i = 0; i < strings_.size(); ++i) {
      const std::u16string& s = strings_[i];
      bool compressed = fitsOneByte(s);
      size_t unit = compressed ? 1 : 2;
      if (kMaxRecordBody - body.size() < 3 + unit) flush();
      if (i % perBucket == 0) {
        size_t offsetInRecord = kRecordHeader + body.size();
        buckets.emplace_back(static_cast<uint32_t>(recordStart + offsetInRecord),
                             static_cast<uint16_t>(offsetInRecord));
      }
      body.u16(static_cast<uint32_t>(s.size())).u8(compressed ? 0 : 1);
      size_t at = 0;
      while (at < s.size()) {
        size_t room = (kMaxRecordBody - body.size()) / unit;
        if (room == 0) {
          flush();
          body.u8(compressed ? 0 : 1);
          continue;
        }
        size_t n = std::min(room, s.size() - at);
        body.characters(s.substr(at, n), compressed);
        at += n;
      }
    }
    flush();
    Bytes ext;
    ext.u16(static_cast<uint32_t>(perBucket));
    for (const auto& [position, offset] : buckets) ext.u32(position).u16(offset).u16(0);
    record(kExtSst, ext);
  }

  // --- globals ---

  void writeGlobals() {
    bof(kGlobalsSubstream);
    record16(kInterfaceHeader, kUtf16CodePage);
    record16(kMms, 0);
    record(kInterfaceEnd, Bytes());
    record16(kCodePage, kUtf16CodePage);
    record16(kWindowProtect, 0);
    record16(kProtect, 0);
    record16(kPassword, 0);
    record(kWindow1, Bytes().u16(0).u16(0).u16(0x25BC).u16(0x1572).u16(0x0038).u16(0).u16(0).u16(1).u16(0x0258));
    record16(kBackup, 0);
    record16(kHideObjects, 0);
    record16(kDateMode, workbook_.date1904 ? 1 : 0);
    record16(kPrecision, 1);
    record16(kBookBool, 0);
    writeFonts();
    writeFormats();
    writeCellFormats();
    record(kStyle, Bytes().u16(0x8000).u8(0).u8(0xFF));  // the Normal style, on format 0
    for (const auto& sheet : workbook_.sheets) {
      boundSheetPositions_.push_back(out_.size() + kRecordHeader);
      Bytes body;
      body.u32(0).u8(0).u8(0);
      shortString(body, base::utf8ToUtf16(sheet->name()));
      record(kBoundSheet, body);
    }
    writePrintAreas();
    writeStrings();
    record(kEof, Bytes());
  }

  void writeFonts() {
    const auto& fonts = workbook_.styles.fonts;
    // Four records of the default font; the format's font index 4 does not
    // exist, so font i (from 1) is index i + 4.
    for (int i = 0; i < 4; ++i) writeFont(fonts.front());
    for (size_t i = 1; i < fonts.size(); ++i) writeFont(fonts[i]);
  }

  static uint32_t fontIndex(uint32_t font) { return font == 0 ? 0 : font + 4; }

  void writeFont(const Font& font) {
    uint32_t flags = (font.italic ? 0x02 : 0) | (font.strike ? 0x08 : 0);
    uint16_t color =
        isAutomatic(font.color) ? kAutoFontColor : nearestPaletteIndex(workbook_.styles.resolve(font.color, 0));
    static constexpr uint8_t kUnderline[] = {0x00, 0x01, 0x02, 0x21, 0x22};
    std::u16string name = base::utf8ToUtf16(font.name.empty() ? "Arial" : font.name);
    Bytes body;
    body.u16(static_cast<uint32_t>(std::clamp(font.size, 1.0, 409.0) * kTwipsPerPoint))
        .u16(flags)
        .u16(color)
        .u16(font.bold ? 700 : 400)
        .u16(0)
        .u8(kUnderline[std::min<uint8_t>(font.underline, 4)])
        .u8(0)
        .u8(fitsOneByte(name) ? 0 : kGbCharset)
        .u8(0);
    shortString(body, name);
    record(kFont, body);
  }

  void writeFormats() {
    for (const auto& [id, code] : workbook_.styles.customNumberFormats()) {
      Bytes body;
      body.u16(id);
      longString(body, base::utf8ToUtf16(code));
      record(kFormat, body);
    }
  }

  uint16_t colorIndex(const Color& color, uint16_t automatic) const {
    return isAutomatic(color) ? automatic : nearestPaletteIndex(workbook_.styles.resolve(color, 0));
  }

  void writeCellFormats() {
    const StyleTable& styles = workbook_.styles;
    auto fontCount = static_cast<uint32_t>(styles.fonts.size());
    // Style formats (0: Normal) and then one record per cell format.
    for (uint32_t i = 0; i < kStyleFormats; ++i)
      record(kXf,
             Bytes().u16(0).u16(0).u16(0xFFF5).u8(0x20).u8(0).u8(0).u8(i == 0 ? 0 : 0xF4).u32(0).u32(0).u16(0x20C0));
    for (uint32_t i = 0; i < styles.formats.size(); ++i) {
      const CellFormat& f = styles.formats[i];
      const Border& b = styles.borderOf(i);
      const Fill& fill = styles.fillOf(i);
      auto line = [&](const BorderLine& l) { return static_cast<uint32_t>(l.style) & 0xF; };
      auto lineColor = [&](const BorderLine& l) {
        return l.style == LineStyle::kNone ? 0u : static_cast<uint32_t>(colorIndex(l.color, kSystemForeground));
      };
      uint32_t border1 = line(b.left) | line(b.right) << 4 | line(b.top) << 8 | line(b.bottom) << 12 |
                         lineColor(b.left) << 16 | lineColor(b.right) << 23;
      uint32_t border2 =
          lineColor(b.top) | lineColor(b.bottom) << 7 | (static_cast<uint32_t>(fill.pattern) & 0x3F) << 26;
      uint32_t foreground = fill.pattern ? colorIndex(fill.foreground, kSystemForeground) : kSystemForeground;
      uint32_t background = fill.pattern > 1 ? colorIndex(fill.background, kSystemBackground) : kSystemBackground;
      const Alignment& a = f.alignment;
      uint32_t align =
          static_cast<uint32_t>(a.horizontal) | (a.wrap ? 0x08u : 0u) | static_cast<uint32_t>(a.vertical) << 4;
      uint32_t rotation = a.rotation >= 0 && a.rotation <= 255 ? static_cast<uint32_t>(a.rotation) : 0;
      uint32_t font = f.font < fontCount ? fontIndex(f.font) : 0;
      record(kXf, Bytes()
                      .u16(font)
                      .u16(f.numberFormat)
                      .u16(0x0001)  // locked, parent: the Normal style
                      .u8(align)
                      .u8(rotation)
                      .u8((a.indent & 0x0F) | (a.shrink ? 0x10 : 0))
                      .u8(i == 0 ? 0 : 0xFC)
                      .u32(border1)
                      .u32(border2)
                      .u16(foreground | background << 7));
    }
  }

  void writePrintAreas() {
    std::vector<size_t> withArea;
    for (size_t i = 0; i < workbook_.sheets.size(); ++i) {
      const auto& area = workbook_.sheets[i]->printArea;
      if (area && inside(area->first.row, area->first.column)) withArea.push_back(i);
    }
    if (withArea.empty()) return;
    record(kSupBook, Bytes().u16(static_cast<uint32_t>(workbook_.sheets.size())).u16(0x0401));
    Bytes refs;
    refs.u16(static_cast<uint32_t>(withArea.size()));
    for (size_t i : withArea) refs.u16(0).u16(static_cast<uint32_t>(i)).u16(static_cast<uint32_t>(i));
    record(kExternSheet, refs);
    for (size_t k = 0; k < withArea.size(); ++k) {
      CellRange area = *workbook_.sheets[withArea[k]]->printArea;
      area.last.row = std::min(area.last.row, kXlsMaxRows - 1);
      area.last.column = std::min(area.last.column, kXlsMaxColumns - 1);
      Bytes body;
      body.u16(0x0020).u8(0).u8(1).u16(11).u16(0).u16(static_cast<uint32_t>(withArea[k] + 1)).u8(0).u8(0).u8(0).u8(0);
      body.u8(0).u8(kPrintAreaBuiltInName);
      body.u8(kPtgArea3d).u16(static_cast<uint32_t>(k)).u16(area.first.row).u16(area.last.row);
      body.u16(area.first.column).u16(area.last.column);
      record(kName, body);
    }
  }

  // --- one sheet ---

  void writeSheet(const Worksheet& sheet, size_t sheetIndex) {
    std::vector<std::pair<uint32_t, const Row*>> rows;
    for (const auto& [index, row] : sheet.rows())
      if (index < kXlsMaxRows) rows.emplace_back(index, &row);
    size_t blocks = (rows.size() + kRowsPerBlock - 1) / kRowsPerBlock;

    bof(kWorksheetSubstream);
    size_t indexBody = out_.size() + kRecordHeader;
    {
      Bytes body;
      body.u32(0).u32(rows.empty() ? 0 : rows.front().first).u32(rows.empty() ? 0 : rows.back().first + 1).u32(0);
      for (size_t b = 0; b < blocks; ++b) body.u32(0);
      record(kIndex, body);
    }
    record16(kCalcMode, 1);
    record16(kCalcCount, 100);
    record16(kRefMode, 1);
    record16(kIteration, 0);
    record(kDelta, Bytes().f64(0.001));
    writePrintSettings(sheet);
    patch32(indexBody + 12, static_cast<uint32_t>(out_.size()));
    record16(kDefColWidth, 8);
    writeColumns(sheet);
    writeDimensions(sheet);
    for (size_t b = 0; b < blocks; ++b) {
      size_t first = b * kRowsPerBlock, last = std::min(rows.size(), first + kRowsPerBlock);
      size_t dbCell = writeRowBlock(sheet, rows, first, last);
      patch32(indexBody + 16 + 4 * b, static_cast<uint32_t>(dbCell));
    }
    record(kWindow2, Bytes().u16(sheetIndex == 0 ? 0x06B6 : 0x00B6).u16(0).u16(0).u32(0x40).u16(0).u16(0).u32(0));
    writeMerges(sheet);
    record(kEof, Bytes());
  }

  void writePrintSettings(const Worksheet& sheet) {
    const PageSetup& p = sheet.page;
    record16(kPrintHeaders, 0);
    record16(kPrintGridLines, p.gridLines ? 1 : 0);
    record16(kGridSet, 1);
    record(kGuts, Bytes().u16(0).u16(0).u16(0).u16(0));
    record(kDefaultRowHeight, Bytes().u16(0).u16(static_cast<uint32_t>(sheet.defaultRowHeight * kTwipsPerPoint)));
    record16(kWsBool, 0x04C1 | (p.fitToPage ? 0x0100 : 0));
    record(kHeader, Bytes());
    record(kFooter, Bytes());
    record16(kHCenter, p.centerHorizontally ? 1 : 0);
    record16(kVCenter, p.centerVertically ? 1 : 0);
    record(kLeftMargin, Bytes().f64(p.left));
    record(kRightMargin, Bytes().f64(p.right));
    record(kTopMargin, Bytes().f64(p.top));
    record(kBottomMargin, Bytes().f64(p.bottom));
    uint32_t flags = (p.overThenDown ? 0x01 : 0) | (p.orientation == Orientation::kLandscape ? 0 : 0x02) |
                     (p.firstPageNumber ? 0x80 : 0);
    record(kSetup, Bytes()
                       .u16(p.paperSize)
                       .u16(p.scale)
                       .u16(p.firstPageNumber.value_or(1))
                       .u16(p.fitToWidth)
                       .u16(p.fitToHeight)
                       .u16(flags)
                       .u16(600)
                       .u16(600)
                       .f64(p.header)
                       .f64(p.footer)
                       .u16(1));
  }

  void writeColumns(const Worksheet& sheet) {
    for (const ColumnSpan& span : sheet.columns()) {
      if (span.first >= kXlsMaxColumns) break;
      uint32_t last = std::min(span.last, kXlsMaxColumns - 1);
      double width = span.width > 0 ? span.width : sheet.columnWidth(span.first);
      record(kColInfo, Bytes()
                           .u16(span.first)
                           .u16(last)
                           .u16(static_cast<uint32_t>(std::clamp(width, 0.0, 255.0) * 256))
                           .u16(kStyleFormats + (span.hasFormat ? span.format : 0))
                           .u16((span.hidden ? 0x01 : 0) | (span.customWidth ? 0x02 : 0))
                           .u16(0));
    }
  }

  void writeDimensions(const Worksheet& sheet) {
    uint32_t firstRow = UINT32_MAX, lastRow = 0, firstColumn = UINT32_MAX, lastColumn = 0;
    for (const auto& [index, row] : sheet.rows()) {
      for (const Cell& cell : row.cells) {
        if (!inside(index, cell.column)) continue;
        firstRow = std::min(firstRow, index);
        lastRow = std::max(lastRow, index);
        firstColumn = std::min<uint32_t>(firstColumn, cell.column);
        lastColumn = std::max<uint32_t>(lastColumn, cell.column);
      }
    }
    if (firstRow == UINT32_MAX)
      record(kDimensions, Bytes().u32(0).u32(0).u16(0).u16(0).u16(0));
    else
      record(kDimensions, Bytes().u32(firstRow).u32(lastRow + 1).u16(firstColumn).u16(lastColumn + 1).u16(0));
  }

  // Row records of up to 32 rows, their cells, then the DBCELL that indexes
  // them; returns the DBCELL's position.
  size_t writeRowBlock(const Worksheet& sheet, const std::vector<std::pair<uint32_t, const Row*>>& rows, size_t first,
                       size_t last) {
    size_t firstRowRecord = out_.size();
    for (size_t i = first; i < last; ++i) writeRowRecord(rows[i].first, *rows[i].second, sheet);
    std::vector<size_t> firstCell(last - first, 0);
    for (size_t i = first; i < last; ++i) {
      const Row& row = *rows[i].second;
      for (const Cell& cell : row.cells) {
        if (cell.column >= kXlsMaxColumns) continue;
        if (!firstCell[i - first]) firstCell[i - first] = out_.size();
        writeCell(sheet, rows[i].first, cell);
      }
    }
    size_t dbCell = out_.size();
    Bytes body;
    body.u32(static_cast<uint32_t>(dbCell - firstRowRecord));
    size_t reference = firstRowRecord + kRowRecordBytes;
    for (size_t position : firstCell) {
      body.u16(position ? static_cast<uint32_t>(position - reference) : 0);
      if (position) reference = position;
    }
    record(kDbCell, body);
    return dbCell;
  }

  void writeRowRecord(uint32_t index, const Row& row, const Worksheet& sheet) {
    uint32_t firstColumn = 0, lastColumn = 0;
    for (const Cell& cell : row.cells) {
      if (cell.column >= kXlsMaxColumns) continue;
      if (lastColumn == 0) firstColumn = cell.column;
      lastColumn = cell.column + 1u;
    }
    double height = row.height > 0 ? row.height : sheet.defaultRowHeight;
    uint32_t flags = 0x0100 | (row.hidden ? 0x20 : 0) | (row.customHeight ? 0x40 : 0) | (row.hasFormat ? 0x80 : 0);
    flags |= (kStyleFormats + (row.hasFormat ? row.format : 0)) << 16;
    record(kRow, Bytes()
                     .u16(index)
                     .u16(firstColumn)
                     .u16(lastColumn)
                     .u16(static_cast<uint32_t>(height * kTwipsPerPoint) & 0x7FFF)
                     .u16(0)
                     .u16(0)
                     .u32(flags));
  }

  void writeCell(const Worksheet& sheet, uint32_t row, const Cell& cell) {
    Bytes body;
    body.u16(row).u16(cell.column).u16(kStyleFormats + cell.format);
    if ((cell.kind == CellKind::kText || cell.kind == CellKind::kError) && sheet.text(cell).empty()) {
      record(kBlank, body);
      return;
    }
    switch (cell.kind) {
      case CellKind::kBlank: record(kBlank, body); return;
      case CellKind::kNumber: record(kNumber, body.f64(cell.number())); return;
      case CellKind::kBool: record(kBoolErr, body.u8(cell.number() != 0 ? 1 : 0).u8(0)); return;
      case CellKind::kError:
        if (auto code = errorCode(sheet.text(cell))) {
          record(kBoolErr, body.u8(*code).u8(1));
          return;
        }
        [[fallthrough]];
      case CellKind::kText: record(kLabelSst, body.u32(stringIndex_.at(std::string(sheet.text(cell))))); return;
    }
  }

  void writeMerges(const Worksheet& sheet) {
    std::vector<CellRange> merges;
    for (const CellRange& m : sheet.merges())
      if (inside(m.last.row, m.last.column)) merges.push_back(m);
    for (size_t start = 0; start < merges.size(); start += kMergesPerRecord) {
      size_t end = std::min(merges.size(), start + kMergesPerRecord);
      Bytes body;
      body.u16(static_cast<uint32_t>(end - start));
      for (size_t i = start; i < end; ++i)
        body.u16(merges[i].first.row).u16(merges[i].last.row).u16(merges[i].first.column).u16(merges[i].last.column);
      record(kMergedCells, body);
    }
  }

  const Workbook& workbook_;
  std::string out_;
  std::vector<size_t> boundSheetPositions_;
  std::vector<std::u16string> strings_;
  std::unordered_map<std::string, uint32_t> stringIndex_;
  size_t stringReferences_ = 0;
};

}  // namespace

bool buildXls(const Workbook& workbook, std::string& file, std::string& error) {
  std::string stream;
  if (!XlsBuilder(workbook).build(stream, error)) return false;
  file = buildCompoundFile("Workbook", std::move(stream));
  return true;
}

bool writeXls(const Workbook& workbook, const std::string& path, std::string& error) {
  std::string file;
  if (!buildXls(workbook, file, error)) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out.write(file.data(), static_cast<std::streamsize>(file.size())) || !out.flush()) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace sheet
