// The menu entry 导入数据 through the real main window: the open dialog, the
// question with the counts, the learners in the records and the list, the
// log, the report of the refused rows; the registry carried through the
// export and another program into an empty folder; and the imports that
// must change nothing.
#include <QTimer>

#include "exchange_support.h"
#include "import/learner_check.h"
#include "runtime/qt/controls.h"

namespace {

using namespace exchangetest;

const std::string kImportFilter =
    kExportDialogFilter.substr(0, kExportDialogFilter.size() - 2) + "|CSV 文件(*.csv)|*.csv||";
const std::string kImportCaption = "导入数据";
const std::string kFailureCaption = "导入数据失败";
constexpr uint32_t kQuestion = rt::mb::kYesNo | rt::mb::kIconQuestion | rt::mb::kTaskModal;

const std::string kValid = "110101199003071233";
const std::string kValidToo = "440304198512034512";
const std::string kValidThird = "320102197001010011";

// Learners whose fields try the round trip: an X at the end, a 15-digit
// number, a quote, a character beyond GBK, a telephone with a leading zero,
// dates of both the card's and the program's form, empty fields.
std::vector<StudentFields> registry() {
  StudentFields a = student("张三", kValid, "13800000001", "C1", "2024年3月3日", "王教练", "李教练");
  StudentFields b = student("𠀀李四", kNumberWithX, "013900000002", "C2", "2024年4月15日", "李教练");
  StudentFields c = student("王五", kShortNumber, "13700000003", "B2", "2023年12月1日");
  StudentFields d = student("O'Neil 赵", kValidToo, "", "A1", "2024年1月2日");
  a[kCoach2Phone] = "13900000001";
  a[kCoach2Plate] = "京A1111学";
  a[kAddress] = "北京市海淀区\"中关村\"1号";
  b[kBirth] = "1949年12月31日";
  c[kSex] = "";
  d[kNation] = "";
  return {a, b, c, d};
}

bool menuEnabled(const std::string& caption) {
  QMenuBar* bar = rt::WindowManager::instance().find(ui::kMainWindow)->windowUnit->control()->menuBar();
  for (QAction* menu : bar->actions())
    if (menu->text().trimmed().toStdString() == caption) return menu->isEnabled();
  return false;
}

std::string logText() { return rt::gbToUtf8(readFileBytes("log.log")); }

size_t occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

class LearnerImport : public AppTest {
 protected:
  // Imports through the menu; the question is answered with `answer`.
  void importFrom(const fs::path& file, rt::PressedButton answer = rt::PressedButton::Yes) {
    desktop().answerFileDialog(file.string());
    desktop().answerMessageBox(answer);
    chooseMenu("学员管理", "导入数据");
  }

  // The program on a folder with an empty registry and an empty log.
  void restartOnEmptyFolder() {
    rt::closeAllWindows();
    settle();
    createDatabase();
    writeFileBytes("log.log", "");
    app::state().logFileNumber = 0;
    desktop().reset();
    startProgram();
  }

  // The file as LibreOffice saves it in `format`, in a folder of its own.
  fs::path libreOfficeConversion(const fs::path& file, const std::string& format, const std::string& folder) {
    sheettest::run("soffice --headless '-env:UserInstallation=file://" + (out_ / "lo-profile").string() +
                   "' --convert-to " + format + " --outdir " + sheettest::shellQuoted((out_ / folder).string()) + " " +
                   sheettest::shellQuoted(file.string()) + " >/dev/null");
    return out_ / folder / (file.stem().string() + "." + format);
  }

  void exportTo(const fs::path& file) {
    desktop().answerFileDialog(file.string());
    chooseMenu("学员管理", "导出数据");
  }

  void expectQuestion(const std::string& counts) {
    ASSERT_GE(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, counts);
    EXPECT_EQ(messages()[0].caption, kImportCaption);
    EXPECT_EQ(messages()[0].style, kQuestion);
  }

  fs::path writeCsv(const std::string& name, const std::string& utf8, bool gb18030 = false) {
    fs::path file = out_ / name;
    std::ofstream(file, std::ios::binary) << (gb18030 ? rt::utf8ToGb(utf8) : utf8);
    return file;
  }

  sheettest::TempFolder out_;
};

// A clerk exports the registry, edits it in another program and imports it
// into a new folder: the same learners, in the same order, with the edit;
// .xls goes the same way (edited by LibreOffice where it is installed).
TEST_F(LearnerImport, ExportedRegistryEditedElsewhereComesBackWhole) {
  createDatabase(registry());
  startProgram();
  exportTo(out_ / "学员.xlsx");
  exportTo(out_ / "学员.xls");
  std::vector<StudentFields> expected = storedStudents();
  ASSERT_EQ(expected.size(), 4u);
  // The telephone of the second learner (sheet row 3, column H) changes.
  std::string edit =
      "import openpyxl,sys\n"
      "b=openpyxl.load_workbook(sys.argv[1]); s=b.active; s['H3']='13911112222'; b.save(sys.argv[1])\n";
  sheettest::run(sheettest::kPython + " -c " + sheettest::shellQuoted(edit) + " " +
                 sheettest::shellQuoted((out_ / "学员.xlsx").string()));
  expected[1][kPhone] = "13911112222";

  // Where LibreOffice is installed it saves the edited workbook as .xlsx of
  // its own, and opens the exported .xls, edits it the same way and saves it
  // as .xls again.
  std::vector<std::pair<fs::path, std::vector<StudentFields>>> files = {{out_ / "学员.xlsx", expected},
                                                                        {out_ / "学员.xls", storedStudents()}};
  if (std::system("command -v soffice >/dev/null 2>&1") == 0) {
    fs::path xlsx = libreOfficeConversion(out_ / "学员.xlsx", "xlsx", "lo-xlsx");
    fs::path fromXls = libreOfficeConversion(out_ / "学员.xls", "xlsx", "lo-in");
    sheettest::run(sheettest::kPython + " -c " + sheettest::shellQuoted(edit) + " " +
                   sheettest::shellQuoted(fromXls.string()));
    files.push_back({xlsx, expected});
    files.push_back({libreOfficeConversion(fromXls, "xls", "lo-xls"), expected});
  }

  for (const auto& [file, wanted] : files) {
    SCOPED_TRACE(file.string());
    restartOnEmptyFolder();
    ASSERT_EQ(rowCount(ui::超级列表框1), 0);
    importFrom(file);
    expectQuestion("共 4 行：可导入 4 行，重复 0 行，有误 0 行。是否导入？");
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[1].text, "已导入 4 名学员。");
    EXPECT_EQ(storedStudents(), wanted);
    ASSERT_EQ(rowCount(ui::超级列表框1), 4);
    EXPECT_EQ(listedStudent(3), wanted[3]);
    // One registration-style entry per learner.
    std::string log = logText();
    EXPECT_EQ(occurrences(log, "*********************************************\r\n"), 4u);
    for (const StudentFields& learner : wanted)
      EXPECT_EQ(occurrences(log, "\r\n导入学员" + learner[kName] + "  " + learner[kIdentity] + "\r\n"), 1u);
    EXPECT_FALSE(fs::exists(file.parent_path() / "学员_未导入.xlsx")) << "nothing was refused";
  }
}

// A file with bad rows: the question counts them, the good learners follow
// the registry, and the refused rows go to the report the message names.
TEST_F(LearnerImport, GoodRowsComeInAndRefusedOnesGoToTheReport) {
  createDatabase({student("张三", kValid)});
  startProgram();
  fs::path file = writeCsv("新学员.csv",
                           "电话号码,身份证号码,姓名,车型\r\n"
                           "13800000009," +
                               kValidToo +
                               ",李四,C1\r\n"
                               "13800000008," +
                               kValid +
                               ",张三,C2\r\n"
                               ",,,\r\n"
                               "13800000007,110101199003071234,王五,C1\r\n"
                               "13800000006," +
                               kValidThird +
                               ",赵六,B2\r\n"
                               "13800000005," +
                               kValidToo + ",钱七,C1\r\n",
                           true);
  importFrom(file);
  expectQuestion("共 5 行：可导入 2 行，重复 2 行，有误 1 行。是否导入？");
  ASSERT_EQ(messages().size(), 2u);
  const fs::path report = out_ / "新学员_未导入.xlsx";
  EXPECT_EQ(messages()[1].text, "已导入 2 名学员。未导入的 3 行及原因见：\r\n" + report.string());
  EXPECT_EQ(messages()[1].style, kInformationMessage);

  std::vector<StudentFields> stored = storedStudents();
  ASSERT_EQ(stored.size(), 3u);
  StudentFields li{"李四", "", "", "", "", kValidToo, "13800000009", "C1"};
  EXPECT_EQ(stored[1], li);
  EXPECT_EQ(stored[2][kName], "赵六");
  EXPECT_EQ(rowCount(ui::超级列表框1), 3);

  sheettest::ReadBack book = sheettest::readBack(report);
  EXPECT_EQ(book.text(0, "A1"), "电话号码");
  EXPECT_EQ(book.text(0, "E1"), "原行号");
  EXPECT_EQ(book.text(0, "F1"), "未导入原因");
  EXPECT_EQ(book.text(0, "C2"), "张三");
  EXPECT_EQ(book.text(0, "E2"), "3");
  EXPECT_EQ(book.text(0, "F2"), "已有此身份证号码");
  EXPECT_EQ(book.text(0, "E3"), "5");
  EXPECT_EQ(book.text(0, "F3"), "身份证号码的校验位不对");
  EXPECT_EQ(book.text(0, "C4"), "钱七");
  EXPECT_EQ(book.text(0, "F4"), "与第 2 行的身份证号码相同");
  EXPECT_EQ(fs::status(report).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

// The open dialog offers CSV files beside workbooks and keeps its own filter
// for the export; a cancelled dialog, another page, a refused file and a
// "No" leave the records, the log and the folder as they were.
TEST_F(LearnerImport, NothingChangesUnlessTheUserSaysYesToAGoodFile) {
  createDatabase({student("张三", kValid)});
  startProgram();
  const std::vector<StudentFields> before = storedStudents();
  fs::path good = writeCsv("a.csv", "姓名,身份证号码\n李四," + kValidToo + "\n");

  desktop().cancelFileDialog();
  chooseMenu("学员管理", "导入数据");
  ASSERT_EQ(desktop().fileDialogs().size(), 1u);
  EXPECT_FALSE(desktop().fileDialogs()[0].save);
  EXPECT_EQ(desktop().fileDialogs()[0].filter, kImportFilter);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(utf8Of(rt::api::readText(ui::通用对话框_公用, rt::prop::kDialogFilter)),
            kExportDialogFilter.substr(0, kExportDialogFilter.size() - 2));

  showPage(app::form::kPageExamList);
  importFrom(good);
  EXPECT_EQ(desktop().fileDialogs().size(), 1u) << "no dialog on another page";
  showPage(app::form::kPageStudents);
  desktop().reset();

  importFrom(writeCsv("b.csv", "姓名,电话号码\n李四,1\n"));
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "表头（第 1 行）中没有“身份证号码”列。");
  EXPECT_EQ(messages()[0].caption, kFailureCaption);
  EXPECT_EQ(messages()[0].style, kErrorMessage);
  desktop().reset();

  importFrom(writeCsv("c.csv", "\xFF\xFE\x00"));
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "无法识别文件的编码，请另存为 UTF-8 或 GB18030 编码的 CSV 文件。");
  desktop().reset();

  importFrom(good, rt::PressedButton::No);
  expectQuestion("共 1 行：可导入 1 行，重复 0 行，有误 0 行。是否导入？");
  EXPECT_EQ(messages().size(), 1u);

  EXPECT_EQ(storedStudents(), before);
  EXPECT_EQ(readFileBytes("log.log"), "");
  EXPECT_EQ(filesIn(out_.path()), (std::vector<std::string>{"a.csv", "b.csv", "c.csv"}));
}

// An insert the database refuses undoes every one before it: the registry,
// the list and the log stay as they were, and the user is told.
TEST_F(LearnerImport, AFailedInsertLeavesNothingBehind) {
  createDatabase({student("张三", kValid)});
  refuseChanges("INSERT", "student", "NEW.\"姓名\" = '王五'");
  startProgram();
  importFrom(writeCsv("d.csv", "姓名,身份证号码\n李四," + kValidToo + "\n王五," + kValidThird + "\n"));
  ASSERT_EQ(messages().size(), 2u);
  EXPECT_EQ(messages()[1].text, "写入数据库失败，已撤销本次导入，没有导入任何学员。");
  EXPECT_EQ(messages()[1].caption, kFailureCaption);
  EXPECT_EQ(storedStudents().size(), 1u);
  EXPECT_EQ(rowCount(ui::超级列表框1), 1);
  EXPECT_EQ(readFileBytes("log.log"), "");
}

// While the learners are written the progress window follows them and the
// main window takes no input; closing the main window midway ends the
// import with nothing stored.
TEST_F(LearnerImport, WritingShowsProgressKeepsInputOffAndStopsWithTheWindow) {
  std::string csv = "姓名,身份证号码\n";
  for (int i = 0; i < 450; ++i) {
    std::string body = std::to_string(11010119900000001 + i);
    csv += "学员" + std::to_string(i) + "," + body + learner_import::identityCheckCharacter(body) + "\n";
  }
  fs::path file = writeCsv("many.csv", csv);
  startProgram();

  std::string title;
  bool pagesOff = false, menuOff = false;
  int32_t maximum = 0;
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    rt::LoadedWindow* window = rt::WindowManager::instance().find(ui::kProgressWindow);
    if (!window || window->closing) return;
    title = utf8Of(rt::api::readText(ui::进度窗口, rt::prop::kWindowTitle));
    maximum = rt::api::readInt(ui::进度条1, rt::prop::kProgressMaximum);
    pagesOff = !screenWidget(ui::选择夹1)->isEnabled();
    menuOff = !menuEnabled("学员管理");
  });
  probe.start();
  importFrom(file);
  probe.stop();
  EXPECT_EQ(title, "正在导入数据,请稍后");
  EXPECT_EQ(maximum, 450);
  EXPECT_TRUE(pagesOff);
  EXPECT_TRUE(menuOff);
  EXPECT_TRUE(screenWidget(ui::选择夹1)->isEnabled());
  EXPECT_TRUE(menuEnabled("学员管理"));
  EXPECT_FALSE(progressWindowLoaded());
  EXPECT_EQ(storedStudents().size(), 450u);

  restartOnEmptyFolder();
  QTimer user;
  user.setInterval(0);
  QObject::connect(&user, &QTimer::timeout, [&] {
    if (!progressWindowLoaded()) return;
    rt::WindowManager::instance().find(ui::kMainWindow)->frame()->close();
    user.stop();
  });
  user.start();
  importFrom(file);
  user.stop();
  settle();
  EXPECT_EQ(messages().size(), 1u) << "the question, then nothing";
  EXPECT_TRUE(storedStudents().empty());
  EXPECT_EQ(readFileBytes("log.log"), "");
}

}  // namespace
