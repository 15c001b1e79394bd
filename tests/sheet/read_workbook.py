#!/usr/bin/python3
"""Reads a workbook with an independent reader and prints what it holds, one
fact per line, tab-separated, texts with backslash, tab and line breaks
escaped:
  cell  SHEET  A1  TYPE  VALUE  NUMBER_FORMAT
  sheet SHEET  NAME
  width SHEET  COLUMN_LETTER  WIDTH          (.xlsx only)
  height SHEET ROW  HEIGHT                   (.xlsx only)
  merge SHEET  A1:B2
  orientation SHEET VALUE                    (.xlsx only)
  style SHEET  A1  FONT|FILL|BORDER|ALIGNMENT   (.xlsx only, every cell with a value or a style)
  margins SHEET LEFT RIGHT TOP BOTTOM        (.xlsx only)
  printarea SHEET AREA                       (.xlsx only)
.xlsx files are read with openpyxl, .xls files with xlrd."""
import sys


def esc(value):
    return str(value).replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def color(c):
    if c is None:
        return "-"
    return "%s/%s/%s/%s" % (c.type, c.rgb if c.type == "rgb" else "", c.theme if c.type == "theme" else "",
                            c.tint)


def style(c):
    f, fl, b, a = c.font, c.fill, c.border, c.alignment
    font = "%s,%s,%s,%s,%s,%s" % (f.name, f.sz, f.b, f.i, f.u, color(f.color))
    fill = "%s,%s" % (fl.fill_type, color(fl.fgColor))
    border = ",".join("%s:%s" % (side.style, color(side.color)) for side in (b.left, b.right, b.top, b.bottom))
    align = "%s,%s,%s" % (a.horizontal, a.vertical, a.wrap_text)
    return "|".join([font, fill, border, align, c.number_format])


def xlsx(path):
    import openpyxl
    book = openpyxl.load_workbook(path)
    for s, ws in enumerate(book.worksheets):
        print("sheet", s, esc(ws.title), sep="\t")
        for row in ws.iter_rows():
            for c in row:
                if c.has_style:
                    print("style", s, c.coordinate, esc(style(c)), sep="\t")
                if c.value is None:
                    continue
                kind = type(c.value).__name__
                value = c.value.isoformat() if hasattr(c.value, "isoformat") else c.value
                print("cell", s, c.coordinate, kind, esc(value), esc(c.number_format), sep="\t")
        for letter, dim in sorted(ws.column_dimensions.items()):
            if dim.width is not None and dim.customWidth:
                print("width", s, letter, dim.width, sep="\t")
        for r, dim in sorted(ws.row_dimensions.items()):
            if dim.height is not None:
                print("height", s, r, dim.height, sep="\t")
        for m in ws.merged_cells.ranges:
            print("merge", s, m.coord, sep="\t")
        print("orientation", s, ws.page_setup.orientation, sep="\t")
        pm = ws.page_margins
        print("margins", s, pm.left, pm.right, pm.top, pm.bottom, sep="\t")
        if ws.print_area:
            print("printarea", s, esc(ws.print_area), sep="\t")


def xls(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    for s in range(book.nsheets):
        sh = book.sheet_by_index(s)
        print("sheet", s, esc(sh.name), sep="\t")
        for r in range(sh.nrows):
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                kind = {xlrd.XL_CELL_TEXT: "str", xlrd.XL_CELL_NUMBER: "float", xlrd.XL_CELL_BOOLEAN: "bool",
                        xlrd.XL_CELL_ERROR: "error", xlrd.XL_CELL_DATE: "date"}.get(cell.ctype, "other")
                fmt = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
                print("cell", s, xlrd.cellname(r, c), kind, esc(cell.value), esc(fmt), sep="\t")
        for (r1, r2, c1, c2) in sh.merged_cells:
            print("merge", s, xlrd.cellname(r1, c1) + ":" + xlrd.cellname(r2 - 1, c2 - 1), sep="\t")
        for c, info in sorted(sh.colinfo_map.items()):
            print("width", s, xlrd.colname(c), info.width / 256, sep="\t")


if __name__ == "__main__":
    (xls if sys.argv[1].lower().endswith(".xls") else xlsx)(sys.argv[1])
