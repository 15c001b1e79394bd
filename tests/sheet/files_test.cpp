// Files the engine writes, read back by independent readers (openpyxl for
// .xlsx, xlrd for .xls) cell by cell; a workbook read from a file and saved
// again compared part by part with the original; saves that fail.
#include <gtest/gtest.h>

#include <set>

#include "sheet/automation/objects.h"
#include "sheet/engine/save.h"
#include "sheet/engine/xls_writer.h"
#include "sheet/engine/xlsx_reader.h"
#include "tests/sheet/sheet_support.h"

namespace {

using namespace sheettest;
using namespace sheet::automation;
namespace status = rt::automation;

// An open workbook of a fresh application, its first sheet chosen.
struct Book {
  Ref<Application> application = make<Application>();
  Ref<Workbooks> workbooks;
  Ref<WorkbookObject> workbook;
  Ref<Sheets> sheets;
  Ref<WorksheetObject> sheet;

  explicit Book(const std::string& path = {}) {
    EXPECT_EQ(application->workbooks(workbooks), status::kOk);
    if (path.empty())
      EXPECT_EQ(workbooks->add(workbook), status::kOk);
    else
      EXPECT_EQ(workbooks->open(path, workbook), status::kOk);
    EXPECT_EQ(workbook->sheets(sheets), status::kOk);
    choose(1);
  }
  void choose(int index) { EXPECT_EQ(sheets->item(index, sheet), status::kOk); }
  Ref<Range> range(const std::string& address) {
    Ref<Range> r;
    EXPECT_EQ(sheet->range(address, std::nullopt, r), status::kOk) << address;
    return r;
  }
  void text(const std::string& address, const std::string& value, bool asText = false) {
    Ref<Range> r = range(address);
    if (asText) { EXPECT_EQ(r->setNumberFormat("@"), status::kOk); }
    EXPECT_EQ(r->setText(value), status::kOk) << address;
  }
  std::string save(const fs::path& path) {
    std::string written;
    EXPECT_EQ(sheet->saveAs(path.string(), &written), status::kOk) << path;
    return written;
  }
};

const std::string kFourByte = "\xF0\xA0\x80\x80";  // U+20000, four bytes in GB18030 too
const std::string kIdentity = "130102199001011234";

// What the export writes: text cells with the text format, a header with widths.
void fillExportLike(Book& book, int rows) {
  const char* headers[] = {"ID", "姓名", "身份证号码", "报名日期"};
  for (int c = 0; c < 4; ++c) {
    std::string address = std::string(1, static_cast<char>('a' + c)) + "1";
    book.text(address, headers[c], true);
    EXPECT_EQ(book.range(address)->setColumnWidth(static_cast<double>(std::string(headers[c]).size() + 3)),
              status::kOk);
  }
  for (int r = 2; r <= rows + 1; ++r) {
    std::string n = std::to_string(r);
    book.text("a" + n, std::to_string(r - 1), true);
    book.text("b" + n, "张三" + kFourByte + n, true);
    book.text("c" + n, kIdentity, true);
    book.text("d" + n, "2014年5月6日", true);
  }
}

void expectExportLike(const ReadBack& back, int rows, bool xls) {
  EXPECT_EQ(back.text(0, "A1"), "ID");
  EXPECT_EQ(back.text(0, "B1"), "姓名");
  for (int r = 2; r <= rows + 1; ++r) {
    std::string n = std::to_string(r);
    ASSERT_EQ(back.text(0, "A" + n), std::to_string(r - 1)) << back.raw;
    EXPECT_EQ(back.cell(0, "A" + n)->type, "str");
    EXPECT_EQ(back.text(0, "B" + n), "张三" + kFourByte + n);
    EXPECT_EQ(back.text(0, "C" + n), kIdentity);
    EXPECT_EQ(back.text(0, "D" + n), "2014年5月6日");
    EXPECT_EQ(back.cell(0, "D" + n)->format, "@");
  }
  // "姓名" is six bytes: width 9.
  EXPECT_NEAR(back.widths.at({0, "B"}), xls ? 9.7109375 : 9.7109375, 0.01);
}

TEST(WrittenFiles, NewWorkbookAsXlsxReadsBackCellByCell) {
  TempFolder folder;
  Book book;
  fillExportLike(book, 20);
  EXPECT_EQ(book.save(folder / "export.xlsx"), (folder / "export.xlsx").string());
  expectExportLike(readBack(folder / "export.xlsx"), 20, false);
}

TEST(WrittenFiles, NewWorkbookAsXlsReadsBackCellByCell) {
  TempFolder folder;
  Book book;
  fillExportLike(book, 20);
  book.save(folder / "export.XLS");
  ReadBack back = readBack(folder / "export.XLS");
  expectExportLike(back, 20, true);
  EXPECT_EQ(back.sheets, std::vector<std::string>{"Sheet1"});
}

TEST(WrittenFiles, TypedInputBecomesNumbersAndDatesWithoutTheTextFormat) {
  TempFolder folder;
  Book book;
  book.text("A1", "0123");
  book.text("A2", "2014-5-6");
  book.text("A3", "2014年5月6日");
  book.text("A4", kIdentity);
  book.text("A5", "-3.25");
  book.text("A6", "abc");
  for (const char* name : {"typed.xlsx", "typed.xls"}) {
    book.save(folder / name);
    ReadBack back = readBack(folder / name);
    bool xls = std::string(name).ends_with(".xls");
    EXPECT_EQ(back.cell(0, "A1")->value, xls ? "123.0" : "123") << name;
    EXPECT_EQ(back.cell(0, "A2")->format, "yyyy-m-d") << name;
    EXPECT_EQ(back.cell(0, "A3")->format, "yyyy\"年\"m\"月\"d\"日\"") << name;
    EXPECT_EQ(back.text(0, "A3"), xls ? "41765.0" : "2014-05-06T00:00:00");
    EXPECT_EQ(back.text(0, "A4"), kIdentity) << "an identity number keeps its digits: " << name;
    EXPECT_EQ(back.cell(0, "A4")->type, "str");
    EXPECT_EQ(back.text(0, "A5"), "-3.25");
    EXPECT_EQ(back.text(0, "A6"), "abc");
  }
}

TEST(WrittenFiles, NameWithoutExtensionGetsXlsxAndOtherExtensionsKeepTheirName) {
  TempFolder folder;
  Book book;
  book.text("A1", "x");
  EXPECT_EQ(book.save(folder / "tem"), (folder / "tem.xlsx").string());
  EXPECT_TRUE(fs::exists(folder / "tem.xlsx"));
  EXPECT_EQ(book.save(folder / "list.2024"), (folder / "list.2024.xlsx").string());
  EXPECT_EQ(readBack(folder / "list.2024.xlsx").text(0, "A1"), "x");
}

// What start-up removes as a save's leftover is exactly what saves name
// their temporaries, and nothing that merely looks alike.
TEST(WrittenFiles, TemporaryNamesOfSavesAreRecognisedAndNothingElse) {
  for (std::string target : {"tem.xlsx", "学员名单.XLS", "a.b.xlsx"}) {
    for (uint32_t random : {0u, 0xdeadbeefu, 0xffffffffu})
      EXPECT_TRUE(sheet::isSaveTemporaryName(sheet::temporaryNameFor(target, random))) << target << random;
  }
  for (std::string_view other : {".tem.xlsx.0000000.tmp", ".tem.xlsx.0000000g.tmp", ".tem.xlsx.DEADBEEF.tmp",
                                 "tem.xlsx.deadbeef.tmp", ".tem.xlsx.deadbeef.tmp.x", ".tem.docx.deadbeef.tmp",
                                 "..xlsx.deadbeef.tmp", ".tem.xlsxdeadbeef.tmp", "tem.xlsx", ".tmp"})
    EXPECT_FALSE(sheet::isSaveTemporaryName(other)) << other;
}

TEST(WrittenFiles, ManyLongTextsSpanContinuationRecordsAndAnExtendedAllocationTable) {
  // Some 9 MB of strings: the shared string table runs over many CONTINUE
  // records and the container needs more allocation sectors than its header lists.
  TempFolder folder;
  sheet::Workbook workbook;
  workbook.sheets.push_back(std::make_unique<sheet::Worksheet>("长表"));
  sheet::Worksheet& ws = *workbook.sheets.back();
  const int rows = 30000;
  for (uint32_t r = 0; r < rows; ++r) {
    ws.setText({r, 0}, std::string(140, static_cast<char>('a' + r % 26)) + std::to_string(r));
    ws.setText({r, 1}, "汉字" + std::to_string(r) + std::string(60, 'x'));
  }
  std::string error;
  ASSERT_TRUE(sheet::saveWorkbook(workbook, {(folder / "long.xls").string(), sheet::FileFormat::kXls}, error)) << error;
  EXPECT_GT(fs::file_size(folder / "long.xls"), 7u << 20);
  std::string script =
      "import sys,xlrd\n"
      "s=xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
      "bad=[r for r in range(s.nrows) if s.cell_value(r,0)!=chr(97+r%26)*140+str(r) or "
      "s.cell_value(r,1)!='汉字'+str(r)+'x'*60]\n"
      "print(s.nrows, len(bad))\n";
  EXPECT_EQ(run(kPython + " -c " + shellQuoted(script) + " " + shellQuoted((folder / "long.xls").string())),
            "30000 0\n");
}

TEST(WrittenFiles, XlsRefusesCellsBeyondItsLimitsAndKeepsTheOldFile) {
  TempFolder folder;
  Book book;
  book.text("A1", "first");
  fs::path target = folder / "limits.xls";
  book.save(target);
  std::string before = fileBytes(target);
  book.text("A70000", "too far");
  std::string written;
  EXPECT_EQ(book.sheet->saveAs(target.string(), &written), status::kException);
  EXPECT_EQ(fileBytes(target), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1)
      << "no temporary file is left";
  // As .xlsx the same workbook is fine.
  EXPECT_EQ(book.save(folder / "limits.xlsx"), (folder / "limits.xlsx").string());
  EXPECT_EQ(readBack(folder / "limits.xlsx").text(0, "A70000"), "too far");
}

TEST(WrittenFiles, SaveIntoAMissingFolderFailsWithoutAFile) {
  TempFolder folder;
  Book book;
  book.text("A1", "x");
  std::string written;
  EXPECT_EQ(book.sheet->saveAs((folder / "missing" / "out.xlsx").string(), &written), status::kException);
  EXPECT_TRUE(written.empty());
  EXPECT_FALSE(fs::exists(folder / "missing"));
}

// --- a workbook read from a file and saved again ---

TEST(TemplateRoundTrip, OnlyTheWrittenSheetTheStylesAndTheCalculationChainChange) {
  TempFolder folder;
  fs::path original = makeDesktopStyleWorkbook(folder.path());
  {
    Book book(original.string());
    book.text("A2", "新名字");        // was a shared string
    book.text("B2", "0123");          // the cell's own format is text
    book.text("C2", "2014年5月6日");  // its column's format is text
    book.text("E2", "2014年5月6日");  // a general cell: a date format is added
    book.text("D5", "9");             // was a formula
    book.text("F8", "新行");          // a new row and column
    Ref<PageSetupObject> setup;
    ASSERT_EQ(book.sheet->pageSetup(setup), status::kOk);
    EXPECT_EQ(setup->setOrientation(kLandscape), status::kOk);
    EXPECT_EQ(book.range("C1")->setColumnWidth(20), status::kOk);
    book.save(folder / "tem");
  }
  fs::path saved = folder / "tem.xlsx";
  auto before = partDigests(original), after = partDigests(saved);
  std::set<std::string> changed = {"xl/worksheets/sheet1.xml", "xl/styles.xml", "xl/_rels/workbook.xml.rels",
                                   "[Content_Types].xml"};
  EXPECT_EQ(after.count("xl/calcChain.xml"), 0u);
  for (const auto& [part, digest] : before) {
    if (part == "xl/calcChain.xml") continue;
    ASSERT_TRUE(after.count(part)) << part;
    if (changed.count(part))
      EXPECT_NE(after[part], digest) << part;
    else
      EXPECT_EQ(after[part], digest) << part << " changed";
  }
  EXPECT_EQ(after.size(), before.size() - 1);
  EXPECT_EQ(partText(saved, "xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
  EXPECT_EQ(partText(saved, "[Content_Types].xml").find("calcChain"), std::string::npos);

  ReadBack a = readBack(original), b = readBack(saved);
  std::set<std::string> written = {"A2", "B2", "C2", "E2", "D5", "F8"};
  for (const auto& [key, fact] : a.cells) {
    if (key.first == 0 && written.count(key.second)) continue;
    ASSERT_TRUE(b.cell(key.first, key.second)) << key.second;
    EXPECT_EQ(b.cell(key.first, key.second)->value, fact.value) << key.second;
    EXPECT_EQ(b.cell(key.first, key.second)->format, fact.format) << key.second;
  }
  for (const auto& [key, style] : a.styles) {
    if (key.first == 0 && written.count(key.second)) continue;
    EXPECT_EQ(b.styles[key], style) << key.second;
  }
  EXPECT_EQ(b.text(0, "A2"), "新名字");
  EXPECT_EQ(b.text(0, "B2"), "0123");
  EXPECT_EQ(b.cell(0, "B2")->format, "@");
  EXPECT_EQ(b.text(0, "C2"), "2014年5月6日");
  EXPECT_EQ(b.text(0, "E2"), "2014-05-06T00:00:00");
  EXPECT_EQ(b.cell(0, "E2")->format, "yyyy\"年\"m\"月\"d\"日\"");
  EXPECT_EQ(b.text(0, "D5"), "9");
  EXPECT_EQ(b.text(0, "F8"), "新行");
  EXPECT_EQ(b.text(0, "A6"), "姓名") << "other cells of the same shared string keep it";
  EXPECT_EQ(b.merges, a.merges);
  EXPECT_EQ(b.printArea, a.printArea);
  EXPECT_EQ(b.heights, a.heights);
  EXPECT_EQ(b.margins, a.margins);
  EXPECT_EQ(b.orientation[0], "landscape");
  auto width = [](const ReadBack& r, const char* column) { return r.widths.at({0, column}); };
  EXPECT_EQ(width(b, "A"), width(a, "A"));
  EXPECT_NEAR(width(b, "C"), 20.7109375, 1e-9);
  EXPECT_EQ(width(b, "B"), width(a, "B")) << "the rest of the split span keeps its width";
  EXPECT_EQ(b.text(1, "B2"), "内联");
}

TEST(TemplateRoundTrip, AnUntouchedWorkbookSavesAsTheSameParts) {
  TempFolder folder;
  fs::path original = makeFormTemplate(folder.path());
  Book book(original.string());
  book.save(folder / "copy.xlsx");
  EXPECT_EQ(partDigests(folder / "copy.xlsx"), partDigests(original));
}

TEST(TemplateRoundTrip, ReadingKeepsTheTemplatesLayout) {
  TempFolder folder;
  auto workbook = sheet::readXlsxFile(makeDesktopStyleWorkbook(folder.path()).string());
  ASSERT_TRUE(workbook);
  const sheet::Worksheet& ws = *workbook->sheets[0];
  EXPECT_EQ(ws.name(), "表一");
  EXPECT_EQ(ws.text(*ws.find({0, 0})), "学员登记");
  EXPECT_EQ(ws.text(*ws.find({1, 0})), "姓名") << "rich text runs are joined";
  EXPECT_EQ(ws.text(*ws.find({2, 0})), " 前后空格 ") << "spaces kept, phonetic runs left out";
  EXPECT_EQ(ws.text(*ws.find({3, 0})), "line\rbreak") << "escaped characters decoded";
  EXPECT_TRUE(ws.find({4, 3})->formula);
  EXPECT_EQ(ws.find({4, 3})->number(), 6);
  EXPECT_EQ(ws.find({3, 3})->kind, sheet::CellKind::kError);
  EXPECT_EQ(ws.merges().size(), 1u);
  EXPECT_EQ(sheet::rangeName(*ws.printArea), "A1:D6");
  EXPECT_EQ(ws.rowHeight(0), 24);
  EXPECT_EQ(ws.defaultRowHeight, 13.5);
  EXPECT_TRUE(workbook->styles.isTextFormat(ws.find({1, 1})->format));
  EXPECT_EQ(workbook->styles.fontOf(ws.find({0, 0})->format).name, "黑体");
  EXPECT_EQ(workbook->styles.borderOf(ws.find({0, 0})->format).bottom.style, sheet::LineStyle::kDouble);
  EXPECT_EQ(workbook->styles.resolve(workbook->styles.fontOf(1).color, 0), 0xFFFF0000u);
  EXPECT_EQ(workbook->sheets[1]->text(*workbook->sheets[1]->find({1, 1})), "内联") << "prefixed elements";
}

}  // namespace
