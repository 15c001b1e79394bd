// The menu entry 打印报名表 through the real main window, on the template the
// admin tool writes, with printers that print into PDF files: which forms
// are printed in which orientation, the learner's texts where the forms
// show them (pdftotext's layout), the template unchanged and no copy left.
#include "app/state.h"
#include "exchange_support.h"
#include "sheet/print_service.h"
#include "tools/form_template.h"

namespace {

using namespace exchangetest;

constexpr double kA4Short = 595, kA4Long = 842;

const std::string kLongAddress = "河北省石家庄市长安区建设北大街1号";

StudentFields learner(const std::string& name, const std::string& identity, const std::string& vehicle) {
  StudentFields f = student(name, identity, "13812345678", vehicle, "2014年5月6日");
  f[kSex] = "女";
  f[kBirth] = "1990年3月7日";
  f[kAddress] = kLongAddress;
  return f;
}

std::vector<std::string> charactersOf(const std::string& ascii) {
  std::vector<std::string> characters;
  for (char c : ascii) characters.emplace_back(1, c);
  return characters;
}

// `words` followed by `more`.
std::vector<std::string> joined(std::vector<std::string> words, const std::vector<std::string>& more) {
  words.insert(words.end(), more.begin(), more.end());
  return words;
}

class FormPrinting : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    sheet::setPrintService(&printers_);
    ASSERT_TRUE(admin::writeFormTemplate(AppFolder::file("table.xlsx")).ok);
    templateBytes_ = readFileBytes("table.xlsx");
    folderBefore_ = filesIn(AppFolder::path());
  }
  void TearDown() override {
    AppTest::TearDown();
    sheet::setPrintService(nullptr);
    removeFile("table.xlsx");
  }

  void printRow(int32_t row) {
    clickRow(row);
    choosePrint();
  }

  const sheettest::PdfPrintService::Printed& job(size_t index) { return printers_.jobs.at(index); }
  std::vector<std::string> printedSheets() {
    std::vector<std::string> names;
    for (const auto& printed : printers_.jobs) names.push_back(printed.sheet);
    return names;
  }
  // True for a single A4 page in landscape, false for one in portrait.
  bool landscape(size_t index) {
    sheettest::PdfFacts facts = sheettest::pdfFacts(job(index).pdf);
    EXPECT_EQ(facts.pages, 1);
    if (facts.pageSizes.size() != 1) return false;
    auto [width, height] = facts.pageSizes[0];
    EXPECT_NEAR(std::min(width, height), kA4Short, 1);
    EXPECT_NEAR(std::max(width, height), kA4Long, 1);
    return width > height;
  }

  // The template is as it was, and nothing was left in the program folder.
  void expectFolderUnchanged() {
    EXPECT_EQ(readFileBytes("table.xlsx"), templateBytes_);
    EXPECT_FALSE(fileExists("tem.xlsx"));
    EXPECT_EQ(filesIn(AppFolder::path()), folderBefore_);
  }

  sheettest::TempFolder prints_;
  sheettest::PdfPrintService printers_{prints_.path(), {"打印机"}, "打印机"};
  std::string templateBytes_;
  std::vector<std::string> folderBefore_;
};

TEST_F(FormPrinting, C1LearnerGetsThreeFormsWithTheTextsInTheirBoxes) {
  createDatabase({learner("赵六", kNumberWithX, "C1")});
  startProgram();
  printRow(0);

  EXPECT_TRUE(messages().empty());
  ASSERT_EQ(printedSheets(), (std::vector<std::string>{"报名申请表", "学员登记卡", "C1"}));
  for (const auto& printed : printers_.jobs) {
    EXPECT_EQ(printed.printer, "打印机");  // the default: the name passed is empty
    EXPECT_EQ(printed.firstPage, 1);
    EXPECT_EQ(printed.lastPage, 1);
    EXPECT_EQ(printed.copies, 1);
  }
  EXPECT_FALSE(landscape(0));
  EXPECT_FALSE(landscape(1));
  EXPECT_TRUE(landscape(2));

  auto form = layoutLines(job(0).pdf);
  EXPECT_EQ(wordsOf(lineWith(form, "姓名")),
            (std::vector<std::string>{"姓名", "赵六", "性别", "女", "出生日期", "1990年3月7日", "国籍", "中国"}));
  // E4 holds the first character of the number, V4 the X.
  EXPECT_EQ(wordsOf(lineWith(form, "身份证明")), joined({"身份证明", "居民身份证"}, charactersOf(kNumberWithX)));
  EXPECT_EQ(wordsOf(lineWith(form, "住址")), (std::vector<std::string>{"住址", kLongAddress}));
  EXPECT_EQ(wordsOf(lineWith(form, "联系电话")),
            (std::vector<std::string>{"联系电话", "13812345678", "邮政编码", "860000", "电子邮箱"}));
  EXPECT_EQ(wordsOf(lineWith(form, "申请准驾车型")).at(1), "C1");
  EXPECT_EQ(wordsOf(lineWith(form, "报名日期")).back(), "2014年5月6日");

  auto card = layoutLines(job(1).pdf);
  EXPECT_EQ(wordsOf(lineWith(card, "出生年月")),
            (std::vector<std::string>{"姓名", "赵六", "性别", "女", "出生年月", "1990年3月"}));
  EXPECT_EQ(wordsOf(lineWith(card, "身份证号")), (std::vector<std::string>{"身份证号", kNumberWithX}));
  EXPECT_EQ(wordsOf(lineWith(card, "住址")), (std::vector<std::string>{"住址", kLongAddress}));
  EXPECT_EQ(wordsOf(lineWith(card, "联系电话")), (std::vector<std::string>{"联系电话", "13812345678"}));

  auto record = layoutLines(job(2).pdf);
  EXPECT_NE(lineWith(record, "准驾车型：C1"), "");
  EXPECT_EQ(wordsOf(lineWith(record, "报名年份")),
            (std::vector<std::string>{"姓名", "赵六", "性别", "女", "身份证号", kNumberWithX, "报名年份", "2014年"}));
  EXPECT_EQ(wordsOf(lineWith(record, "联系电话")),
            (std::vector<std::string>{"住址", kLongAddress, "联系电话", "13812345678"}));

  expectFolderUnchanged();
  // The sheet's holder is emptied at the end; the page setup's keeps its
  // object until the program exits.
  EXPECT_EQ(app::state().formSheetObject->object, nullptr);
  EXPECT_NE(app::state().formPageSetupObject->object, nullptr);
}

// A name with characters of CJK Extension A (䶮) and B (𠀀), which the
// common Chinese fonts lack, is printed with glyphs of the fonts the project
// installs for them, embedded in the file. The text layer holds 䶮; Qt's PDF
// writer maps glyphs back to characters of the Basic Multilingual Plane
// only, so 𠀀 is found among the embedded glyphs instead.
TEST_F(FormPrinting, RareCharactersOfANameArePrintedWithEmbeddedGlyphs) {
  createDatabase({learner("张䶮𠀀", kNumberWithX, "C1")});
  startProgram();
  printRow(0);

  ASSERT_EQ(printedSheets(), (std::vector<std::string>{"报名申请表", "学员登记卡", "C1"}));
  for (const auto& printed : printers_.jobs) {
    SCOPED_TRACE(printed.sheet);
    EXPECT_NE(lineWith(layoutLines(printed.pdf), "张䶮"), "") << lineWith(layoutLines(printed.pdf), "张");
    // name  type  encoding  emb  sub  uni  object ID
    std::string fonts = sheettest::run("pdffonts " + sheettest::shellQuoted(printed.pdf.string()));
    std::istringstream rows(fonts);
    std::string row;
    for (int header = 0; header < 2; ++header) std::getline(rows, row);
    while (std::getline(rows, row)) {
      std::vector<std::string> columns = wordsOf(row);
      ASSERT_GE(columns.size(), 6u) << row;
      EXPECT_EQ(columns[columns.size() - 5], "yes") << "every font is embedded: " << row;
    }
    // "SUBSET+Face glyphs" per embedded face: the faces for rare characters
    // hold two glyphs beside the missing-glyph one.
    std::istringstream faces(sheettest::run(
        sheettest::kPython + " " + sheettest::shellQuoted((sheettest::kScripts / "embedded_glyphs.py").string()) + " " +
        sheettest::shellQuoted(printed.pdf.string())));
    std::string face;
    int glyphs = 0, rareGlyphs = 0;
    while (faces >> face >> glyphs)
      if (face.find("HanaMin") != std::string::npos) rareGlyphs += glyphs - 1;
    EXPECT_EQ(rareGlyphs, 2) << fonts;
  }
  expectFolderUnchanged();
}

// A vehicle class outside C2, C1, B2 and A1 prints the first two forms; a
// 15-character number leaves S4 to V4 empty; a birth date without "月"
// leaves the year and month empty.
TEST_F(FormPrinting, B1LearnerWithAShortNumberGetsTwoForms) {
  StudentFields b1 = learner("钱七", kShortNumber, "B1");
  b1[kBirth] = "19900307";
  createDatabase({b1});
  startProgram();
  printRow(0);

  ASSERT_EQ(printedSheets(), (std::vector<std::string>{"报名申请表", "学员登记卡"}));
  auto form = layoutLines(job(0).pdf);
  EXPECT_EQ(wordsOf(lineWith(form, "身份证明")), joined({"身份证明", "居民身份证"}, charactersOf(kShortNumber)));
  EXPECT_EQ(wordsOf(lineWith(layoutLines(job(1).pdf), "出生年月")),
            (std::vector<std::string>{"姓名", "钱七", "性别", "女", "出生年月"}));
  expectFolderUnchanged();
}

// Each class has its sheet, compared by exact text ("c1" is not "C1"); the
// program turns each form itself, whatever the template's own orientation.
TEST_F(FormPrinting, EachVehicleClassPrintsItsOwnSheetTurnedByTheProgram) {
  std::string flip =
      "import sys, openpyxl\n"
      "book = openpyxl.load_workbook(sys.argv[1])\n"
      "for i, ws in enumerate(book.worksheets):\n"
      "    ws.page_setup.orientation = 'landscape' if i < 2 else 'portrait'\n"
      "book.save(sys.argv[1])\n";
  sheettest::run(sheettest::kPython + " -c " + sheettest::shellQuoted(flip) + " " +
                 sheettest::shellQuoted(AppFolder::file("table.xlsx").string()));
  templateBytes_ = readFileBytes("table.xlsx");
  createDatabase({learner("甲", kNumberWithX, "C2"), learner("乙", kNumberWithX, "B2"),
                  learner("丙", kNumberWithX, "A1"), learner("丁", kNumberWithX, "c1")});
  startProgram();

  const std::vector<std::vector<std::string>> expected = {{"报名申请表", "学员登记卡", "C2"},
                                                          {"报名申请表", "学员登记卡", "B2"},
                                                          {"报名申请表", "学员登记卡", "A1"},
                                                          {"报名申请表", "学员登记卡"}};
  for (int32_t row = 0; row < 4; ++row) {
    SCOPED_TRACE(row);
    printers_.jobs.clear();
    printRow(row);
    EXPECT_EQ(printedSheets(), expected[static_cast<size_t>(row)]);
    if (printers_.jobs.size() != 3) continue;
    EXPECT_FALSE(landscape(0));
    EXPECT_FALSE(landscape(1));
    EXPECT_TRUE(landscape(2));
  }
  expectFolderUnchanged();
}

TEST_F(FormPrinting, WithoutSelectedLearnerNothingIsPrintedAndTheCopyIsStillRemoved) {
  createDatabase({learner("赵六", kNumberWithX, "C1")});
  startProgram();
  ASSERT_EQ(selectedRow(), -1);
  choosePrint();
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "请选择学员");
  EXPECT_EQ(messages()[0].caption, kDefaultCaption);
  EXPECT_EQ(messages()[0].style, kPlainMessage);
  EXPECT_TRUE(printers_.jobs.empty());
  expectFolderUnchanged();
}

// Without its template the program prints nothing rather than the learner's
// texts on blank paper, and says why; a template that declares millions of
// cells in a few kilobytes is refused the same way, without the wait.
TEST_F(FormPrinting, AMissingTemplateIsReportedAndNothingIsPrinted) {
  removeFile("table.xlsx");
  createDatabase({learner("赵六", kNumberWithX, "C1")});
  startProgram();
  printRow(0);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "无法打开报名表模板table.xlsx");
  EXPECT_EQ(messages()[0].style, kErrorMessage);
  EXPECT_TRUE(printers_.jobs.empty());
  EXPECT_FALSE(fileExists("tem.xlsx"));
  EXPECT_FALSE(fileExists("table.xlsx"));

  writeFileBytes("table.xlsx", sheettest::millionsOfCells());
  printRow(0);
  ASSERT_EQ(messages().size(), 2u);
  EXPECT_EQ(messages()[1].text, "无法打开报名表模板table.xlsx");
  EXPECT_TRUE(printers_.jobs.empty());
  EXPECT_FALSE(fileExists("tem.xlsx"));
}

}  // namespace
