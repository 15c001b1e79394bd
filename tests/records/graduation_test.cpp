// Graduation and its undoing through the real window: the questions, the
// rows of student and graduation, the bookings, the log, the graduates'
// page and its popup, the refusals and failures that change nothing, and
// two desks graduating the same learner at once.
#include <chrono>
#include <thread>

#include "records_test_support.h"
#include "tests/exams/exam_test_support.h"

namespace {

using namespace recordstest;
using Rows = std::vector<std::vector<std::string>>;

constexpr uint32_t kQuestion = rt::mb::kYesNo | rt::mb::kIconQuestion;
const char* const kExamTables[] = {"one", "two", "three", "four"};

class GraduationTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    createDatabase(threeStudents());
  }

  static StudentFields learner(size_t index) { return threeStudents()[index]; }

  // Bookings of a learner in all four subjects; the last subject's result
  // may differ.
  static void bookAllFour(const StudentFields& f, const std::string& lastResult = "合格") {
    for (const char* table : kExamTables)
      insertBooking(table, f[kIdentity], "2024年6月1日", std::string(table) == "four" ? lastResult : "合格");
  }

  static void insertGraduates(const std::vector<StudentFields>& graduates) {
    for (const StudentFields& f : graduates) {
      std::string values;
      for (const std::string& v : f) values += (values.empty() ? "'" : ",'") + v + "'";
      runSql("INSERT INTO graduation VALUES (" + values + ")");
    }
  }

  static std::vector<StudentFields> storedGraduates() {
    std::vector<StudentFields> graduates;
    for (const auto& row : queryRows("SELECT * FROM graduation ORDER BY rowid")) {
      StudentFields f;
      for (size_t i = 0; i < f.size() && i < row.size(); ++i) f[i] = row[i];
      graduates.push_back(f);
    }
    return graduates;
  }

  static Rows allBookings() {
    Rows rows;
    for (const char* table : kExamTables)
      for (auto& row : queryRows(std::string("SELECT '") + table + "', 身份证号码, 是否通过 FROM " + table))
        rows.push_back(row);
    return rows;
  }

  // Right-clicks a row of a list (which selects it) and chooses the popup entry.
  void chooseOnRow(const rt::api::Unit& list, int32_t row, const std::string& entry) {
    desktop().choosePopupEntry(entry);
    examtest::clickAt(list, examtest::rowCentre(examtest::listView(list), row), Qt::RightButton);
  }
  void graduateRow(int32_t row) { chooseOnRow(ui::超级列表框1, row, "学员结业"); }
  void undoRow(int32_t row) {
    showPage(app::form::kPageGraduates);
    chooseOnRow(ui::超级列表框4, row, "撤销结业");
  }

  static StudentFields listedGraduate(int32_t row) {
    StudentFields f;
    for (size_t i = 0; i < f.size(); ++i) f[i] = cell(ui::超级列表框4, row, static_cast<int32_t>(i + 1));
    return f;
  }

  static std::string loggedValues(const StudentFields& f) {
    return joined({f[kName], f[kIdentity], f[kNation], f[kBirth], f[kAddress], f[kIdentity], f[kPhone], f[kVehicle],
                   f[kRegistered], f[kCoach2], f[kCoach2Phone]});
  }

  void expectMessages(const std::vector<std::pair<std::string, std::string>>& textsAndCaptions) {
    std::vector<std::pair<std::string, std::string>> shown;
    for (const MessageBoxCall& m : messages()) shown.emplace_back(m.text, m.caption);
    EXPECT_EQ(shown, textsAndCaptions);
  }

  void expectNothingChanged() {
    EXPECT_EQ(storedStudents(), threeStudents());
    EXPECT_TRUE(storedGraduates().empty());
    EXPECT_EQ(readFileBytes("log.log"), "");
  }
};

TEST_F(GraduationTest, WithoutASelectedRowNothingHappens) {
  startProgram();
  insertGraduates({learner(1)});
  // Right clicks below the rows, which select none.
  struct Gesture {
    int page;
    rt::api::Unit list;
    const char* entry;
  };
  for (const Gesture& g :
       {Gesture{0, ui::超级列表框1, "学员结业"}, Gesture{app::form::kPageGraduates, ui::超级列表框4, "撤销结业"}}) {
    showPage(g.page);
    desktop().choosePopupEntry(g.entry);
    examtest::clickAt(g.list, examtest::belowTheRows(examtest::listView(g.list)), Qt::RightButton);
  }
  expectMessages({{"请选择学员", "信息："}, {"请选择学员", "信息："}});
  EXPECT_EQ(storedStudents(), threeStudents());
  EXPECT_EQ(storedGraduates(), std::vector<StudentFields>{learner(1)});
  EXPECT_EQ(readFileBytes("log.log"), "");
}

// The question says whether a subject is still open; No changes nothing.
TEST_F(GraduationTest, TheQuestionTellsWhetherEverySubjectIsPassedAndNoKeepsTheLearner) {
  bookAllFour(learner(0), "不合格");
  bookAllFour(learner(1));
  const Rows bookings = allBookings();
  startProgram();
  desktop().answerMessageBox(rt::PressedButton::No);
  desktop().answerMessageBox(rt::PressedButton::No);
  desktop().answerMessageBox(rt::PressedButton::No);
  graduateRow(0);  // subject four failed
  graduateRow(1);  // all four passed
  graduateRow(2);  // never booked

  expectMessages({{"该学员尚有科目未合格，确定结业吗？", "学员结业"},
                  {"确定学员李四结业吗？", "学员结业"},
                  {"该学员尚有科目未合格，确定结业吗？", "学员结业"}});
  for (const MessageBoxCall& m : messages()) EXPECT_EQ(m.style & (rt::mb::kButtonsMask | rt::mb::kIconMask), kQuestion);
  expectNothingChanged();
  EXPECT_EQ(allBookings(), bookings);
  EXPECT_EQ(rowCount(ui::超级列表框1), 3);
}

// Yes moves the row as stored into graduation, keeps the bookings, logs the
// learner, refills the registry and empties the form; the graduates' page
// lists the graduate like the student list; registering the number again is
// allowed, and then the graduate cannot come back.
TEST_F(GraduationTest, AGraduateLeavesTheRegistryKeepsTheBookingsAndIsListedOnItsPage) {
  const StudentFields graduate = learner(0);  // coach telephone and plate filled
  bookAllFour(graduate);
  const Rows bookings = allBookings();
  startProgram();
  clickRow(0);

  QDateTime before = QDateTime::currentDateTime();
  graduateRow(0);
  QDateTime after = QDateTime::currentDateTime();

  expectMessages({{"确定学员张三结业吗？", "学员结业"}, {"学员结业成功！", "操作成功"}});
  EXPECT_EQ(storedStudents(), (std::vector<StudentFields>{learner(1), learner(2)}));
  EXPECT_EQ(storedGraduates(), std::vector<StudentFields>{graduate});
  EXPECT_EQ(allBookings(), bookings);
  EXPECT_EQ(columnOf(ui::超级列表框1, 1), (std::vector<std::string>{"李四", "王五"}));
  EXPECT_EQ(textOf(ui::编辑框1), "");
  EXPECT_EQ(textOf(ui::编辑框2), "");

  std::vector<LogEntry> log = logEntries(readFileBytes("log.log"));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(timestampsBetween(before, after).count(log[0].timestamp)) << log[0].timestamp;
  EXPECT_EQ(log[0].body, "\r\n学员结业\r\n" + loggedValues(graduate));

  showPage(app::form::kPageGraduates);
  ASSERT_EQ(rowCount(ui::超级列表框4), 1);
  EXPECT_EQ(cell(ui::超级列表框4, 0, 0), "1");
  EXPECT_EQ(listedGraduate(0), graduate);

  // Back for another class: the registration looks at the registry only.
  showPage(0);
  StudentFields again = graduate;
  again[kVehicle] = "A2";
  const rt::api::Unit form[] = {ui::编辑框1, ui::编辑框5, ui::编辑框7, ui::编辑框8, ui::编辑框9,
                                ui::编辑框2, ui::编辑框3, ui::组合框1, ui::编辑框4, ui::组合框2,
                                ui::组合框3, ui::组合框4, ui::组合框5, ui::组合框6, ui::组合框7};
  for (size_t i = 0; i < again.size(); ++i) typeInto(form[i], again[i]);
  desktop().reset();
  click(ui::添加);
  expectMessages({{"添加记录成功！", "添加学员成功"}});

  desktop().reset();
  undoRow(0);
  expectMessages({{"已有此身份证号码！", "撤销结业失败"}});
  EXPECT_EQ(storedGraduates(), std::vector<StudentFields>{graduate});
  EXPECT_EQ(storedStudents().size(), 3u);
  EXPECT_EQ(logEntries(readFileBytes("log.log")).size(), 2u) << "the registration's entry only";
}

// The popup of the graduates' list offers the undo alone; it moves the
// selected graduate back to the end of the registry and logs it. Rows that
// are identical in all columns move one at a time.
TEST_F(GraduationTest, UndoBringsTheSelectedGraduateBack) {
  createDatabase({learner(0)});
  insertGraduates({learner(1), learner(2), learner(2)});
  startProgram();
  showPage(app::form::kPageGraduates);
  ASSERT_EQ(rowCount(ui::超级列表框4), 3);
  EXPECT_EQ(columnOf(ui::超级列表框4, 0), (std::vector<std::string>{"1", "2", "3"}));

  QDateTime before = QDateTime::currentDateTime();
  chooseOnRow(ui::超级列表框4, 2, "撤销结业");
  QDateTime after = QDateTime::currentDateTime();
  ASSERT_EQ(desktop().popups().size(), 1u);
  EXPECT_EQ(desktop().popups()[0].captions, std::vector<std::string>{"撤销结业"});
  expectMessages({{"撤销结业成功！", "操作成功"}});
  EXPECT_EQ(storedStudents(), (std::vector<StudentFields>{learner(0), learner(2)}));
  EXPECT_EQ(storedGraduates(), (std::vector<StudentFields>{learner(1), learner(2)}));
  EXPECT_EQ(rowCount(ui::超级列表框4), 2);
  std::vector<LogEntry> log = logEntries(readFileBytes("log.log"));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(timestampsBetween(before, after).count(log[0].timestamp)) << log[0].timestamp;
  EXPECT_EQ(log[0].body, "\r\n撤销结业\r\n" + loggedValues(learner(2)));

  showPage(0);
  EXPECT_EQ(columnOf(ui::超级列表框1, 1), (std::vector<std::string>{"张三", "王五"}));
}

// A failed insert or delete of either move shows its own code and leaves
// both tables and the log as they were.
TEST_F(GraduationTest, AFailedStepChangesNothing) {
  struct Case {
    const char* event;
    const char* table;
    bool undo;
    const char* message;
  };
  const Case cases[] = {
      {"INSERT", "graduation", false, "错误代码Grd#1！"},
      {"DELETE", "student", false, "错误代码Grd#2！"},
      {"INSERT", "student", true, "错误代码Grd#3！"},
      {"DELETE", "graduation", true, "错误代码Grd#4！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    createDatabase(c.undo ? std::vector<StudentFields>{learner(0), learner(2)} : threeStudents());
    if (c.undo) insertGraduates({learner(1)});
    const std::vector<StudentFields> students = storedStudents();
    const std::vector<StudentFields> graduates = storedGraduates();
    refuseChanges(c.event, c.table);
    startProgram();
    desktop().reset();
    if (c.undo)
      undoRow(0);
    else
      graduateRow(1);
    ASSERT_FALSE(messages().empty());
    EXPECT_EQ(messages().back().text, c.message);
    EXPECT_EQ(messages().back().caption, c.undo ? "撤销结业失败" : "学员结业失败");
    EXPECT_EQ(messages().back().style & rt::mb::kIconMask, rt::mb::kIconStop);
    EXPECT_EQ(storedStudents(), students);
    EXPECT_EQ(storedGraduates(), graduates);
    EXPECT_EQ(readFileBytes("log.log"), "");
    resetRuntime();
  }
}

// Another desk changed the learner after this desk listed it: nothing
// moves, and the list shows the row as it is now.
TEST_F(GraduationTest, ARowChangedMeanwhileIsNotMoved) {
  startProgram();
  runSql("UPDATE student SET 电话号码 = '13000000000' WHERE 姓名 = '李四'");
  graduateRow(1);
  ASSERT_EQ(messages().size(), 2u);
  EXPECT_EQ(messages()[1].text, "该学员的信息已被更改，请重新选择！");
  EXPECT_EQ(messages()[1].caption, "学员结业失败");
  EXPECT_TRUE(storedGraduates().empty());
  EXPECT_EQ(storedStudents().size(), 3u);
  EXPECT_EQ(cell(ui::超级列表框1, 1, 7), "13000000000");
  EXPECT_EQ(readFileBytes("log.log"), "");
}

// Another desk moves the learner in a transaction it has not committed yet
// when this desk graduates the same learner: this desk waits for it, then
// finds the learner gone. One graduate row in the end.
TEST_F(GraduationTest, TwoDesksGraduatingOneLearnerLeaveOneGraduate) {
  if (!testServer()) GTEST_SKIP() << "a race between desks needs a server";
  startProgram();
  const std::string number = learner(1)[kIdentity];
  db::ServerConnectionHandle otherDesk = testServerConnection();
  ASSERT_TRUE(otherDesk);
  for (std::string sql :
       {std::string("BEGIN"),
        "INSERT INTO graduation SELECT 姓名,性别,民族,出生日期,住址,身份证号码,电话号码,车型,报名日期,"
        "科二教练,科二教练电话,科二车牌,科三教练,科三教练电话,科三车牌 FROM student WHERE 身份证号码 = '" +
            number + "'",
        "DELETE FROM student WHERE 身份证号码 = '" + number + "'"}) {
    db::ServerResult done(PQexec(otherDesk.get(), sql.c_str()));
    ASSERT_EQ(PQresultStatus(done.get()), PGRES_COMMAND_OK) << PQresultErrorMessage(done.get());
  }
  // The other desk commits once a session waits for a lock it holds.
  std::thread commit([&otherDesk] {
    db::ServerConnectionHandle watcher = testServerConnection();
    for (int tries = 0; watcher && tries < 200; ++tries) {
      db::ServerResult waiting(
          PQexec(watcher.get(), "SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'"));
      if (PQresultStatus(waiting.get()) == PGRES_TUPLES_OK && std::string(PQgetvalue(waiting.get(), 0, 0)) != "0")
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    db::ServerResult committed(PQexec(otherDesk.get(), "COMMIT"));
  });
  graduateRow(1);
  commit.join();

  ASSERT_EQ(messages().size(), 2u);
  EXPECT_EQ(messages()[1].text, "该学员的信息已被更改，请重新选择！");
  EXPECT_EQ(storedGraduates(), std::vector<StudentFields>{learner(1)});
  EXPECT_EQ(storedStudents(), (std::vector<StudentFields>{learner(0), learner(2)}));
  EXPECT_EQ(columnOf(ui::超级列表框1, 1), (std::vector<std::string>{"张三", "王五"}));
}

}  // namespace
