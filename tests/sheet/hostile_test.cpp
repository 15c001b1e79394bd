// Workbooks made to harm: broken packages, a few kilobytes that declare
// millions of cells or strings, merged ranges that overlap, print areas as
// large as the sheet. Each is refused with its reason or read and printed
// within bounds.
#include <gtest/gtest.h>

#include <random>

#include "sheet/automation/objects.h"
#include "sheet/engine/merged_ranges.h"
#include "sheet/engine/save.h"
#include "sheet/engine/xlsx_reader.h"
#include "sheet/print/sheet_pages.h"
#include "tests/sheet/sheet_support.h"
#include "tests/support/link_planter.h"
#include "tests/support/runtime_fixture.h"

namespace {

using namespace sheettest;
using sheet::CellRange;
using sheet::ReadFailure;

CellRange range(const char* text) { return *sheet::parseRange(text); }

std::string sheetWith(const std::string& rows, const std::string& after = {}) {
  return "<worksheet><sheetData>" + rows + "</sheetData>" + after + "</worksheet>";
}

std::unique_ptr<sheet::Workbook> read(const Parts& parts, sheet::ReadError& error,
                                      const sheet::ReadLimits& limits = {}) {
  return sheet::readXlsx(zipOf(parts), &error, limits);
}

// The same with the first sheet's rows handed to a sink that takes them all.
std::unique_ptr<sheet::Workbook> readRows(const Parts& parts, sheet::ReadError& error,
                                          const sheet::ReadLimits& limits = {}) {
  return sheet::readXlsxRows(
      zipOf(parts), [](auto&&...) { return true; }, &error, limits);
}

TEST(HostilePackages, FailCleanly) {
  sheet::ReadError error;
  const std::string good = sheetWith("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>ok</t></is></c></row>");
  auto readable = read(workbookParts(good), error);
  ASSERT_TRUE(readable) << error.reason;
  EXPECT_EQ(readable->sheets[0]->text(*readable->sheets[0]->find({0, 0})), "ok");

  struct Case {
    const char* what;
    std::string bytes;
    ReadFailure failure;
  };
  std::string whole = zipOf(workbookParts(good));
  const Case cases[] = {
      {"malformed XML", zipOf(workbookParts("<worksheet><sheetData><row>")), ReadFailure::kMalformed},
      {"a target above the package root", zipOf(workbookParts(good, {}, {}, {}, "../../../../etc/passwd")),
       ReadFailure::kMalformed},
      {"a row beyond the sheet", zipOf(workbookParts(sheetWith("<row r=\"1048577\"><c><v>1</v></c></row>"))),
       ReadFailure::kMalformed},
      {"a cell outside its row", zipOf(workbookParts(sheetWith("<row r=\"2\"><c r=\"A1\"><v>1</v></c></row>"))),
       ReadFailure::kMalformed},
      {"a row given twice", zipOf(workbookParts(sheetWith("<row r=\"2\"><c><v>1</v></c></row><row r=\"2\"/>"))),
       ReadFailure::kMalformed},
      {"a document type", zipOf(workbookParts("<!DOCTYPE worksheet [<!ENTITY a \"aaaa\">]>" + good)),
       ReadFailure::kMalformed},
      {"a truncated package", whole.substr(0, whole.size() / 2), ReadFailure::kMalformed},
      {"not a zip at all", "not a zip at all", ReadFailure::kMalformed},
      {"nothing", "", ReadFailure::kMalformed},
  };
  for (const Case& c : cases) {
    error = {};
    EXPECT_FALSE(sheet::readXlsx(c.bytes, &error)) << c.what;
    EXPECT_EQ(error.failure, c.failure) << c.what << ": " << error.reason;
  }
}

// Each limit with a small value, on a file the default limits read: the
// refusal is the limit's, with its reason.
TEST(HostilePackages, EachLimitRefusesBeyondItsValue) {
  struct Case {
    const char* what;
    Parts parts;
    void (*narrow)(sheet::ReadLimits&);
    const char* reason;
  };
  const std::string threeCells = sheetWith("<row><c><v>1</v></c><c><v>2</v></c><c><v>3</v></c></row>");
  const std::string texts =
      sheetWith("<row><c t=\"inlineStr\"><is><t>0123456789</t></is></c><c t=\"str\"><v>0123456789</v></c></row>");
  const std::string strings = "<sst><si><t>a</t></si><si><r><t>bb</t></r><r><t>cc</t></r></si><si><t>d</t></si></sst>";
  const std::string fonts = "<styleSheet><fonts><font/><font/><font/></fonts></styleSheet>";
  const Case cases[] = {
      {"cells", workbookParts(threeCells), [](sheet::ReadLimits& l) { l.maxCells = 2; }, "cells"},
      {"rows", workbookParts(sheetWith("<row/><row/><row/>")), [](sheet::ReadLimits& l) { l.maxRows = 2; }, "rows"},
      {"texts", workbookParts(texts), [](sheet::ReadLimits& l) { l.maxTextBytes = 15; }, "text"},
      {"memory", workbookParts(texts), [](sheet::ReadLimits& l) { l.maxModelBytes = 1; }, "memory"},
      {"shared strings", workbookParts(threeCells, strings), [](sheet::ReadLimits& l) { l.maxSharedStrings = 2; },
       "shared strings"},
      {"shared-string bytes", workbookParts(threeCells, strings),
       [](sheet::ReadLimits& l) { l.maxSharedStringBytes = 5; }, "shared-string bytes"},
      {"merged ranges",
       workbookParts(sheetWith("",
                               "<mergeCells><mergeCell ref=\"A1:B1\"/><mergeCell ref=\"A3:B3\"/>"
                               "</mergeCells>")),
       [](sheet::ReadLimits& l) { l.maxMerges = 1; }, "merged ranges"},
      {"styles", workbookParts(threeCells, {}, fonts), [](sheet::ReadLimits& l) { l.maxStyleEntries = 2; }, "fonts"},
      {"a part read whole", workbookParts(threeCells, {}, fonts), [](sheet::ReadLimits& l) { l.maxPartBytes = 40; },
       "too large"},
      {"sheets", workbookParts(threeCells), [](sheet::ReadLimits& l) { l.maxSheets = 0; }, "sheets"},
      {"the file", workbookParts(threeCells), [](sheet::ReadLimits& l) { l.maxPackageBytes = 100; }, "larger"},
      {"parts", workbookParts(threeCells), [](sheet::ReadLimits& l) { l.maxEntries = 3; }, "parts"},
  };
  // The rows handed to a sink count against the same limits as a model.
  for (auto reader : {read, readRows}) {
    for (const Case& c : cases) {
      sheet::ReadError error;
      ASSERT_TRUE(reader(c.parts, error, {})) << c.what << ": " << error.reason;
      sheet::ReadLimits limits;
      c.narrow(limits);
      EXPECT_FALSE(reader(c.parts, error, limits)) << c.what;
      EXPECT_EQ(error.failure, ReadFailure::kBeyondLimits) << c.what << ": " << error.reason;
      EXPECT_NE(error.reason.find(c.reason), std::string::npos) << c.what << ": " << error.reason;
    }
  }
}

// The rows handed over are the cells the model keeps, row by row: texts
// inline and shared, numbers, truth values, errors, a row's cells out of
// order (sorted, the last of a column counting); no blank cell. A sink that
// stops the reading gets nothing more, and the read fails with no failure.
TEST(HostilePackages, RowsHandedOverAreTheCellsTheModelKeeps) {
  const std::string rows =
      "<row r=\"1\"><c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c>"
      "<c r=\"B1\" t=\"s\"><v>0</v></c><c r=\"C1\" s=\"1\"/></row>"
      "<row r=\"3\"><c r=\"A3\"><v>2.5</v></c><c r=\"B3\" t=\"b\"><v>1</v></c><c r=\"D3\" t=\"e\"><v>#N/A</v></c></row>"
      "<row r=\"4\"><c r=\"A4\" t=\"str\"><v>x</v></c></row>";
  const Parts parts = workbookParts(sheetWith(rows), "<sst><si><t>first</t></si><si><t>second</t></si></sst>");
  sheet::ReadError error;
  auto model = read(parts, error);
  ASSERT_TRUE(model) << error.reason;
  std::vector<std::string> kept, handed;
  const sheet::Worksheet& sheet = *model->sheets[0];
  for (const auto& [index, row] : sheet.rows())
    for (const sheet::Cell& c : row.cells)
      if (c.kind != sheet::CellKind::kBlank) {
        bool text = c.kind == sheet::CellKind::kText || c.kind == sheet::CellKind::kError;
        kept.push_back(std::to_string(index) + ":" + std::to_string(c.column) + ":" +
                       std::to_string(static_cast<int>(c.kind)) + ":" +
                       (text ? std::string(sheet.text(c)) : std::to_string(c.number())));
      }
  auto record = [&](const sheet::Workbook&, uint32_t row, std::span<const sheet::RowCell> cells) {
    for (const sheet::RowCell& c : cells) {
      bool text = c.kind == sheet::CellKind::kText || c.kind == sheet::CellKind::kError;
      handed.push_back(std::to_string(row) + ":" + std::to_string(c.column) + ":" +
                       std::to_string(static_cast<int>(c.kind)) + ":" +
                       (text ? std::string(c.text) : std::to_string(c.number)));
    }
    return true;
  };
  std::string bytes = zipOf(parts);
  ASSERT_TRUE(sheet::readXlsxRows(bytes, record, &error)) << error.reason;
  EXPECT_EQ(handed, kept);
  EXPECT_EQ(handed.front(), "0:0:2:a");

  int rowsSeen = 0;
  auto stopAtFirst = [&](auto&&...) { return ++rowsSeen < 1; };
  EXPECT_FALSE(sheet::readXlsxRows(bytes, stopAtFirst, &error));
  EXPECT_EQ(rowsSeen, 1);
  EXPECT_EQ(error.failure, ReadFailure::kNone);
}

// What a few tens of kilobytes can declare, with the default limits.
TEST(HostilePackages, AFewKilobytesCannotDeclareMillions) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::string longText = std::string(30000, 'x');
  const Case cases[] = {
      {"millions of empty cells", millionsOfCells()},
      {"millions of shared strings",
       zipOf(workbookParts(sheetWith("<row><c><v>1</v></c></row>"),
                           "<sst>" + repeated("<si><t>x</t></si>", 2'200'000) + "</sst>"))},
      {"one long string in many cells",
       zipOf(workbookParts(sheetWith(repeated("<row>" + repeated("<c t=\"s\"><v>0</v></c>", 100) + "</row>", 30)),
                           "<sst><si><t>" + longText + "</t></si></sst>"))},
      {"a part that inflates without end",
       zipOf(workbookParts("<worksheet>" + std::string(24 << 20, ' ') + "</worksheet>"))},
  };
  for (const Case& c : cases) {
    EXPECT_LT(c.bytes.size(), 100u << 10) << c.what;
    sheet::ReadError error;
    EXPECT_FALSE(sheet::readXlsx(c.bytes, &error)) << c.what;
    EXPECT_EQ(error.failure, ReadFailure::kBeyondLimits) << c.what << ": " << error.reason;
  }
}

TEST(HostilePackages, OutOfRangeReferencesDegradeToEmptyCells) {
  sheet::ReadError error;
  auto workbook = read(
      workbookParts(sheetWith("<row r=\"1\"><c r=\"A1\" t=\"s\" s=\"99\"><v>7</v></c><c r=\"B1\"><v>x</v></c></row>")),
      error);
  ASSERT_TRUE(workbook) << error.reason;
  const sheet::Cell* a1 = workbook->sheets[0]->find({0, 0});
  ASSERT_TRUE(a1);
  EXPECT_EQ(a1->kind, sheet::CellKind::kBlank);
  EXPECT_EQ(a1->format, 0u);
  EXPECT_EQ(workbook->sheets[0]->find({0, 1})->kind, sheet::CellKind::kBlank);
}

// Cells of a row in any order end up in column order; of a column given
// twice the last one counts.
TEST(HostilePackages, CellsOfARowOutOfOrderAreSortedAndTheLastOfAColumnCounts) {
  sheet::ReadError error;
  auto workbook =
      read(workbookParts(sheetWith("<row r=\"1\"><c r=\"C1\"><v>3</v></c><c r=\"A1\"><v>1</v></c>"
                                   "<c r=\"C1\" t=\"inlineStr\"><is><t>c</t></is></c><c><v>4</v></c></row>")),
           error);
  ASSERT_TRUE(workbook) << error.reason;
  const sheet::Worksheet& ws = *workbook->sheets[0];
  const auto& cells = ws.rows().at(0).cells;
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells[0].number(), 1);
  EXPECT_EQ(ws.text(cells[1]), "c");
  EXPECT_EQ(cells[2].column, 3u);
  EXPECT_EQ(cells[2].number(), 4);
}

// --- merged ranges ---

TEST(MergedRanges, ARangeOverlappingOneBeforeItIsDropped) {
  sheet::MergedRanges merges;
  EXPECT_EQ(merges.assign({range("A1:B2"), range("A1:D60"), range("C3:D4"), range("B1:B5"), range("C1"), range("E1:E9"),
                           range("A3:F3")}),
            4u);
  EXPECT_EQ(merges.ranges(), (std::vector<CellRange>{range("A1:B2"), range("C3:D4"), range("E1:E9")}));
  EXPECT_FALSE(merges.add(range("D4:F5"))) << "overlaps C3:D4";
  EXPECT_TRUE(merges.add(range("A60:XFD1048576")));
  EXPECT_EQ(merges.at({1048575, 16383}), &merges.ranges().back());
  EXPECT_EQ(merges.at({2, 3}), &merges.ranges()[1]);
  EXPECT_EQ(merges.at({58, 0}), nullptr);

  sheet::ReadError error;
  auto workbook = read(workbookParts(sheetWith("",
                                               "<mergeCells><mergeCell ref=\"A1:B2\"/><mergeCell ref=\"A1:D60\"/>"
                                               "<mergeCell ref=\"C2:C3\"/></mergeCells>")),
                       error);
  ASSERT_TRUE(workbook) << error.reason;
  EXPECT_EQ(workbook->sheets[0]->merges(), (std::vector<CellRange>{range("A1:B2"), range("C2:C3")}));
}

// The index finds the same range as a search of all of them, for ranges of
// every size anywhere in the sheet.
TEST(MergedRanges, TheRangeOfACellIsTheOneASearchOfAllFinds) {
  std::mt19937 random(21);
  auto pick = [&](uint32_t below) { return static_cast<uint32_t>(random() % below); };
  std::vector<CellRange> candidates;
  for (int i = 0; i < 3000; ++i) {
    uint32_t height = i % 10 == 0 ? pick(sheet::kMaxRows) : 1 + pick(40);
    uint32_t width = 1 + pick(i % 7 == 0 ? 2000 : 6);
    uint32_t row = pick(sheet::kMaxRows - height + 1), column = pick(sheet::kMaxColumns - width + 1);
    candidates.push_back({{row, column}, {row + height - 1, column + width - 1}});
  }
  sheet::MergedRanges merges;
  merges.assign(candidates);
  ASSERT_GT(merges.ranges().size(), 1000u);
  for (int i = 0; i < 20000; ++i) {
    // Cells near a range's corners, and anywhere.
    const CellRange& near = merges.ranges()[pick(static_cast<uint32_t>(merges.ranges().size()))];
    sheet::CellRef cell =
        i % 2 ? sheet::CellRef{pick(sheet::kMaxRows), pick(sheet::kMaxColumns)}
              : sheet::CellRef{near.first.row + pick(3) - 1 + (i % 4 == 0) * (near.last.row - near.first.row),
                               near.last.column + pick(3) - 1};
    const CellRange* expected = nullptr;
    for (const CellRange& r : merges.ranges())
      if (r.contains(cell)) expected = &r;
    ASSERT_EQ(merges.at(cell), expected) << sheet::cellName(cell);
  }
}

// --- printing what such a file holds ---

class HostileTemplates : public jxtest::RuntimeTest {  // the runtime brings the Qt application
 protected:
  std::unique_ptr<sheet::Workbook> readTemplate(const std::string& rows, const std::string& after,
                                                const std::string& printArea) {
    sheet::ReadError error;
    auto workbook = read(
        workbookParts(sheetWith(rows, after), {}, {},
                      "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">S!" + printArea + "</definedName>"),
        error);
    EXPECT_TRUE(workbook) << error.reason;
    return workbook;
  }
  PdfFacts print(const sheet::Workbook& workbook) {
    sheet::PrintJob job;
    job.workbook = &workbook;
    job.sheet = workbook.sheets[0].get();
    job.pdfFile = (folder_ / "out.pdf").string();
    std::string error;
    EXPECT_TRUE(sheet::print::printToPdf(job, job.pdfFile, error)) << error;
    return pdfFacts(job.pdfFile);
  }
  TempFolder folder_;
};

// A merged range that overlaps an earlier one, with a print area below the
// first: the one printed page shows the text of the area, and nothing is
// read outside the sheet's rows.
TEST_F(HostileTemplates, OverlappingMergesPrintWithinTheArea) {
  auto workbook = readTemplate(
      "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>top</t></is></c></row>"
      "<row r=\"35\"><c r=\"A35\" t=\"inlineStr\"><is><t>inside</t></is></c></row>",
      "<mergeCells><mergeCell ref=\"A1:B2\"/><mergeCell ref=\"A1:D60\"/><mergeCell ref=\"A35:B70\"/></mergeCells>",
      "$A$30:$D$60");
  ASSERT_TRUE(workbook);
  PdfFacts facts = print(*workbook);
  EXPECT_EQ(facts.pages, 1);
  EXPECT_NE(facts.text.find("inside"), std::string::npos) << facts.text;
  EXPECT_EQ(facts.text.find("top"), std::string::npos) << facts.text;
}

// One cell and a print area of the whole sheet print one page, and the far
// corner another: pages with nothing on them are not laid out or printed.
TEST_F(HostileTemplates, AWholeSheetPrintAreaPrintsOnlyPagesWithSomethingOnThem) {
  const std::string area = "$A$1:$XFD$1048576";
  auto one = readTemplate("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>", "", area);
  ASSERT_TRUE(one);
  EXPECT_EQ(sheet::print::SheetPages(*one, *one->sheets[0]).count(), 1);
  auto corners = readTemplate(
      "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"1048576\"><c r=\"XFD1048576\"><v>2</v></c></row>",
      "<mergeCells><mergeCell ref=\"C300:D301\"/></mergeCells>", area);
  ASSERT_TRUE(corners);
  EXPECT_EQ(sheet::print::SheetPages(*corners, *corners->sheets[0]).count(), 3);
  PdfFacts facts = print(*corners);
  EXPECT_EQ(facts.pages, 3);
  EXPECT_LT(facts.text.find('1'), facts.text.find('2')) << "down, then over";
}

// Someone who may write the folder swaps a link in for the temporary file as
// soon as it appears: every kind of save writes only the file it created,
// and the victim the link points to is never touched.
TEST(PlantedLinks, NoSaveWritesThroughALinkSwappedInForItsTemporaryFile) {
  TempFolder folder;
  TempFolder elsewhere;
  const fs::path victim = elsewhere.path() / "victim";
  std::ofstream(victim) << "keep";
  fs::create_directory(folder.path() / "shared");
  jxtest::LinkPlanter planter(folder.path() / "shared", victim,
                              [](const std::string& name) { return name.ends_with(".tmp"); });
  ASSERT_TRUE(planter.watching());

  sheet::Workbook fresh;
  fresh.sheets.push_back(std::make_unique<sheet::Worksheet>("Sheet1"));
  fresh.sheets[0]->setText({0, 0}, "new");
  sheet::ReadError readError;
  auto read =
      sheet::readXlsx(zipOf(workbookParts(sheetWith("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"))), &readError);
  ASSERT_TRUE(read) << readError.reason;
  read->sheets[0]->setText({1, 0}, "changed");
  struct Save {
    const sheet::Workbook& workbook;
    sheet::FileFormat format;
    const char* name;
  } saves[] = {{fresh, sheet::FileFormat::kXls, "a.xls"},
               {fresh, sheet::FileFormat::kXlsx, "a.xlsx"},
               {*read, sheet::FileFormat::kXlsx, "b.xlsx"}};
  for (int round = 0; round < 10; ++round) {
    for (const Save& save : saves) {
      const fs::path target = folder.path() / "shared" / save.name;
      std::string error;
      if (sheet::saveWorkbook(save.workbook, {target.string(), save.format}, error)) {
        EXPECT_FALSE(fs::is_symlink(target)) << save.name;
      }
      ASSERT_TRUE(fileBytes(victim) == "keep") << save.name << " wrote through the link";
    }
  }
  EXPECT_GT(planter.planted(), 0);
}

}  // namespace
