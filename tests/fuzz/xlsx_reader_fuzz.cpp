// The .xlsx reader on arbitrary input, and what follows a successful read:
// every cell shown through its number format, and (for a quarter of the
// inputs) the package written back with a cell changed (the rewrite parses
// and edits the same parts again).
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
  auto workbook = sheet::readXlsx(std::move(bytes), &readError, limits);
  if (!workbook) return 0;

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
