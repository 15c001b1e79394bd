// The page layout of a template as read from a file: cells, merged ranges
// (overlapping ones among them), a print area, row heights, column widths and
// the page setup are made from the input, stored in a package, read and cut
// into pages. The pages keep their promises: they lie in the print area, no
// two share a cell, every cell with something in it lies on one of them, and
// painting them stays within the sheet's arrays (AddressSanitizer watches).
//
// Run by tests/fuzz/run.sh; links the engine and its printing (Qt, offscreen).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "sheet/engine/address.h"
#include "sheet/engine/xlsx_reader.h"
#include "sheet/print/sheet_pages.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/stored_zip.h"

namespace {

constexpr int kPagesPainted = 3;
constexpr int kImagePixels = 64;

// Rows and columns near the start mostly, anywhere in the sheet sometimes.
uint32_t rowOf(fuzz::Input& in) {
  uint8_t choice = in.byte();
  return choice < 224 ? choice % 48 : static_cast<uint32_t>(in.int32()) % sheet::kMaxRows;
}
uint32_t columnOf(fuzz::Input& in) {
  uint8_t choice = in.byte();
  return choice < 224 ? choice % 24 : static_cast<uint32_t>(in.int32()) % sheet::kMaxColumns;
}
std::string cellOf(fuzz::Input& in) { return sheet::cellName({rowOf(in), columnOf(in)}); }
std::string rangeOf(fuzz::Input& in) { return cellOf(in) + ":" + cellOf(in); }
// Sizes and margins: ordinary ones, and some that are not.
std::string measureOf(fuzz::Input& in) {
  static const char* const kOdd[] = {"0", "0.01", "409.5", "1e300", "-3", "255", "0.7"};
  uint8_t choice = in.byte();
  return choice < 200 ? std::to_string(choice % 60) : kOdd[choice % 7];
}

struct Row {
  std::string attributes;
  std::set<uint32_t> cells;
};

std::string sheetOf(fuzz::Input& in) {
  std::map<uint32_t, Row> rows;
  std::string columns, merges;
  while (!in.empty()) {
    switch (in.byte() % 6) {
      case 0:
      case 1: rows[rowOf(in)].cells.insert(columnOf(in)); break;
      case 2: {
        Row& row = rows[rowOf(in)];
        row.attributes = " ht=\"" + measureOf(in) + "\" customHeight=\"1\"";
        if (in.byte() % 4 == 0) row.attributes += " hidden=\"1\"";
        break;
      }
      case 3: {
        uint32_t first = columnOf(in) + 1;
        columns += "<col min=\"" + std::to_string(first) + "\" max=\"" + std::to_string(first + in.byte() % 4) +
                   "\" width=\"" + measureOf(in) + "\"" + (in.byte() % 5 == 0 ? " hidden=\"1\"" : "") + "/>";
        break;
      }
      default: merges += "<mergeCell ref=\"" + rangeOf(in) + "\"/>"; break;
    }
    if (rows.size() > 200) break;
  }
  std::string xml = "<worksheet><sheetPr><pageSetUpPr fitToPage=\"" + std::to_string(in.byte() % 2) +
                    "\"/></sheetPr><cols>" + columns + "</cols><sheetData>";
  for (const auto& [index, row] : rows) {
    xml += "<row r=\"" + std::to_string(index + 1) + "\"" + row.attributes + ">";
    for (uint32_t column : row.cells) xml += "<c r=\"" + sheet::cellName({index, column}) + "\"><v>7</v></c>";
    xml += "</row>";
  }
  return xml + "</sheetData><mergeCells>" + merges + "</mergeCells>";
}

std::string pageSetupOf(fuzz::Input& in) {
  return "<printOptions horizontalCentered=\"" + std::to_string(in.byte() % 2) + "\" verticalCentered=\"" +
         std::to_string(in.byte() % 2) + "\" gridLines=\"" + std::to_string(in.byte() % 2) +
         "\"/><pageMargins left=\"" + measureOf(in) + "\" right=\"0.7\" top=\"" + measureOf(in) +
         "\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/><pageSetup paperSize=\"" + std::to_string(in.byte()) +
         "\" scale=\"" + std::to_string(in.byte() * 2) + "\" fitToWidth=\"" + std::to_string(in.byte() % 4) +
         "\" fitToHeight=\"" + std::to_string(in.byte() % 4) + "\" orientation=\"" +
         (in.byte() % 2 ? "landscape" : "portrait") + "\" pageOrder=\"" +
         (in.byte() % 2 ? "overThenDown" : "downThenOver") + "\"/>";
}

std::string packageOf(fuzz::Input& setup, fuzz::Input& cells) {
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  std::string area = setup.byte() % 3 == 0 ? "" : rangeOf(setup);
  std::string page = pageSetupOf(setup);
  std::string sheet = sheetOf(cells) + page + "</worksheet>";
  std::string names = area.empty() ? ""
                                   : "<definedNames><definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">S!" +
                                         area + "</definedName></definedNames>";
  return fuzz::storedZip({
      {"_rels/.rels", "<Relationships><Relationship Id=\"r\" Type=\"" + rel +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml", "<workbook xmlns:r=\"" + rel +
                              "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"s\"/></sheets>" + names +
                              "</workbook>"},
      {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"s\" Type=\"" + rel +
                                         "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                                         "</Relationships>"},
      {"xl/worksheets/sheet1.xml", sheet},
  });
}

bool onSomePage(const sheet::print::SheetPages& pages, sheet::CellRef cell) {
  for (int i = 0; i < pages.count(); ++i)
    if (pages.cells(i).contains(cell)) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication application(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first bytes set the page up, the rest places cells and ranges.
  constexpr size_t kSetupBytes = 24;
  fuzz::Input setup(data, std::min(size, kSetupBytes));
  fuzz::Input cells(data + std::min(size, kSetupBytes), size - std::min(size, kSetupBytes));
  auto workbook = sheet::readXlsx(packageOf(setup, cells));
  if (!workbook) return 0;
  const sheet::Worksheet& ws = *workbook->sheets.front();
  sheet::print::SheetPages pages(*workbook, ws);

  std::optional<sheet::CellRange> area = ws.printArea ? ws.printArea : ws.usedRange();
  for (int i = 0; i < pages.count(); ++i) {
    sheet::CellRange page = pages.cells(i);
    if (!area || !area->contains(page.first) || !area->contains(page.last)) std::abort();
    for (int j = 0; j < i; ++j)
      if (pages.cells(j).intersects(page)) std::abort();
  }
  for (const auto& [index, row] : ws.rows())
    for (const sheet::Cell& cell : row.cells) {
      sheet::CellRef ref{index, cell.column};
      if (area && area->contains(ref) && cell.kind != sheet::CellKind::kBlank && !onSomePage(pages, ref)) std::abort();
    }

  QImage image(kImagePixels, kImagePixels, QImage::Format_RGB32);
  QPainter painter(&image);
  for (int i = 0; i < std::min(pages.count(), kPagesPainted); ++i) pages.paint(painter, i, kImagePixels / 8.0);
  pages.paint(painter, -1, 72);
  pages.paint(painter, pages.count(), 72);
  return 0;
}
