#!/usr/bin/python3
"""Makes a form template the way an office would: several sheets, merged
cells with borders, fonts, alignment, column widths and row heights, a text
format on some cells, page setup, margins and a print area, a formula, shared
strings. Usage: make_template.py OUT.xlsx"""
import sys
import openpyxl
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side

book = openpyxl.Workbook()
thin = Side(style="thin", color="000000")
box = Border(left=thin, right=thin, top=thin, bottom=thin)
title_font = Font(name="宋体", size=16, bold=True)


def form(ws, title, landscape):
    ws["A1"] = title
    ws["A1"].font = title_font
    ws["A1"].alignment = Alignment(horizontal="center", vertical="center")
    ws.merge_cells("A1:H1")
    ws.row_dimensions[1].height = 30
    labels = ["姓名", "性别", "身份证号码", "住址", "电话号码"]
    for i, label in enumerate(labels):
        row = 3 + i
        ws.cell(row=row, column=1, value=label).border = box
        for col in range(2, 9):
            ws.cell(row=row, column=col).border = box
        ws.merge_cells(start_row=row, start_column=2, end_row=row, end_column=8)
    ws["B5"].number_format = "@"
    ws["A9"] = "报名日期"
    ws["A9"].fill = PatternFill("solid", fgColor="DDDDDD")
    ws.merge_cells("B9:D9")
    ws["B9"].alignment = Alignment(horizontal="left")
    ws["A10"] = 3
    ws["B10"] = 4
    ws["C10"] = "=A10+B10"
    ws.column_dimensions["A"].width = 14
    for letter in "BCDEFGH":
        ws.column_dimensions[letter].width = 9
    ws.page_setup.orientation = "landscape" if landscape else "portrait"
    ws.page_setup.paperSize = ws.PAPERSIZE_A4
    ws.page_margins.left = 0.5
    ws.page_margins.right = 0.5
    ws.print_area = "A1:H10"


first = book.active
first.title = "报名表"
form(first, "机动车驾驶人培训报名表", False)
for i, name in enumerate(["登记表", "C2", "C1", "B2", "A1"]):
    form(book.create_sheet(name), name + "登记", i >= 1)
book.save(sys.argv[1])
