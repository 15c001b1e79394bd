#include "sheet/engine/xlsx_writer.h"

#include <xlsxwriter.h>

#include <memory>
#include <vector>

#include "sheet/engine/ooxml.h"

namespace sheet {
namespace {

constexpr uint32_t kRgbMask = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF;
constexpr uint8_t kSolidPattern = 1;

// lxw_color_t is 0xRRGGBB; LXW_COLOR_UNSET (-1) means none.
lxw_color_t rgbOf(const StyleTable& styles, const Color& color, uint32_t fallback) {
  return static_cast<lxw_color_t>(styles.resolve(color, fallback) & kRgbMask);
}

class Writer {
 public:
  Writer(const Workbook& workbook, lxw_workbook* book)
      : workbook_(workbook), book_(book), formats_(workbook.styles.formats.size(), nullptr) {}

  lxw_error writeSheet(const Worksheet& sheet) {
    lxw_worksheet* ws = workbook_add_worksheet(book_, sheet.name().c_str());
    if (!ws) return LXW_ERROR_SHEETNAME_ALREADY_USED;
    writeColumns(sheet, ws);
    if (sheet.defaultRowHeight != LXW_DEF_ROW_HEIGHT) worksheet_set_default_row(ws, sheet.defaultRowHeight, LXW_FALSE);
    for (const CellRange& m : sheet.merges()) {
      const Cell* first = sheet.find(m.first);
      lxw_error e =
          worksheet_merge_range(ws, m.first.row, static_cast<lxw_col_t>(m.first.column), m.last.row,
                                static_cast<lxw_col_t>(m.last.column), "", formatOf(first ? first->format : 0));
      if (e != LXW_NO_ERROR) return e;
    }
    for (const auto& [index, row] : sheet.rows()) {
      if (lxw_error e = writeRow(sheet, ws, index, row); e != LXW_NO_ERROR) return e;
    }
    writePageSetup(sheet, ws);
    return LXW_NO_ERROR;
  }

 private:
  lxw_format* formatOf(uint32_t index) {
    if (index == 0 || index >= formats_.size()) return nullptr;
    if (!formats_[index]) formats_[index] = makeFormat(workbook_.styles.formats[index]);
    return formats_[index];
  }

  lxw_format* makeFormat(const CellFormat& f) {
    const StyleTable& styles = workbook_.styles;
    lxw_format* format = workbook_add_format(book_);
    const Font& font = styles.fontOf(static_cast<uint32_t>(&f - styles.formats.data()));
    format_set_font_name(format, font.name.c_str());
    format_set_font_size(format, font.size);
    if (font.bold) format_set_bold(format);
    if (font.italic) format_set_italic(format);
    if (font.strike) format_set_font_strikeout(format);
    if (font.underline) format_set_underline(format, font.underline);
    if (font.color.kind != Color::Kind::kNone && font.color.kind != Color::Kind::kAuto)
      format_set_font_color(format, rgbOf(styles, font.color, kBlack));

    std::string_view builtIn = builtInNumberFormat(f.numberFormat);
    if (f.numberFormat < kFirstCustomFormatId && !builtIn.empty() &&
        styles.customNumberFormats().count(f.numberFormat) == 0)
      format_set_num_format_index(format, static_cast<uint8_t>(f.numberFormat));
    else
      format_set_num_format(format, std::string(styles.numberFormatCode(f.numberFormat)).c_str());

    const Alignment& a = f.alignment;
    if (a.horizontal != HorizontalAlign::kGeneral) format_set_align(format, static_cast<uint8_t>(a.horizontal));
    // The vertical values follow the horizontal ones, top first.
    if (a.vertical != VerticalAlign::kBottom)
      format_set_align(format, static_cast<uint8_t>(LXW_ALIGN_VERTICAL_TOP + verticalOrder(a.vertical)));
    if (a.wrap) format_set_text_wrap(format);
    if (a.shrink) format_set_shrink(format);
    if (a.indent) format_set_indent(format, a.indent);
    if (a.rotation)
      format_set_rotation(format, a.rotation == 255 ? 270 : a.rotation <= 90 ? a.rotation : 90 - a.rotation);

    const Fill& fill = styles.fillOf(static_cast<uint32_t>(&f - styles.formats.data()));
    if (fill.pattern == kSolidPattern) {
      format_set_bg_color(format, rgbOf(styles, fill.foreground, kWhite));
    } else if (fill.pattern > kSolidPattern) {
      format_set_pattern(format, fill.pattern);
      if (fill.foreground.kind != Color::Kind::kNone)
        format_set_fg_color(format, rgbOf(styles, fill.foreground, kBlack));
      if (fill.background.kind != Color::Kind::kNone)
        format_set_bg_color(format, rgbOf(styles, fill.background, kWhite));
    }
    const Border& b = styles.borderOf(static_cast<uint32_t>(&f - styles.formats.data()));
    auto side = [&](const BorderLine& line, void (*setStyle)(lxw_format*, uint8_t),
                    void (*setColor)(lxw_format*, lxw_color_t)) {
      if (line.style == LineStyle::kNone) return;
      setStyle(format, static_cast<uint8_t>(line.style));
      if (line.color.kind != Color::Kind::kNone && line.color.kind != Color::Kind::kAuto)
        setColor(format, rgbOf(styles, line.color, kBlack));
    };
    side(b.left, format_set_left, format_set_left_color);
    side(b.right, format_set_right, format_set_right_color);
    side(b.top, format_set_top, format_set_top_color);
    side(b.bottom, format_set_bottom, format_set_bottom_color);
    return format;
  }

  // libxlsxwriter's vertical order: top, bottom, center, justify, distributed.
  static int verticalOrder(VerticalAlign v) {
    switch (v) {
      case VerticalAlign::kTop: return 0;
      case VerticalAlign::kBottom: return 1;
      case VerticalAlign::kCenter: return 2;
      case VerticalAlign::kJustify: return 3;
      case VerticalAlign::kDistributed: return 4;
    }
    return 1;
  }

  void writeColumns(const Worksheet& sheet, lxw_worksheet* ws) {
    for (const ColumnSpan& span : sheet.columns()) {
      lxw_row_col_options options{};
      options.hidden = span.hidden;
      // libxlsxwriter takes the width a user gives; the span keeps the stored one.
      double width = span.width > 0 ? userColumnWidth(span.width) : LXW_DEF_COL_WIDTH;
      worksheet_set_column_opt(ws, static_cast<lxw_col_t>(span.first), static_cast<lxw_col_t>(span.last), width,
                               span.hasFormat ? formatOf(span.format) : nullptr, &options);
    }
  }

  lxw_error writeRow(const Worksheet& sheet, lxw_worksheet* ws, uint32_t index, const Row& row) {
    if (row.height > 0 || row.hidden || row.hasFormat) {
      lxw_row_col_options options{};
      options.hidden = row.hidden;
      worksheet_set_row_opt(ws, index, row.height > 0 ? row.height : LXW_DEF_ROW_HEIGHT,
                            row.hasFormat ? formatOf(row.format) : nullptr, &options);
    }
    for (const Cell& cell : row.cells) {
      lxw_format* format = formatOf(cell.format);
      auto column = static_cast<lxw_col_t>(cell.column);
      lxw_error e = LXW_NO_ERROR;
      switch (cell.kind) {
        case CellKind::kBlank:
          if (format) e = worksheet_write_blank(ws, index, column, format);
          break;
        case CellKind::kNumber: e = worksheet_write_number(ws, index, column, cell.number(), format); break;
        case CellKind::kBool: e = worksheet_write_boolean(ws, index, column, cell.number() != 0, format); break;
        case CellKind::kText:
        case CellKind::kError: {
          std::string_view text = sheet.text(cell);
          // The store keeps each text NUL-terminated: it goes out as it is
          // unless a literal "_x0041_"-like run must be protected.
          if (ooxml::needsEscapes(text))
            e = worksheet_write_string(ws, index, column, ooxml::encodeEscapes(text).c_str(), format);
          else
            e = worksheet_write_string(ws, index, column, text.data(), format);
          break;
        }
      }
      if (e != LXW_NO_ERROR) return e;
    }
    return LXW_NO_ERROR;
  }

  static void writePageSetup(const Worksheet& sheet, lxw_worksheet* ws) {
    const PageSetup& p = sheet.page;
    if (p.orientation == Orientation::kLandscape)
      worksheet_set_landscape(ws);
    else if (p.orientation == Orientation::kPortrait)
      worksheet_set_portrait(ws);
    if (p.paperSize != 9 || p.orientation != Orientation::kDefault)
      worksheet_set_paper(ws, static_cast<uint8_t>(p.paperSize));
    worksheet_set_margins(ws, p.left, p.right, p.top, p.bottom);
    if (p.fitToPage)
      worksheet_fit_to_pages(ws, static_cast<uint16_t>(p.fitToWidth), static_cast<uint16_t>(p.fitToHeight));
    else if (p.scale != 100)
      worksheet_set_print_scale(ws, static_cast<uint16_t>(p.scale));
    if (p.centerHorizontally) worksheet_center_horizontally(ws);
    if (p.centerVertically) worksheet_center_vertically(ws);
    if (p.gridLines) worksheet_gridlines(ws, LXW_SHOW_ALL_GRIDLINES);
    if (p.overThenDown) worksheet_print_across(ws);
    if (p.firstPageNumber) worksheet_set_start_page(ws, static_cast<uint16_t>(*p.firstPageNumber));
    if (sheet.printArea) {
      const CellRange& a = *sheet.printArea;
      worksheet_print_area(ws, a.first.row, static_cast<lxw_col_t>(a.first.column), a.last.row,
                           static_cast<lxw_col_t>(a.last.column));
    }
  }

  const Workbook& workbook_;
  lxw_workbook* book_;
  std::vector<lxw_format*> formats_;
};

}  // namespace

bool writeNewXlsx(const Workbook& workbook, const std::string& path, std::string& error) {
  bool merges = false;
  for (const auto& sheet : workbook.sheets) merges |= !sheet->merges().empty();
  lxw_workbook_options options{};
  // Merged ranges need the whole sheet in memory; otherwise rows stream out.
  options.constant_memory = merges ? LXW_FALSE : LXW_TRUE;
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  if (!book) {
    error = "cannot create " + path;
    return false;
  }
  Writer writer(workbook, book);
  for (const auto& sheet : workbook.sheets) {
    if (lxw_error e = writer.writeSheet(*sheet); e != LXW_NO_ERROR) {
      error = lxw_strerror(e);
      workbook_close(book);
      return false;
    }
  }
  if (lxw_error e = workbook_close(book); e != LXW_NO_ERROR) {
    error = lxw_strerror(e);
    return false;
  }
  return true;
}

}  // namespace sheet
