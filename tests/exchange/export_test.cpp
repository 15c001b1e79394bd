// The menu entry 导出数据 through the real main window: the save dialog, the
// progress window, the workbook read back cell by cell by independent
// readers, the message and the file handed to the shell; and the exports
// that must not happen or must say they failed.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include "exchange_support.h"

namespace {

using namespace exchangetest;

const std::vector<std::string> kStudentHeaders = {
    "ID",   "姓名",     "性别",     "民族",         "出生日期", "住址",     "身份证号码",   "电话号码",
    "车型", "报名日期", "科二教练", "科二教练电话", "科二车牌", "科三教练", "科三教练电话", "科三车牌"};
const std::vector<std::string> kExamListHeaders = {"ID",   "姓名", "性别", "民族",     "身份证号码", "地址",
                                                   "电话", "车型", "科目", "教练姓名", "考试次数"};

std::vector<StudentFields> threeLearners() {
  StudentFields a = student("张三", "110101199001011234", "13800000001", "C1", "2024年3月3日", "王教练", "李教练");
  StudentFields b = student("李四", kNumberWithX, "013900000002", "C2", "2024年4月15日", "李教练", "王教练");
  StudentFields c = student("王五", kShortNumber, "13700000003", "B2", "2023年12月1日", "张教练", "赵教练");
  a[kCoach2Phone] = "13900000001";
  a[kCoach2Plate] = "京A1111学";
  b[kBirth] = "1949年12月31日";
  c[kAddress] = "上海市浦东新区";
  return {a, b, c};
}

std::string column(int index) { return std::string(1, static_cast<char>('A' + index)); }

class ListExport : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    createDatabase(threeLearners());
  }

  // Exports through the menu with the dialog answered by `file`.
  void exportTo(const fs::path& file) {
    desktop().answerFileDialog(file.string());
    chooseExport();
  }

  // Every cell of the sheet as the reader sees it: all of them must be text
  // with the text format.
  void expectTextCells(const sheettest::ReadBack& book, const std::vector<std::vector<std::string>>& rows) {
    size_t cells = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
      for (size_t c = 0; c < rows[r].size(); ++c) {
        std::string address = column(static_cast<int>(c)) + std::to_string(r + 1);
        const sheettest::CellFact* fact = book.cell(0, address);
        if (rows[r][c].empty()) {
          EXPECT_TRUE(!fact || fact->value.empty()) << address;
          continue;
        }
        ++cells;
        ASSERT_NE(fact, nullptr) << address << " is missing\n" << book.raw;
        EXPECT_EQ(fact->type, "str") << address;
        EXPECT_EQ(fact->value, rows[r][c]) << address;
        EXPECT_EQ(fact->format, "@") << address;
      }
    }
    size_t written = 0;
    for (const auto& [key, fact] : book.cells) written += key.first == 0 && !fact.value.empty();
    EXPECT_EQ(written, cells) << "cells outside the list\n" << book.raw;
  }

  std::vector<std::vector<std::string>> studentListWithHeaders() {
    std::vector<std::vector<std::string>> rows = {kStudentHeaders};
    for (int32_t row = 0; row < rowCount(ui::超级列表框1); ++row) {
      std::vector<std::string> cells;
      for (int32_t c = 0; c < 16; ++c) cells.push_back(cell(ui::超级列表框1, row, c));
      rows.push_back(cells);
    }
    return rows;
  }

  void expectSuccessOpening(const fs::path& file) {
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "导出成功!");
    EXPECT_EQ(messages()[0].caption, kDefaultCaption);
    EXPECT_EQ(messages()[0].style, kInformationMessage);
    ASSERT_EQ(desktop().shellCalls().size(), 1u);
    EXPECT_EQ(desktop().shellCalls()[0].verb, "open");
    EXPECT_EQ(desktop().shellCalls()[0].file, file.string());
  }

  void expectFailureOpeningNothing() {
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "导出失败!");
    EXPECT_EQ(messages()[0].caption, kDefaultCaption);
    EXPECT_EQ(messages()[0].style, kErrorMessage);
    EXPECT_TRUE(desktop().shellCalls().empty());
  }

  sheettest::TempFolder out_;
};

TEST_F(ListExport, StudentListGoesToXlsxAndXlsCellByCellAsText) {
  startProgram();
  ASSERT_EQ(rowCount(ui::超级列表框1), 3);
  const auto expected = studentListWithHeaders();
  // The identity numbers stand in column g whole.
  EXPECT_EQ(expected[1][6], "110101199001011234");
  EXPECT_EQ(expected[2][6], kNumberWithX);
  EXPECT_EQ(expected[3][6], kShortNumber);

  for (const std::string name : {"学员.xlsx", "学员.xls"}) {
    SCOPED_TRACE(name);
    desktop().reset();
    const fs::path file = out_ / name;
    exportTo(file);

    ASSERT_EQ(desktop().fileDialogs().size(), 1u);
    EXPECT_TRUE(desktop().fileDialogs()[0].save);
    EXPECT_EQ(desktop().fileDialogs()[0].filter, kExportDialogFilter);
    expectSuccessOpening(file);
    sheettest::ReadBack book = sheettest::readBack(file);
    expectTextCells(book, expected);
    if (name.ends_with(".xlsx")) {
      // Header bytes + 3: "ID" 5, "身份证号码" 13, "科二教练电话" 15 (the file
      // adds the reader's padding of a fraction of a character).
      for (auto [letter, width] : {std::pair{"A", 5}, {"G", 13}, {"L", 15}})
        EXPECT_NEAR((book.widths[{0, letter}]), width + 0.5, 0.5) << letter;
    }
  }
  EXPECT_FALSE(progressWindowLoaded());
}

// The progress window is loaded over the main window, titled, its bar set to
// the row count and advanced once per row, and the window messages are
// handled before each row: a timer of zero interval, which fires whenever
// they are, sees every position from 0 to the last row's.
TEST_F(ListExport, ProgressWindowFollowsTheRowsAndClosesBeforeTheMessage) {
  startProgram();
  std::vector<int32_t> positions;
  std::string title;
  int32_t maximum = -1;
  uint32_t owner = 0;
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    rt::LoadedWindow* window = rt::WindowManager::instance().find(ui::kProgressWindow);
    if (!window || window->closing) return;
    owner = window->ownerId;
    title = utf8Of(rt::api::readText(ui::进度窗口, rt::prop::kWindowTitle));
    maximum = rt::api::readInt(ui::进度条1, rt::prop::kProgressMaximum);
    int32_t position = rt::api::readInt(ui::进度条1, rt::prop::kProgressPosition);
    if (positions.empty() || positions.back() != position) positions.push_back(position);
  });
  probe.start();
  // Unloading posts a close request: by the message the window is closing.
  bool openAtMessage = true;
  desktop().setWhileMessageBox([&](const MessageBoxCall&) {
    rt::LoadedWindow* window = rt::WindowManager::instance().find(ui::kProgressWindow);
    openAtMessage = window && !window->closing;
  });

  exportTo(out_ / "学员.xlsx");
  probe.stop();

  EXPECT_EQ(title, "正在导出数据,请稍后");
  EXPECT_EQ(owner, ui::kMainWindow);
  EXPECT_EQ(maximum, 3);
  EXPECT_EQ(positions, (std::vector<int32_t>{0, 1, 2}));
  EXPECT_FALSE(openAtMessage) << "the window closes before the save";
  EXPECT_FALSE(progressWindowLoaded());
  expectSuccessOpening(out_ / "学员.xlsx");
}

// The user closes a window while the export runs (it handles the window
// messages once a row): without its progress window the export goes on to
// its file; without the main window, whose units it writes through, it ends
// quietly and writes nothing.
TEST_F(ListExport, ClosingAWindowMidwayIsSafe) {
  startProgram();
  const auto expected = studentListWithHeaders();
  for (uint32_t closed : {ui::kProgressWindow, ui::kMainWindow}) {
    SCOPED_TRACE(closed);
    if (!rt::WindowManager::instance().find(ui::kMainWindow)) startProgram();
    desktop().reset();
    QTimer user;
    user.setInterval(0);
    QObject::connect(&user, &QTimer::timeout, [&] {
      rt::LoadedWindow* progress = rt::WindowManager::instance().find(ui::kProgressWindow);
      if (!progress || rt::api::readInt(ui::进度条1, rt::prop::kProgressPosition) < 1) return;
      rt::WindowManager::instance().find(closed)->frame()->close();
      user.stop();
    });
    user.start();
    const fs::path file = out_ / ("closed-" + std::to_string(closed) + ".xlsx");
    exportTo(file);
    user.stop();
    EXPECT_FALSE(progressWindowLoaded());
    if (closed == ui::kProgressWindow) {
      expectSuccessOpening(file);
      expectTextCells(sheettest::readBack(file), expected);
    } else {
      EXPECT_TRUE(messages().empty());
      EXPECT_TRUE(desktop().shellCalls().empty());
      EXPECT_FALSE(fs::exists(file));
    }
  }
}

// Before any booking the exam list exports its header row alone, and says
// so; a booking then appears as row 2, columns a to k.
TEST_F(ListExport, ExamListExportsItsHeaderAloneAndThenItsBookings) {
  startProgram();
  showPage(app::form::kPageExamList);
  exportTo(out_ / "名单.xlsx");
  expectSuccessOpening(out_ / "名单.xlsx");
  expectTextCells(sheettest::readBack(out_ / "名单.xlsx"), {kExamListHeaders});

  showPage(app::form::kPageStudents);
  const std::string booked = cell(ui::超级列表框1, 0, 6);
  clickRow(0);
  desktop().choosePopupEntry("添加科目二");
  clickRow(0, Qt::RightButton);
  showPage(app::form::kPageExamList);
  ASSERT_EQ(rowCount(ui::超级列表框3), 1);
  desktop().reset();
  exportTo(out_ / "名单.xls");
  expectSuccessOpening(out_ / "名单.xls");
  std::vector<std::string> booking;
  for (int32_t c = 0; c < 11; ++c) booking.push_back(cell(ui::超级列表框3, 0, c));
  EXPECT_EQ(booking[4], booked);
  expectTextCells(sheettest::readBack(out_ / "名单.xls"), {kExamListHeaders, booking});
}

TEST_F(ListExport, EmptyStudentListIsRefusedBeforeTheDialog) {
  createDatabase();
  startProgram();
  chooseExport();
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "学员数据为空，请检查！");
  EXPECT_EQ(messages()[0].caption, "导出学员信息错误");
  EXPECT_EQ(messages()[0].style, kErrorMessage);
  EXPECT_TRUE(desktop().fileDialogs().empty());
  EXPECT_FALSE(progressWindowLoaded());
}

// The graduates' page exports its list like the student list: the same
// headers, every cell as text; an empty one is refused the same way.
TEST_F(ListExport, GraduatesPageExportsItsListLikeTheStudentList) {
  startProgram();
  showPage(app::form::kPageGraduates);
  chooseExport();
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "学员数据为空，请检查！");
  EXPECT_TRUE(desktop().fileDialogs().empty());

  const std::vector<std::vector<std::string>> registry = studentListWithHeaders();
  runSql("INSERT INTO graduation SELECT * FROM student");
  showPage(app::form::kPageStudents);
  showPage(app::form::kPageGraduates);
  ASSERT_EQ(rowCount(ui::超级列表框4), 3);
  for (const std::string name : {"结业.xlsx", "结业.xls"}) {
    SCOPED_TRACE(name);
    desktop().reset();
    exportTo(out_ / name);
    expectSuccessOpening(out_ / name);
    expectTextCells(sheettest::readBack(out_ / name), registry);
  }
}

TEST_F(ListExport, OtherPagesAndACancelledDialogDoNothing) {
  startProgram();
  showPage(app::form::kPageExamDetails);
  desktop().reset();
  desktop().answerFileDialog((out_ / "x.xlsx").string());
  chooseExport();
  EXPECT_TRUE(desktop().fileDialogs().empty());
  EXPECT_TRUE(messages().empty());
  showPage(app::form::kPageStudents);
  desktop().reset();
  desktop().cancelFileDialog();
  chooseExport();
  EXPECT_EQ(desktop().fileDialogs().size(), 1u);
  EXPECT_TRUE(messages().empty());
  EXPECT_TRUE(desktop().shellCalls().empty());
  EXPECT_FALSE(progressWindowLoaded());
  EXPECT_TRUE(filesIn(out_.path()).empty());
}

// A name without an extension is saved with ".xlsx" added; the message and
// the shell name the file that exists.
TEST_F(ListExport, ANameWithoutExtensionOpensTheFileTheSaveWrote) {
  startProgram();
  exportTo(out_ / "学员名单");
  expectSuccessOpening(out_ / "学员名单.xlsx");
  EXPECT_EQ(filesIn(out_.path()), (std::vector<std::string>{"学员名单.xlsx"}));
}

// A save that fails says "导出失败!", opens nothing and leaves nothing under
// the chosen name, not even part of a file: a missing folder, a folder that
// is a file, a folder nobody may write (a read-only mount when the tests run
// as root, whom permissions do not stop), and a disk that fills up half-way
// (the file size limit).
TEST_F(ListExport, AFailedSaveSaysSoOpensNothingAndLeavesNoFile) {
  startProgram();
  jxtest::TempFolder::write(out_ / "a-file", "x");
  fs::path readOnly = out_ / "read-only";
  fs::create_directory(readOnly);
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
  if (geteuid() == 0) readOnly = "/proc";

  for (const fs::path& file :
       {out_ / "missing" / "学员.xlsx", out_ / "a-file" / "学员.xlsx", readOnly / "学员.xlsx", readOnly / "学员.xls"}) {
    SCOPED_TRACE(file.string());
    desktop().reset();
    exportTo(file);
    expectFailureOpeningNothing();
    EXPECT_FALSE(fs::exists(file));
  }
  if (readOnly != "/proc") { EXPECT_TRUE(filesIn(readOnly).empty()); }

  // A full disk: every write past the first kilobyte fails.
  const fs::path full = out_ / "full";
  fs::create_directory(full);
  for (const std::string name : {"满.xlsx", "满.xls"}) {
    SCOPED_TRACE(name);
    desktop().reset();
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    exportTo(full / name);
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, previousHandler);
    expectFailureOpeningNothing();
    EXPECT_TRUE(filesIn(full).empty());
  }
  fs::permissions(out_ / "read-only", fs::perms::owner_all);
  EXPECT_EQ(filesIn(out_.path()), (std::vector<std::string>{"a-file", "full", "read-only"}));
}

}  // namespace
