// Modifying and deleting the selected learner: messages, stored rows and
// bookings, the log entries, and the replacement of a row as one change.
#include <signal.h>

#include <algorithm>

#include "records_test_support.h"

namespace {

using namespace recordstest;

class ChangeTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    createDatabase(threeStudents());
  }

  void expectMessage(const std::string& text, const std::string& caption, uint32_t icon) {
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, text);
    EXPECT_EQ(messages()[0].caption, caption);
    EXPECT_EQ(messages()[0].style & rt::mb::kIconMask, icon);
  }

  // What the log keeps of a listed learner: name, number, nation, birth date,
  // address, number again, telephone, class, date, subject-two coach and phone.
  static std::string oldValues(const StudentFields& f) {
    return joined({f[kName], f[kIdentity], f[kNation], f[kBirth], f[kAddress], f[kIdentity], f[kPhone], f[kVehicle],
                   f[kRegistered], f[kCoach2], f[kCoach2Phone]});
  }
  static std::string newValues(const StudentFields& f) {
    return joined({f[kName], f[kIdentity], f[kPhone], f[kVehicle], f[kRegistered], f[kCoach2], f[kCoach2Phone],
                   f[kCoach2Plate], f[kCoach3], f[kCoach3Phone], f[kCoach3Plate]});
  }

  std::vector<std::vector<std::string>> bookings() {
    std::vector<std::vector<std::string>> all;
    for (const char* table : {"one", "two", "three", "four"})
      for (auto& row : queryRows(std::string("SELECT '") + table + "', 身份证号码, 考试时间 FROM " + table))
        all.push_back(row);
    return all;
  }
};

// ------------------------------------------------------------ modification

TEST_F(ChangeTest, ModifyingWithoutASelectedRowIsRefused) {
  startProgram();
  typeInto(ui::编辑框1, "新名字");
  click(ui::修改);
  expectMessage("请选择需要修改的学员！", "修改学员信息失败", rt::mb::kIconStop);
  EXPECT_EQ(storedStudents(), threeStudents());
  EXPECT_EQ(readFileBytes("log.log"), "");
}

TEST_F(ChangeTest, ModifyingReplacesTheRowAndLogsOldAndNewValues) {
  startProgram();
  clickRow(1);
  StudentFields changed = threeStudents()[1];
  changed[kPhone] = "13000000000";
  changed[kAddress] = "新地址";
  typeInto(ui::编辑框3, changed[kPhone]);
  typeInto(ui::编辑框9, changed[kAddress]);

  QDateTime before = QDateTime::currentDateTime();
  click(ui::修改);
  QDateTime after = QDateTime::currentDateTime();

  expectMessage("修改学员信息成功！", "修改学员信息成功", 0);
  std::vector<StudentFields> stored = storedStudents();
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[2], changed);  // the new row comes last
  EXPECT_EQ(listedStudent(2), changed);
  EXPECT_EQ(textOf(ui::编辑框1), "");        // the form is emptied ...
  EXPECT_EQ(textOf(ui::编辑框9), "新地址");  // ... but for what the next learner may share

  std::vector<LogEntry> log = logEntries(readFileBytes("log.log"));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(timestampsBetween(before, after).count(log[0].timestamp)) << log[0].timestamp;
  EXPECT_EQ(log[0].body, "\r\n修改学员\r\n" + oldValues(threeStudents()[1]) + "\r\n" + newValues(changed));
}

TEST_F(ChangeTest, ModifyingTheNumberMovesTheLearnerToTheNewNumber) {
  startProgram();
  clickRow(0);
  typeInto(ui::编辑框2, "110101199001019999");
  click(ui::修改);
  std::vector<StudentFields> stored = storedStudents();
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[2][kIdentity], "110101199001019999");
  EXPECT_EQ(stored[2][kName], "张三");
  EXPECT_TRUE(queryRows("SELECT * FROM student WHERE 身份证号码 = '110101199001011234'").empty());
}

TEST_F(ChangeTest, ModifyingToAnotherLearnersNumberIsRefused) {
  startProgram();
  clickRow(0);
  typeInto(ui::编辑框2, threeStudents()[2][kIdentity]);
  typeInto(ui::编辑框1, "改名");
  click(ui::修改);
  expectMessage("已有此身份证号码！", "修改学员信息失败", rt::mb::kIconStop);
  EXPECT_EQ(storedStudents(), threeStudents());
  EXPECT_EQ(readFileBytes("log.log"), "");
}

TEST_F(ChangeTest, ModificationNeedsNoCompleteForm) {
  startProgram();
  clickRow(2);
  typeInto(ui::编辑框3, "");
  typeInto(ui::编辑框4, "");
  click(ui::修改);
  expectMessage("修改学员信息成功！", "修改学员信息成功", 0);
  ASSERT_EQ(storedStudents().size(), 3u);
  EXPECT_EQ(storedStudents()[2][kPhone], "");
  EXPECT_EQ(storedStudents()[2][kRegistered], "");
}

TEST_F(ChangeTest, ModificationEmptiesCoachTextsOnlyAfterAllCoaches) {
  startProgram();
  clickRow(0);                 // 张三: 王教练 with telephone and plate for subject two, 李教练 for three
  chooseItem(ui::组合框2, 0);  // 所有教练
  typeInto(ui::组合框3, "13900000001");
  typeInto(ui::组合框5, "");  // an empty coach keeps its telephone and plate
  typeInto(ui::组合框6, "13900000003");
  typeInto(ui::组合框7, "京A3333学");
  click(ui::修改);
  ASSERT_EQ(storedStudents().size(), 3u);
  StudentFields stored = storedStudents()[2];
  EXPECT_EQ(stored[kCoach2], "");
  EXPECT_EQ(stored[kCoach2Phone], "");
  EXPECT_EQ(stored[kCoach2Plate], "");
  EXPECT_EQ(stored[kCoach3], "");
  EXPECT_EQ(stored[kCoach3Phone], "13900000003");
  EXPECT_EQ(stored[kCoach3Plate], "京A3333学");
}

TEST_F(ChangeTest, ACoachTypedOverAllCoachesIsKept) {
  startProgram();
  clickRow(1);
  chooseItem(ui::组合框5, 0);
  typeInto(ui::组合框5, "外聘教练");
  typeInto(ui::组合框6, "13500000000");
  typeInto(ui::组合框7, "川A0000学");
  click(ui::修改);
  StudentFields expected = threeStudents()[1];
  expected[kCoach3] = "外聘教练";
  expected[kCoach3Phone] = "13500000000";
  expected[kCoach3Plate] = "川A0000学";
  ASSERT_EQ(storedStudents().size(), 3u);
  EXPECT_EQ(storedStudents()[2], expected);
}

// "所有教练" chosen to list everyone, then a learner clicked: the coach boxes
// show that learner's coaches, so saving the learner unchanged keeps them.
TEST_F(ChangeTest, AnUnchangedModificationAfterListingAllCoachesKeepsTheCoaches) {
  startProgram();
  for (int learner = 0; learner < 2; ++learner) {
    desktop().reset();
    chooseItem(ui::组合框2, 0);
    chooseItem(ui::组合框5, 0);
    clickRow(0);                                                   // the learner modified before has moved to the end
    EXPECT_EQ(comboSelection(ui::组合框2), learner == 0 ? 1 : 2);  // 王教练, 李教练
    click(ui::修改);
    expectMessage("修改学员信息成功！", "修改学员信息成功", 0);
  }
  std::vector<StudentFields> expected = threeStudents();
  std::rotate(expected.begin(), expected.begin() + 2, expected.end());
  EXPECT_EQ(storedStudents(), expected);
}

TEST_F(ChangeTest, AFailedInsertKeepsTheOldRow) {
  refuseChanges("INSERT", "student", "NEW.姓名 = '坏名字'");
  startProgram();
  clickRow(1);
  typeInto(ui::编辑框1, "坏名字");
  click(ui::修改);
  expectMessage("错误代码Add#2！", "修改学员信息失败", 0);
  EXPECT_EQ(storedStudents(), threeStudents());
  EXPECT_EQ(rowCount(ui::超级列表框1), 3);
  EXPECT_EQ(readFileBytes("log.log"), "");
}

TEST_F(ChangeTest, AFailedDeleteStopsBeforeTheInsert) {
  refuseChanges("DELETE", "student");
  startProgram();
  clickRow(1);
  typeInto(ui::编辑框1, "另一个");
  click(ui::修改);
  expectMessage("错误代码Del#2！", "修改学员信息失败", rt::mb::kIconStop);
  EXPECT_EQ(storedStudents(), threeStudents());  // no second row beside the old one
  EXPECT_EQ(readFileBytes("log.log"), "");
}

TEST_F(ChangeTest, AModificationKilledBetweenDeleteAndInsertLeavesTheOldRow) {
  GTEST_FLAG_SET(death_test_style, "fast");
  startProgram();
  clickRow(1);
  chooseItem(ui::组合框2, 0);
  typeInto(ui::编辑框1, "新名字");
  // Emptying the coach texts comes after the delete and before the insert.
  auto* coach = screenWidget<QComboBox>(ui::组合框2);
  ASSERT_NE(coach, nullptr);
  QObject::connect(coach, &QComboBox::editTextChanged, [] { raise(SIGKILL); });
  EXPECT_EXIT(click(ui::修改), ::testing::KilledBySignal(SIGKILL), "");
  QObject::disconnect(coach, &QComboBox::editTextChanged, nullptr, nullptr);
  EXPECT_EQ(storedStudents(), threeStudents());
}

// ---------------------------------------------------------------- deletion

TEST_F(ChangeTest, DeletingWithoutASelectedRowIsRefused) {
  startProgram();
  typeInto(ui::编辑框2, threeStudents()[0][kIdentity]);
  chooseMenu("学员管理", "删除学员");
  expectMessage("请选择需要删除的学员！", "删除学员信息失败", rt::mb::kIconStop);
  EXPECT_EQ(storedStudents(), threeStudents());
}

TEST_F(ChangeTest, DeletingRemovesTheLearnerAndAllItsBookings) {
  const std::string gone = threeStudents()[1][kIdentity];
  const std::string stays = threeStudents()[0][kIdentity];
  insertBooking("one", gone, "2024年5月1日", "合格");
  insertBooking("two", gone, "2024年6月1日");
  insertBooking("four", gone, "2024年7月1日");
  insertBooking("two", stays, "2024年6月1日");
  startProgram();
  clickRow(1);

  QDateTime before = QDateTime::currentDateTime();
  chooseMenu("学员管理", "删除学员");
  QDateTime after = QDateTime::currentDateTime();

  expectMessage("删除学员数据成功！", "操作成功", 0);
  std::vector<StudentFields> expected = threeStudents();
  expected.erase(expected.begin() + 1);
  EXPECT_EQ(storedStudents(), expected);
  EXPECT_EQ(bookings(), (std::vector<std::vector<std::string>>{{"two", stays, "2024年6月1日"}}));
  EXPECT_EQ(columnOf(ui::超级列表框1, 1), (std::vector<std::string>{"张三", "王五"}));
  EXPECT_EQ(textOf(ui::编辑框1), "");

  std::vector<LogEntry> log = logEntries(readFileBytes("log.log"));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(timestampsBetween(before, after).count(log[0].timestamp)) << log[0].timestamp;
  EXPECT_EQ(log[0].body, "\r\n删除学员\r\n" + oldValues(threeStudents()[1]));
}

TEST_F(ChangeTest, DeletingTakesTheSelectedLearnerNotTheTypedNumber) {
  startProgram();
  clickRow(2);
  typeInto(ui::编辑框2, threeStudents()[0][kIdentity]);
  chooseMenu("学员管理", "删除学员");
  std::vector<StudentFields> stored = storedStudents();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0][kName], "张三");
  EXPECT_EQ(stored[1][kName], "李四");
  EXPECT_EQ(logEntries(readFileBytes("log.log")).at(0).body, "\r\n删除学员\r\n" + oldValues(threeStudents()[2]));
}

TEST_F(ChangeTest, AFailedDeleteKeepsTheLearnersBookingsToo) {
  const std::string id = threeStudents()[0][kIdentity];
  insertBooking("one", id, "2024年5月1日");
  insertBooking("three", id, "2024年8月1日");
  refuseChanges("DELETE", "student");
  startProgram();
  clickRow(0);
  chooseMenu("学员管理", "删除学员");
  expectMessage("错误代码Del#1", "删除学员数据失败", rt::mb::kIconStop);
  EXPECT_EQ(storedStudents(), threeStudents());
  EXPECT_EQ(bookings().size(), 2u);
  EXPECT_EQ(readFileBytes("log.log"), "");
  EXPECT_EQ(textOf(ui::编辑框1), "张三");  // the form stays
}

}  // namespace
