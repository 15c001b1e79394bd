// The spreadsheet library as the handlers use it: the main window's
// ExcelApp and ExcelWorkbooks units, reached through the runtime's entry
// operations (commands and property writes), on the real templates.
#include <gtest/gtest.h>

#include "app/ids.h"
#include "runtime/api.h"
#include "runtime/dispatch.h"
#include "runtime/encoding.h"
#include "runtime/library.h"
#include "runtime/listview/list_library.h"
#include "runtime/properties.h"
#include "sheet/automation/objects.h"
#include "sheet/print_service.h"
#include "sheet/spreadsheet_library.h"
#include "tests/sheet/sheet_support.h"
#include "tests/support/runtime_fixture.h"

namespace {

using namespace sheettest;
namespace api = rt::api;
namespace cmd = rt::cmd;
namespace prop = rt::prop;
namespace status = rt::automation;

const std::string kDefaultPrinter = "办公室打印机";

class SpreadsheetLayer : public jxtest::RuntimeTest {
 protected:
  jxtest::RuntimeOptions options() const override {
    jxtest::RuntimeOptions o;
    o.libraries = {&rt::coreLibrary(),        &rt::listViewLibrary(), nullptr,
                   &rt::spreadsheetLibrary(), &rt::shellLibrary(),    &rt::timingLibrary()};
    return o;
  }
  void SetUp() override {
    RuntimeTest::SetUp();
    jxtest::loadMainWindow();
    printers_ = std::make_unique<PdfPrintService>(folder_.path(), std::vector<std::string>{kDefaultPrinter, "Second"},
                                                  kDefaultPrinter);
    sheet::setPrintService(printers_.get());
  }
  void TearDown() override {
    sheet::setPrintService(nullptr);
    RuntimeTest::TearDown();
  }

  static std::string gb(const std::string& utf8) { return rt::utf8ToGb(utf8); }
  bool command(rt::cmd::Spreadsheet c, const api::Unit& unit) { return api::callBool(cmd::spreadsheet(c), unit); }
  bool command(rt::cmd::Spreadsheet c, const api::Unit& unit, const api::Unit& other) {
    return api::callBool(cmd::spreadsheet(c), unit, other);
  }
  bool command(rt::cmd::Spreadsheet c, const api::Unit& unit, const std::string& utf8) {
    return api::callBool(cmd::spreadsheet(c), unit, gb(utf8));
  }
  void write(int32_t property, const std::string& utf8, const api::Unit& unit = ui::Excel工作簿) {
    api::writeText(unit, property, gb(utf8).c_str());
  }
  // One cell as the export writes it.
  void cell(const std::string& address, const std::string& utf8, bool asText = false,
            const api::Unit& unit = ui::Excel工作簿) {
    write(prop::kStartCell, address, unit);
    write(prop::kEndCell, address, unit);
    if (asText) write(prop::kNumberFormat, "@", unit);
    write(prop::kCellValue, utf8, unit);
  }
  int32_t lastStatus(const api::Unit& unit = ui::Excel工作簿) { return api::readInt(unit, prop::kSpreadsheetStatus); }
  std::string savedFile(const api::Unit& unit = ui::Excel工作簿) {
    return rt::gbToUtf8(api::readText(unit, prop::kSavedFile).view());
  }
  void startWithNewWorkbook(const api::Unit& app = ui::Excel程序, const api::Unit& book = ui::Excel工作簿) {
    ASSERT_TRUE(command(cmd::kStartExcel, app));
    ASSERT_TRUE(command(cmd::kNewWorkbook, book, app));
    command(cmd::kActivateWorkbook, book);
  }
  void save(const fs::path& file, const api::Unit& book = ui::Excel工作簿) {
    command(cmd::kSaveSheetAs, book, file.string());
  }
  void finish(const api::Unit& app = ui::Excel程序, const api::Unit& book = ui::Excel工作簿) {
    command(cmd::kCloseWorkbooks, book);
    command(cmd::kReleaseWorkbooks, book);
    command(cmd::kQuitExcel, app);
    command(cmd::kReleaseExcel, app);
  }
  void printSheets(const std::string& printer, bool toFile = false, const std::string& file = {}, int32_t from = 1,
                   int32_t to = 1, int32_t copies = 1) {
    api::call(cmd::spreadsheet(cmd::kPrintSheets), ui::Excel工作簿1, from, to, copies, false, gb(printer), toFile,
              false, gb(file));
  }

  TempFolder folder_;
  std::unique_ptr<PdfPrintService> printers_;
};

TEST_F(SpreadsheetLayer, ExportSequenceWritesAFileThatReadsBackCellByCell) {
  startWithNewWorkbook();
  api::writeInt(ui::Excel工作簿, prop::kSheetIndex, 1);
  const std::vector<std::string> headers = {"ID", "姓名", "科二教练电话"};
  for (size_t i = 0; i < headers.size(); ++i) {
    std::string address = std::string(1, static_cast<char>('a' + i)) + "1";
    cell(address, headers[i], true);
    api::writeInt(ui::Excel工作簿, prop::kColumnWidth, api::TextLength(gb(headers[i]).c_str()) + 3);
  }
  const std::string rare = "𠀀";  // four bytes in GB18030
  for (int r = 2; r <= 4; ++r) {
    std::string n = std::to_string(r);
    cell("a" + n, std::to_string(r - 1), true);
    cell("b" + n, "李" + rare + n, true);
    cell("c" + n, "130102199001011234", true);
  }
  EXPECT_EQ(lastStatus(), status::kOk);
  save(folder_ / "学员.xlsx");
  EXPECT_EQ(savedFile(), (folder_ / "学员.xlsx").string());
  finish();

  ReadBack back = readBack(folder_ / "学员.xlsx");
  EXPECT_EQ(back.text(0, "A1"), "ID");
  EXPECT_EQ(back.text(0, "C1"), "科二教练电话");
  EXPECT_EQ(back.text(0, "A3"), "2");
  EXPECT_EQ(back.cell(0, "A3")->type, "str");
  EXPECT_EQ(back.text(0, "B4"), "李" + rare + "4");
  EXPECT_EQ(back.text(0, "C2"), "130102199001011234");
  EXPECT_NEAR(back.widths.at({0, "C"}), 15.7109375, 1e-9) << "12 bytes + 3";
  EXPECT_NEAR(back.widths.at({0, "A"}), 5.7109375, 1e-9);
}

TEST_F(SpreadsheetLayer, OpenBeforeNewAndNewWithoutApplicationAnswerFalse) {
  EXPECT_FALSE(command(cmd::kOpenWorkbook, ui::Excel工作簿, makeFormTemplate(folder_.path()).string()));
  EXPECT_EQ(lastStatus(), status::kNoInterface);
  EXPECT_FALSE(command(cmd::kNewWorkbook, ui::Excel工作簿, ui::Excel程序));
  write(prop::kEndCell, "C3");
  EXPECT_EQ(lastStatus(), status::kNoInterface) << "no sheet held: the write is ignored";
}

TEST_F(SpreadsheetLayer, MissingFileAnswersFalseAndCellsGoToTheNewWorkbook) {
  startWithNewWorkbook();
  EXPECT_FALSE(command(cmd::kOpenWorkbook, ui::Excel工作簿, (folder_ / "none.xlsx").string()));
  cell("C3", "abc");
  save(folder_ / "tem");
  EXPECT_EQ(savedFile(), (folder_ / "tem.xlsx").string());
  EXPECT_EQ(readBack(folder_ / "tem.xlsx").text(0, "C3"), "abc");
}

// The status tells a file beyond the read limits from one that cannot be read.
TEST_F(SpreadsheetLayer, AWorkbookBeyondTheReadLimitsIsRefusedWithItsOwnStatus) {
  startWithNewWorkbook();
  std::ofstream(folder_ / "huge.xlsx", std::ios::binary) << millionsOfCells();
  EXPECT_FALSE(command(cmd::kOpenWorkbook, ui::Excel工作簿, (folder_ / "huge.xlsx").string()));
  EXPECT_EQ(lastStatus(), sheet::automation::kWorkbookBeyondLimits);
  EXPECT_FALSE(command(cmd::kOpenWorkbook, ui::Excel工作簿, (folder_ / "none.xlsx").string()));
  EXPECT_EQ(lastStatus(), status::kException);
}

TEST_F(SpreadsheetLayer, ReleaseWithoutQuitLeavesTheApplicationRunningAndQuitEndsIt) {
  startWithNewWorkbook();
  command(cmd::kReleaseExcel, ui::Excel程序);
  cell("A1", "still here");
  save(folder_ / "after-release.xlsx");
  EXPECT_EQ(readBack(folder_ / "after-release.xlsx").text(0, "A1"), "still here");

  startWithNewWorkbook();
  command(cmd::kQuitExcel, ui::Excel程序);
  cell("A1", "gone");
  EXPECT_NE(lastStatus(), status::kOk);
  save(folder_ / "after-quit.xlsx");
  EXPECT_EQ(savedFile(), "");
  EXPECT_FALSE(fs::exists(folder_ / "after-quit.xlsx"));
}

TEST_F(SpreadsheetLayer, ActivePrinterIsEmptyWithoutARunningApplication) {
  EXPECT_EQ(api::readText(ui::Excel程序, prop::kActivePrinter).view(), "");
  ASSERT_TRUE(command(cmd::kStartExcel, ui::Excel程序));
  EXPECT_EQ(rt::gbToUtf8(api::readText(ui::Excel程序, prop::kActivePrinter).view()), kDefaultPrinter);
  command(cmd::kReleaseExcel, ui::Excel程序);
  EXPECT_EQ(api::readText(ui::Excel程序, prop::kActivePrinter).view(), "");
}

TEST_F(SpreadsheetLayer, SaveAfterReleaseWorkbooksDoesNothing) {
  startWithNewWorkbook();
  cell("A1", "x");
  command(cmd::kReleaseWorkbooks, ui::Excel工作簿);
  save(folder_ / "released.xlsx");
  EXPECT_EQ(lastStatus(), status::kNoInterface);
  EXPECT_EQ(savedFile(), "");
  EXPECT_FALSE(fs::exists(folder_ / "released.xlsx"));
}

TEST_F(SpreadsheetLayer, AFailedSaveIsReportedAndLeavesNoFile) {
  startWithNewWorkbook();
  cell("A1", "x");
  save(folder_ / "no-such-folder" / "out.xlsx");
  EXPECT_EQ(lastStatus(), status::kException);
  EXPECT_EQ(savedFile(), "");
  save(folder_ / "ok.xls");
  EXPECT_EQ(lastStatus(), status::kOk);
  EXPECT_EQ(savedFile(), (folder_ / "ok.xls").string());
}

TEST_F(SpreadsheetLayer, ABadAddressKeepsThePreviousRange) {
  startWithNewWorkbook();
  write(prop::kEndCell, "C3");  // before any start cell: Cell1 is empty, the call fails
  EXPECT_EQ(lastStatus(), status::kException);
  write(prop::kCellValue, "nowhere");
  EXPECT_EQ(lastStatus(), status::kNoInterface);
  cell("C3", "first");
  write(prop::kStartCell, "D4");
  write(prop::kEndCell, "3D");
  EXPECT_EQ(lastStatus(), status::kException);
  write(prop::kCellValue, "second");
  write(prop::kStartCell, "a2");
  write(prop::kEndCell, "b3");
  write(prop::kCellValue, "block");
  save(folder_ / "bad.xlsx");
  ReadBack back = readBack(folder_ / "bad.xlsx");
  EXPECT_EQ(back.text(0, "C3"), "second");
  EXPECT_FALSE(back.cell(0, "D4"));
  for (const char* a : {"A2", "B2", "A3", "B3"}) EXPECT_EQ(back.text(0, a), "block") << a;
  EXPECT_EQ(back.cells.size(), 5u) << back.raw;
}

TEST_F(SpreadsheetLayer, ASheetChangeWithoutNewAddressesWritesThePreviousSheetsRange) {
  startWithNewWorkbook();
  ASSERT_TRUE(command(cmd::kOpenWorkbook, ui::Excel工作簿, makeFormTemplate(folder_.path()).string()));
  cell("B3", "张三");
  api::writeInt(ui::Excel工作簿, prop::kSheetIndex, 2);
  write(prop::kCellValue, "still sheet 1");
  api::writeInt(ui::Excel工作簿, prop::kSheetIndex, 99);
  EXPECT_EQ(lastStatus(), status::kException);
  cell("B4", "on sheet 2");  // sheet 2 stayed current
  save(folder_ / "tem");
  ReadBack back = readBack(folder_ / "tem.xlsx");
  EXPECT_EQ(back.text(0, "B3"), "still sheet 1");
  EXPECT_FALSE(back.cell(1, "B3"));
  EXPECT_EQ(back.text(1, "B4"), "on sheet 2");
  EXPECT_FALSE(back.cell(0, "B4"));
}

TEST_F(SpreadsheetLayer, TextFormatKeepsEveryCharacter) {
  startWithNewWorkbook();
  cell("A1", "0123", true);
  cell("A2", "0123");
  cell("A3", "130102199001011234", true);
  cell("A4", "130102199001011234");
  cell("A5", "2014年5月6日", true);
  cell("A6", "2014年5月6日");
  save(folder_ / "formats.xlsx");
  ReadBack back = readBack(folder_ / "formats.xlsx");
  EXPECT_EQ(back.text(0, "A1"), "0123");
  EXPECT_EQ(back.text(0, "A2"), "123");
  EXPECT_EQ(back.cell(0, "A2")->type, "int");
  EXPECT_EQ(back.text(0, "A3"), "130102199001011234");
  EXPECT_EQ(back.text(0, "A4"), "130102199001011234") << "too many digits for a number: kept as text";
  EXPECT_EQ(back.text(0, "A5"), "2014年5月6日");
  EXPECT_EQ(back.cell(0, "A6")->type, "datetime");
}

TEST_F(SpreadsheetLayer, CurrentSheetReachesPageSetupByName) {
  rt::TypedValue none = api::call(cmd::spreadsheet(cmd::kCurrentSheet), ui::Excel工作簿1);
  ASSERT_EQ(none.tag, rt::kind::kComObject);
  ASSERT_NE(none.pointer<rt::ObjectHolder>(), nullptr);
  EXPECT_EQ(none.pointer<rt::ObjectHolder>()->object, nullptr);
  rt::TypedValue failed = api::call(cmd::core(cmd::kObjectGetProperty), none, "PageSetup"_gb);
  EXPECT_EQ(failed.pointer<rt::ObjectHolder>()->object, nullptr);
  EXPECT_EQ(rt::lastAutomationStatus(), status::kNoInterface);

  startWithNewWorkbook(ui::Excel程序1, ui::Excel工作簿1);
  ASSERT_TRUE(command(cmd::kOpenWorkbook, ui::Excel工作簿1, makeFormTemplate(folder_.path()).string()));
  api::writeInt(ui::Excel工作簿1, prop::kSheetIndex, 2);
  rt::TypedValue sheetObject = api::call(cmd::spreadsheet(cmd::kCurrentSheet), ui::Excel工作簿1);
  rt::TypedValue pageSetup = api::call(cmd::core(cmd::kObjectGetProperty), sheetObject, "pagesetup"_gb);
  ASSERT_NE(pageSetup.pointer<rt::ObjectHolder>()->object, nullptr);
  EXPECT_TRUE(api::callBool(cmd::core(cmd::kObjectSetProperty), pageSetup, "ORIENTATION"_gb, 2));
  EXPECT_FALSE(api::callBool(cmd::core(cmd::kObjectSetProperty), pageSetup, "Orientation"_gb, 7));
  EXPECT_FALSE(api::callBool(cmd::core(cmd::kObjectSetProperty), pageSetup, "NoSuchMember"_gb, 1));
  EXPECT_EQ(rt::lastAutomationStatus(), status::kNameNotBound);
  save(folder_ / "tem", ui::Excel工作簿1);
  finish(ui::Excel程序1, ui::Excel工作簿1);
  // The objects outlive the workbook's close, but calls on them fail.
  EXPECT_FALSE(api::callBool(cmd::core(cmd::kObjectSetProperty), pageSetup, "Orientation"_gb, 1));
  for (rt::TypedValue holder : {none, failed, sheetObject, pageSetup}) {
    api::call(cmd::core(cmd::kObjectRelease), holder);
    rt::Free(holder.pointer<rt::ObjectHolder>());
  }
  ReadBack back = readBack(folder_ / "tem.xlsx");
  EXPECT_EQ(back.orientation[1], "landscape");
  EXPECT_EQ(back.orientation[0], "portrait");
}

TEST_F(SpreadsheetLayer, PrintSheetsPrintsTheSheetLastChosenOnTheNamedOrDefaultPrinter) {
  startWithNewWorkbook(ui::Excel程序1, ui::Excel工作簿1);
  ASSERT_TRUE(command(cmd::kOpenWorkbook, ui::Excel工作簿1, makeFormTemplate(folder_.path()).string()));
  api::writeInt(ui::Excel工作簿1, prop::kSheetIndex, 2);
  cell("B3", "王五", false, ui::Excel工作簿1);
  printSheets("");  // the empty name still travels: the default printer
  printSheets("Second");
  printSheets("No such printer");
  EXPECT_EQ(lastStatus(ui::Excel工作簿1), status::kException);
  ASSERT_EQ(printers_->jobs.size(), 2u);
  EXPECT_EQ(printers_->jobs[0].printer, kDefaultPrinter);
  EXPECT_EQ(printers_->jobs[0].sheet, "登记表");
  EXPECT_EQ(printers_->jobs[1].printer, "Second");
  EXPECT_NE(pdfFacts(printers_->jobs[0].pdf).text.find("王五"), std::string::npos);
  EXPECT_TRUE(desktop().messageBoxes().empty());
}

TEST_F(SpreadsheetLayer, WithoutPrintersThePrintCallSaysSoOnceAndPrintsNothing) {
  PdfPrintService none(folder_.path(), {}, "");
  sheet::setPrintService(&none);
  startWithNewWorkbook(ui::Excel程序1, ui::Excel工作簿1);
  cell("A1", "x", false, ui::Excel工作簿1);
  EXPECT_EQ(api::readText(ui::Excel程序1, prop::kActivePrinter).view(), "");
  printSheets("");
  printSheets("");
  ASSERT_EQ(desktop().messageBoxes().size(), 2u) << "one message per print call";
  EXPECT_EQ(desktop().messageBoxes()[0].text, "没有可用的打印机");
  EXPECT_TRUE(none.jobs.empty());
  sheet::setPrintService(nullptr);
  printSheets("");
  EXPECT_EQ(desktop().messageBoxes().size(), 3u) << "no print service is a system without printers";
}

}  // namespace
