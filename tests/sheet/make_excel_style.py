#!/usr/bin/python3
"""Writes a small workbook package part by part the way a desktop spreadsheet
application stores one: XML declarations, a shared-string table (with a rich
text item), custom number formats, theme colours, a formula with its
calculation chain, merged cells, column widths, page setup and a print area.
Usage: make_excel_style.py OUT.xlsx"""
import sys
import zipfile

DECL = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"

parts = {}
parts["[Content_Types].xml"] = DECL + (
    '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
    '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
    '<Default Extension="xml" ContentType="application/xml"/>'
    '<Default Extension="bin" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.printerSettings"/>'
    '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
    '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
    '<Override PartName="/xl/worksheets/sheet2.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
    '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
    '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
    '<Override PartName="/xl/calcChain.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml"/>'
    '<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>'
    '</Types>')
parts["_rels/.rels"] = DECL + (
    f'<Relationships xmlns="{PKG}">'
    f'<Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.xml"/>'
    f'<Relationship Id="rId2" Type="{REL}/extended-properties" Target="docProps/app.xml"/>'
    '</Relationships>')
parts["docProps/app.xml"] = DECL + '<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"><Application>Office</Application></Properties>'
parts["xl/_rels/workbook.xml.rels"] = DECL + (
    f'<Relationships xmlns="{PKG}">'
    f'<Relationship Id="rId1" Type="{REL}/worksheet" Target="worksheets/sheet1.xml"/>'
    f'<Relationship Id="rId2" Type="{REL}/worksheet" Target="/xl/worksheets/sheet2.xml"/>'
    f'<Relationship Id="rId3" Type="{REL}/styles" Target="styles.xml"/>'
    f'<Relationship Id="rId4" Type="{REL}/sharedStrings" Target="sharedStrings.xml"/>'
    f'<Relationship Id="rId5" Type="{REL}/calcChain" Target="calcChain.xml"/>'
    f'<Relationship Id="rId6" Type="{REL}/hyperlink" Target="../../../etc/passwd" TargetMode="External"/>'
    '</Relationships>')
parts["xl/workbook.xml"] = DECL + (
    f'<workbook xmlns="{MAIN}" xmlns:r="{REL}"><workbookPr defaultThemeVersion="124226"/>'
    '<bookViews><workbookView xWindow="0" yWindow="0" windowWidth="20000" windowHeight="9000"/></bookViews>'
    '<sheets><sheet name="表一" sheetId="1" r:id="rId1"/><sheet name="Second" sheetId="2" r:id="rId2"/></sheets>'
    "<definedNames><definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">'表一'!$A$1:$D$6</definedName></definedNames>"
    '<calcPr calcId="145621"/></workbook>')
parts["xl/sharedStrings.xml"] = DECL + (
    f'<sst xmlns="{MAIN}" count="5" uniqueCount="4">'
    '<si><t>学员登记</t></si>'
    '<si><r><rPr><b/><sz val="11"/></rPr><t>姓</t></r><r><t>名</t></r></si>'
    '<si><t xml:space="preserve"> 前后空格 </t><rPh sb="0" eb="1"><t>ヨミ</t></rPh></si>'
    '<si><t>line_x000D_break</t></si>'
    '</sst>')
parts["xl/styles.xml"] = DECL + (
    f'<styleSheet xmlns="{MAIN}">'
    '<numFmts count="2"><numFmt numFmtId="176" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/>'
    '<numFmt numFmtId="177" formatCode="0.000"/></numFmts>'
    '<fonts count="2"><font><sz val="11"/><color theme="1"/><name val="宋体"/><family val="2"/><charset val="134"/><scheme val="minor"/></font>'
    '<font><b/><sz val="14"/><color rgb="FFFF0000"/><name val="黑体"/></font></fonts>'
    '<fills count="3"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill>'
    '<fill><patternFill patternType="solid"><fgColor theme="4" tint="0.59999389629810485"/><bgColor indexed="64"/></patternFill></fill></fills>'
    '<borders count="2"><border><left/><right/><top/><bottom/><diagonal/></border>'
    '<border><left style="thin"><color indexed="64"/></left><right style="medium"/><top style="thin"/><bottom style="double"/><diagonal/></border></borders>'
    '<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"><alignment vertical="center"/></xf></cellStyleXfs>'
    '<cellXfs count="5"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"><alignment vertical="center"/></xf>'
    '<xf numFmtId="0" fontId="1" fillId="2" borderId="1" xfId="0" applyFont="1" applyFill="1" applyBorder="1" applyAlignment="1"><alignment horizontal="center" vertical="center" wrapText="1"/></xf>'
    '<xf numFmtId="49" fontId="0" fillId="0" borderId="1" xfId="0" applyNumberFormat="1" applyBorder="1"/>'
    '<xf numFmtId="176" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>'
    '<xf numFmtId="177" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs>'
    '<cellStyles count="1"><cellStyle name="常规" xfId="0" builtinId="0"/></cellStyles>'
    '<dxfs count="0"/><tableStyles count="0" defaultTableStyle="TableStyleMedium9"/></styleSheet>')
parts["xl/calcChain.xml"] = DECL + f'<calcChain xmlns="{MAIN}"><c r="D5" i="1"/></calcChain>'
parts["xl/worksheets/sheet1.xml"] = DECL + (
    f'<worksheet xmlns="{MAIN}" xmlns:r="{REL}" xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" mc:Ignorable="x14ac" xmlns:x14ac="http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac">'
    '<dimension ref="A1:D6"/><sheetViews><sheetView tabSelected="1" workbookViewId="0"/></sheetViews>'
    '<sheetFormatPr defaultRowHeight="13.5" x14ac:dyDescent="0.15"/>'
    '<cols><col min="1" max="1" width="12.625" customWidth="1"/><col min="2" max="4" width="10.5" style="2" customWidth="1"/></cols>'
    '<sheetData>'
    '<row r="1" spans="1:4" ht="24" customHeight="1" x14ac:dyDescent="0.15"><c r="A1" s="1" t="s"><v>0</v></c><c r="B1" s="1"/><c r="C1" s="1"/><c r="D1" s="1"/></row>'
    '<row r="2" spans="1:4"><c r="A2" t="s"><v>1</v></c><c r="B2" s="2"/></row>'
    '<row r="3" spans="1:4"><c r="A3" t="s"><v>2</v></c><c r="B3" s="3"><v>41765</v></c></row>'
    '<row r="4" spans="1:4"><c r="A4" t="s"><v>3</v></c><c r="B4" s="4"><v>3.14159</v></c><c r="C4" t="b"><v>1</v></c><c r="D4" t="e"><v>#N/A</v></c></row>'
    '<row r="5" spans="1:4"><c r="B5"><v>2</v></c><c r="C5"><v>3</v></c><c r="D5"><f>B5*C5</f><v>6</v></c></row>'
    '<row r="6" spans="1:4"><c r="A6" t="s"><v>1</v></c></row>'
    '</sheetData>'
    '<mergeCells count="1"><mergeCell ref="A1:D1"/></mergeCells>'
    '<phoneticPr fontId="1" type="noConversion"/>'
    '<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>'
    '<pageSetup paperSize="9" orientation="portrait" r:id="rId1"/>'
    '</worksheet>')
parts["xl/worksheets/_rels/sheet1.xml.rels"] = DECL + (
    f'<Relationships xmlns="{PKG}"><Relationship Id="rId1" Type="{REL}/printerSettings" '
    'Target="../printerSettings/printerSettings1.bin"/></Relationships>')
parts["xl/printerSettings/printerSettings1.bin"] = bytes(range(256)) * 4
parts["xl/worksheets/sheet2.xml"] = DECL + (
    f'<x:worksheet xmlns:x="{MAIN}"><x:sheetData><x:row r="2"><x:c r="B2" t="inlineStr"><x:is><x:t>内联</x:t></x:is></x:c></x:row></x:sheetData></x:worksheet>')

with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name, text in parts.items():
        z.writestr(name, text if isinstance(text, bytes) else text.encode("utf-8"))
