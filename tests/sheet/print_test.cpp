// Sheets printed into PDF files, checked with poppler's tools: the pages of
// the job, their paper and orientation, and the texts on them.
#include <gtest/gtest.h>

#include "sheet/automation/objects.h"
#include "sheet/print/sheet_pages.h"
#include "sheet/print/system_printing.h"
#include "tests/sheet/sheet_support.h"
#include "tests/support/runtime_fixture.h"

namespace {

using namespace sheettest;
using namespace sheet::automation;
namespace status = rt::automation;

constexpr double kA4Short = 595, kA4Long = 842;

class Printing : public jxtest::RuntimeTest {  // the runtime brings the Qt application
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    sheet::setPrintService(&printers_);
  }
  void TearDown() override {
    sheet::setPrintService(nullptr);
    RuntimeTest::TearDown();
  }

  Ref<Sheets> open(const fs::path& file) {
    Ref<Workbooks> workbooks;
    EXPECT_EQ(application_->workbooks(workbooks), status::kOk);
    Ref<WorkbookObject> workbook;
    EXPECT_EQ(workbooks->open(file.string(), workbook), status::kOk);
    Ref<Sheets> sheets;
    EXPECT_EQ(workbook->sheets(sheets), status::kOk);
    return sheets;
  }
  static void put(const Ref<WorksheetObject>& sheet, const std::string& address, const std::string& text) {
    Ref<Range> range;
    ASSERT_EQ(sheet->range(address, std::nullopt, range), status::kOk);
    ASSERT_EQ(range->setText(text), status::kOk);
  }
  const PdfPrintService::Printed& lastJob() { return printers_.jobs.back(); }

  TempFolder folder_;
  PdfPrintService printers_{folder_.path(), {"打印机"}, "打印机"};
  Ref<Application> application_ = make<Application>();
};

TEST_F(Printing, AFilledFormPrintsOnOnePageInItsOrientationWithItsTexts) {
  Ref<Sheets> sheets = open(makeFormTemplate(folder_.path()));
  Ref<WorksheetObject> form;
  ASSERT_EQ(sheets->item(1, form), status::kOk);
  put(form, "B3", "张三丰");
  put(form, "B5", "130102199001011234");
  put(form, "B6", "河北省石家庄市长安区建设北大街");
  PrintRequest request;
  request.to = 1;
  ASSERT_EQ(sheets->printOut(request), status::kOk);
  PdfFacts portrait = pdfFacts(lastJob().pdf);
  EXPECT_EQ(portrait.pages, 1);
  ASSERT_EQ(portrait.pageSizes.size(), 1u);
  EXPECT_NEAR(portrait.pageSizes[0].first, kA4Short, 1);
  EXPECT_NEAR(portrait.pageSizes[0].second, kA4Long, 1);
  for (const char* text :
       {"机动车驾驶人培训报名表", "姓名", "张三丰", "130102199001011234", "河北省石家庄市长安区建设北大街", "报名日期"})
    EXPECT_NE(portrait.text.find(text), std::string::npos) << text << " in\n" << portrait.text;

  Ref<WorksheetObject> classSheet;
  ASSERT_EQ(sheets->item(4, classSheet), status::kOk);  // "C1", landscape
  put(classSheet, "B3", "李四");
  ASSERT_EQ(sheets->printOut(request), status::kOk);
  PdfFacts landscape = pdfFacts(lastJob().pdf);
  EXPECT_EQ(lastJob().sheet, "C1");
  ASSERT_EQ(landscape.pageSizes.size(), 1u);
  EXPECT_NEAR(landscape.pageSizes[0].first, kA4Long, 1);
  EXPECT_NEAR(landscape.pageSizes[0].second, kA4Short, 1);
  EXPECT_NE(landscape.text.find("李四"), std::string::npos);
  EXPECT_EQ(landscape.text.find("张三丰"), std::string::npos) << "only the chosen sheet is printed";
}

TEST_F(Printing, ALongSheetBreaksIntoPagesAndTheJobPrintsItsRange) {
  Ref<Workbooks> workbooks;
  ASSERT_EQ(application_->workbooks(workbooks), status::kOk);
  Ref<WorkbookObject> workbook;
  ASSERT_EQ(workbooks->add(workbook), status::kOk);
  Ref<Sheets> sheets;
  ASSERT_EQ(workbook->sheets(sheets), status::kOk);
  Ref<WorksheetObject> sheet;
  ASSERT_EQ(sheets->item(1, sheet), status::kOk);
  for (int r = 1; r <= 200; ++r) put(sheet, "A" + std::to_string(r), "第" + std::to_string(r) + "行");
  // 200 rows of 15 points on A4 with default margins: 48 rows a page, 5 pages.
  sheet::print::SheetPages pages(*workbook->model(), *workbook->model()->sheets[0]);
  EXPECT_EQ(pages.count(), 5);

  PrintRequest request;
  request.from = 2;
  request.to = 3;
  ASSERT_EQ(sheets->printOut(request), status::kOk);
  PdfFacts two = pdfFacts(lastJob().pdf);
  EXPECT_EQ(two.pages, 2);
  EXPECT_EQ(two.text.find("第1行\n"), std::string::npos);
  EXPECT_NE(two.text.find("第49行"), std::string::npos);
  EXPECT_NE(two.text.find("第144行"), std::string::npos);
  EXPECT_EQ(two.text.find("第145行"), std::string::npos);

  request = {};
  request.copies = 2;
  request.collate = true;
  request.printToFile = true;
  request.fileName = (folder_ / "all.pdf").string();
  ASSERT_EQ(sheets->printOut(request), status::kOk);
  EXPECT_EQ(pdfFacts(folder_ / "all.pdf").pages, 10) << "five pages twice: a PDF cannot make copies itself";

  request = {};
  request.from = 9;
  size_t before = printers_.jobs.size();
  EXPECT_EQ(sheets->printOut(request), status::kOk);
  EXPECT_EQ(printers_.jobs.size(), before + 1);
  EXPECT_FALSE(fs::exists(lastJob().pdf)) << "no page in the range: nothing printed";
}

TEST_F(Printing, FitToOnePageScalesAWideSheetDown) {
  sheet::Workbook workbook;
  workbook.sheets.push_back(std::make_unique<sheet::Worksheet>("wide"));
  sheet::Worksheet& ws = *workbook.sheets.back();
  for (uint32_t c = 0; c < 40; ++c) ws.setText({0, c}, "列" + std::to_string(c + 1));
  EXPECT_GT(sheet::print::SheetPages(workbook, ws).count(), 1);
  ws.page.fitToPage = true;
  ws.page.orientation = sheet::Orientation::kLandscape;
  sheet::print::SheetPages fitted(workbook, ws);
  EXPECT_EQ(fitted.count(), 1);
  sheet::PrintJob job;
  job.workbook = &workbook;
  job.sheet = &ws;
  std::string error;
  ASSERT_TRUE(sheet::print::printToPdf(job, (folder_ / "wide.pdf").string(), error)) << error;
  PdfFacts facts = pdfFacts(folder_ / "wide.pdf");
  EXPECT_EQ(facts.pages, 1);
  EXPECT_NE(facts.text.find("列1"), std::string::npos);
  EXPECT_NE(facts.text.find("列40"), std::string::npos);
}

TEST_F(Printing, AnEmptySheetHasNothingToPrint) {
  sheet::Workbook workbook;
  workbook.sheets.push_back(std::make_unique<sheet::Worksheet>("empty"));
  sheet::PrintJob job;
  job.workbook = &workbook;
  job.sheet = workbook.sheets[0].get();
  std::string error;
  EXPECT_FALSE(sheet::print::printToPdf(job, (folder_ / "empty.pdf").string(), error));
  EXPECT_FALSE(fs::exists(folder_ / "empty.pdf"));
}

}  // namespace
