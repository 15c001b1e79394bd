// The .xlsx reader on arbitrary input, and what follows a successful read:
// every cell shown through its number format, and (for a quarter of the
// inputs) the package written back with a cell changed (the rewrite parses
// and edits the same parts again).
//
// Where the model reads a file, readXlsxRows hands over the same cells of
// its first worksheet.
//
// Input starting with "PK" is taken as a whole package. Any other input is
// cut into the texts of a sheet, a styles part and a shared-string part
// (separated by 0xFF bytes), which are stored in an otherwise well-formed
// package, so that mutations reach the XML instead of dying on zip checksums.
//
// Run by tests/fuzz/run.sh; links the engine library (and zlib) alone.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "sheet/engine/number_format.h"
#include "sheet/engine/package_writer.h"
#include "sheet/engine/xlsx_reader.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/stored_zip.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr size_t kMaxCellsShown = 10000;

std::string packageAround(fuzz::Input& in) {
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  std::string sheet = in.text(), styles = in.text(), strings = in.text();
  return fuzz::storedZip({
      {"_rels/.rels", "<Relationships><Relationship Id=\"r\" Type=\"" + rel +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml", "<workbook xmlns:r=\"" + rel +
                              "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"s\"/></sheets>"
                              "<definedNames><definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">S!$A$1:$C$3"
                              "</definedName></definedNames></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships><Relationship Id=\"s\" Type=\"" + rel +
           "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"t\" Type=\"" + rel +
           "/styles\" Target=\"styles.xml\"/><Relationship Id=\"u\" Type=\"" + rel +
           "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
      {"xl/worksheets/sheet1.xml", sheet},
      {"xl/styles.xml", styles},
      {"xl/sharedStrings.xml", strings},
  });
}

const std::string& scratchFile() {
  static const jxtest::TempFolder folder("xlsx-fuzz");
  static const std::string path = folder.file("out.xlsx");
  return path;
}

std::string cellLine(uint32_t row, uint32_t column, sheet::CellKind kind, std::string_view text, double number) {
  bool isText = kind == sheet::CellKind::kText || kind == sheet::CellKind::kError;
  return std::to_string(row) + ":" + std::to_string(column) + ":" + std::to_string(static_cast<int>(kind)) + ":" +
         (isText ? std::string(text) : std::to_string(number));
}

// The first worksheet's rows as readXlsxRows hands them over, one line a
// cell; nothing unless the read succeeded with its rows in order (the
// model sorts rows, a sink gets them as they come).
std::vector<std::string> handedRows(const std::string& bytes, const sheet::ReadLimits& limits) {
  std::vector<std::string> lines;
  int64_t lastRow = -1;
  bool inOrder = true;
  auto sink = [&](const sheet::Workbook&, uint32_t row, std::span<const sheet::RowCell> cells) {
    inOrder = inOrder && int64_t{row} > lastRow;
    lastRow = row;
    for (const sheet::RowCell& c : cells) lines.push_back(cellLine(row, c.column, c.kind, c.text, c.number));
    return true;
  };
  sheet::ReadError error;
  if (!sheet::readXlsxRows(bytes, sink, &error, limits) || !inOrder) lines.clear();
  return lines;
}

std::vector<std::string> keptRows(const sheet::Workbook& workbook) {
  std::vector<std::string> lines;
  for (const auto& ws : workbook.sheets) {
    if (ws->kind() != sheet::Worksheet::Kind::kWorksheet) continue;
    for (const auto& [index, row] : ws->rows())
      for (const sheet::Cell& c : row.cells) {
        if (c.kind == sheet::CellKind::kBlank) continue;
        bool isText = c.kind == sheet::CellKind::kText || c.kind == sheet::CellKind::kError;
        lines.push_back(cellLine(index, c.column, c.kind, isText ? ws->text(c) : "", isText ? 0 : c.number()));
      }
    break;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.rfind("PK", 0) != 0) {
    fuzz::Input in(data, size);
    bytes = packageAround(in);
  }
  sheet::ReadLimits limits;
  limits.maxTotalBytes = size_t{32} << 20;
  sheet::ReadError readError;
  std::vector<std::string> handed = handedRows(bytes, limits);
  auto workbook = sheet::readXlsx(std::move(bytes), &readError, limits);
  if (!workbook) return 0;
  // Where the model reads the file, the rows handed to a sink are its first worksheet's cells.
  if (!handed.empty() && handed != keptRows(*workbook)) std::abort();

  size_t shown = 0;
  for (const auto& ws : workbook->sheets) {
    for (const auto& [index, row] : ws->rows()) {
      for (const sheet::Cell& cell : row.cells) {
        if (++shown > kMaxCellsShown) break;
        (void)sheet::displayText(*ws, workbook->styles, cell);
      }
    }
    (void)ws->usedRange();
  }
  // Writing a package costs file system work: one input in four goes on to it.
  sheet::Worksheet& first = *workbook->sheets.front();
  if (size > 0 && data[size - 1] % 4 == 0 && first.kind() == sheet::Worksheet::Kind::kWorksheet) {
    first.setText({1, 1}, "changed");
    first.setFormat({1, 1}, workbook->styles.withNumberFormat(0, workbook->styles.numberFormatId("@")));
    first.setColumnWidth(2, 4, 12);
    first.page.orientation = sheet::Orientation::kLandscape;
    first.pageSetupChanged = true;
    std::string error;
    if (sheet::rewriteXlsx(*workbook, scratchFile(), error)) {
      // What was written must read again.
      if (!sheet::readXlsxFile(scratchFile(), &readError, limits)) std::abort();
    }
  }
  return 0;
}
