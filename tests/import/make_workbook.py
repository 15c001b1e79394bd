#!/usr/bin/python3
"""Writes test workbooks for the learner import with independent programs.

  make_workbook.py xlsx OUT.xlsx ROWS.json   openpyxl: ROWS is a list of rows,
      each a list of cells: a string, null (no cell), {"n": number},
      {"d": "YYYY-MM-DD"} (a date cell with the format yyyy-mm-dd) or
      {"t": "text"} (a text cell with the text format "@").
  make_workbook.py bomb OUT.xlsx MEGABYTES   a well-formed package whose sheet
      unpacks to MEGABYTES of rows of one character, compressed to little.
  make_workbook.py convert IN OUT_FOLDER FORMAT   LibreOffice headless
      (soffice) converts IN to FORMAT (xlsx, xls) into OUT_FOLDER; exit status
      77 when soffice is not installed.
"""
import datetime
import json
import os
import shutil
import subprocess
import sys
import zipfile


def xlsx(out, rows_file):
    import openpyxl
    with open(rows_file, encoding="utf-8") as f:
        rows = json.load(f)
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "学员"
    for r, row in enumerate(rows, start=1):
        for c, cell in enumerate(row, start=1):
            if cell is None:
                continue
            target = sheet.cell(row=r, column=c)
            if isinstance(cell, str):
                target.value = cell
            elif "n" in cell:
                target.value = cell["n"]
            elif "d" in cell:
                target.value = datetime.date.fromisoformat(cell["d"])
                target.number_format = "yyyy-mm-dd"
            elif "t" in cell:
                target.value = cell["t"]
                target.number_format = "@"
    book.save(out)


CONTENT_TYPES = ('<?xml version="1.0" encoding="UTF-8"?>'
                 '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                 '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                 '<Default Extension="xml" ContentType="application/xml"/>'
                 '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.'
                 'spreadsheetml.sheet.main+xml"/>'
                 '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-'
                 'officedocument.spreadsheetml.worksheet+xml"/></Types>')
ROOT_RELS = ('<?xml version="1.0" encoding="UTF-8"?>'
             '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
             '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
             'officeDocument" Target="xl/workbook.xml"/></Relationships>')
WORKBOOK = ('<?xml version="1.0" encoding="UTF-8"?>'
            '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
            'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
            '<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>')
WORKBOOK_RELS = ('<?xml version="1.0" encoding="UTF-8"?>'
                 '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                 '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
                 'worksheet" Target="worksheets/sheet1.xml"/></Relationships>')


def bomb(out, megabytes):
    row = '<row><c t="inlineStr"><is><t>x</t></is></c></row>'
    chunk = row * 20000
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr("[Content_Types].xml", CONTENT_TYPES)
        z.writestr("_rels/.rels", ROOT_RELS)
        z.writestr("xl/workbook.xml", WORKBOOK)
        z.writestr("xl/_rels/workbook.xml.rels", WORKBOOK_RELS)
        with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as sheet:
            sheet.write(b'<?xml version="1.0" encoding="UTF-8"?><worksheet '
                        b'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>')
            written = 0
            data = chunk.encode()
            while written < megabytes * 1024 * 1024:
                sheet.write(data)
                written += len(data)
            sheet.write(b"</sheetData></worksheet>")


def convert(source, folder, fmt):
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if not soffice:
        sys.exit(77)
    folder = os.path.abspath(folder)
    profile = os.path.join(folder, ".lo-profile")
    subprocess.run([soffice, "-env:UserInstallation=file://" + profile, "--headless", "--convert-to", fmt,
                    "--outdir", folder, os.path.abspath(source)], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=300)
    shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    if sys.argv[1] == "xlsx":
        xlsx(sys.argv[2], sys.argv[3])
    elif sys.argv[1] == "bomb":
        bomb(sys.argv[2], int(sys.argv[3]))
    elif sys.argv[1] == "convert":
        convert(sys.argv[2], sys.argv[3], sys.argv[4])
    else:
        sys.exit("unknown command " + sys.argv[1])
