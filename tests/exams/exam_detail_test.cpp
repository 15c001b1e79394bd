// The page 考试详情: a learner's history, the date query and result changes.
#include "exam_test_support.h"

namespace {

using namespace examtest;

const std::string kDay = "2024年5月6日";

class ExamDetailTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    createDatabase(learners());
  }

  // A and B booked for every subject on kDay, C on another day.
  void bookEveryoneOnTheDay() {
    for (const std::string& table : kSubjectTables) {
      insertBooking(table, kA[kIdentity], kDay);
      insertBooking(table, kB[kIdentity], kDay, "不合格");
      insertBooking(table, kC[kIdentity], "2024年6月1日");
    }
  }
};

TEST_F(ExamDetailTest, HistoryListsTheLearnersBookingsOfAllSubjectsInOrder) {
  insertBooking("four", kA[kIdentity], "2024年7月1日", "合格");
  insertBooking("two", kB[kIdentity], kDay);
  insertBooking("two", kA[kIdentity], "2024年5月1日", "不合格");
  insertBooking("two", kA[kIdentity], kDay);
  insertBooking("one", kA[kIdentity], "2024年4月1日", "合格");
  startProgram();

  openHistoryOf(0);
  EXPECT_EQ(currentPage(), app::form::kPageExamDetails);
  EXPECT_EQ(textOf(ui::编辑框6), dateText(pickerDate(ui::日期框1)));
  EXPECT_EQ(examDetails(),
            (Rows{detailRow(1, kA, "一", "2024年4月1日", "合格"), detailRow(2, kA, "二", "2024年5月1日", "不合格"),
                  detailRow(3, kA, "二", kDay), detailRow(4, kA, "四", "2024年7月1日", "合格")}));
  EXPECT_EQ(utf8Of(rt::api::TextConcat(app::state().selectedStudentId)), kA[kIdentity]);

  showPage(app::form::kPageStudents);
  openHistoryOf(1);
  EXPECT_EQ(examDetails(), (Rows{detailRow(1, kB, "二", kDay)}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(ExamDetailTest, HistoryWithoutSelectedLearnerNamesEachBookingsOwnLearner) {
  insertBooking("one", kC[kIdentity], "2024年1月1日");
  insertBooking("one", kB[kIdentity], "2024年1月2日");
  insertBooking("three", kA[kIdentity], "2024年1月3日");
  startProgram();

  doubleClickAt(ui::超级列表框1, belowTheRows(listView(ui::超级列表框1)));
  ASSERT_EQ(selectedRow(), -1);
  EXPECT_EQ(examDetails(), (Rows{detailRow(1, kC, "一", "2024年1月1日"), detailRow(2, kB, "一", "2024年1月2日"),
                                 detailRow(3, kA, "三", "2024年1月3日")}));
}

// 3301's number is part of 33012's, and 33012 comes first in the student
// table: every booking still names its own learner, and a learner's
// history holds only that learner's bookings.
TEST_F(ExamDetailTest, BookingsOfNumbersContainedInOthersNameTheirOwnLearner) {
  StudentFields longer = student("赵一二", "33012", "13800000012", "C2", "2024年2月2日");
  StudentFields shorter = student("钱一", "3301", "13800000001", "C1", "2024年1月1日");
  createDatabase({longer, shorter});
  insertBooking("one", "3301", kDay);
  insertBooking("one", "33012", kDay, "合格");
  insertBooking("three", "33012", "2024年6月1日");
  startProgram();

  showPage(app::form::kPageExamDetails);
  queryByDate(0, kDay);
  EXPECT_EQ(examDetails(), (Rows{detailRow(1, shorter, "一", kDay), detailRow(2, longer, "一", kDay, "合格")}));

  showPage(app::form::kPageStudents);
  openHistoryOf(1);
  EXPECT_EQ(examDetails(), (Rows{detailRow(1, shorter, "一", kDay)}));
  showPage(app::form::kPageStudents);
  openHistoryOf(0);
  EXPECT_EQ(examDetails(),
            (Rows{detailRow(1, longer, "一", kDay, "合格"), detailRow(2, longer, "三", "2024年6月1日")}));
}

TEST_F(ExamDetailTest, DateQueryNeedsSubjectAndDate) {
  bookEveryoneOnTheDay();
  startProgram();
  showPage(app::form::kPageExamDetails);
  ASSERT_EQ(comboSelection(ui::组合框8), -1);

  click(ui::考试查询);  // the page put today's date into 编辑框6, no subject yet
  queryByDate(0, "");
  for (const MessageBoxCall& message : messages()) {
    EXPECT_EQ(message.text, "请选择科目和时间！");
    EXPECT_EQ(message.caption, "考试查询失败");
    EXPECT_EQ(iconOf(message), rt::mb::kIconStop);
  }
  EXPECT_EQ(messages().size(), 2u);
  EXPECT_EQ(rowCount(ui::超级列表框2), 0);
  EXPECT_NE(windowTitle(), "按考试日期查找");
}

TEST_F(ExamDetailTest, DateQueryNumbersAndTitleAsEachSubjectDoes) {
  bookEveryoneOnTheDay();
  startProgram();
  clickRow(2);
  const std::string learnerTitle = windowTitle();
  showPage(app::form::kPageExamDetails);

  // Subjects two to four leave the title alone; three and four count from 2.
  queryByDate(1, kDay);
  EXPECT_EQ(examDetails(), (Rows{detailRow(1, kA, "二", kDay), detailRow(2, kB, "二", kDay, "不合格")}));
  queryByDate(2, kDay);
  EXPECT_EQ(examDetails(), (Rows{detailRow(2, kA, "三", kDay), detailRow(3, kB, "三", kDay, "不合格")}));
  queryByDate(3, kDay);
  EXPECT_EQ(examDetails(), (Rows{detailRow(2, kA, "四", kDay), detailRow(3, kB, "四", kDay, "不合格")}));
  EXPECT_EQ(windowTitle(), learnerTitle);

  queryByDate(0, kDay);
  EXPECT_EQ(examDetails(), (Rows{detailRow(1, kA, "一", kDay), detailRow(2, kB, "一", kDay, "不合格")}));
  EXPECT_EQ(windowTitle(), "按考试日期查找");

  queryByDate(1, "2025年1月1日");
  EXPECT_EQ(rowCount(ui::超级列表框2), 0);
  EXPECT_TRUE(messages().empty());
}

TEST_F(ExamDetailTest, PartialDateFindsEveryDateThatContainsIt) {
  insertBooking("two", kA[kIdentity], "2024年5月6日");
  insertBooking("two", kB[kIdentity], "2024年6月1日");
  insertBooking("two", kC[kIdentity], "2023年5月20日");
  insertBooking("one", kA[kIdentity], "2024年5月7日");
  startProgram();
  showPage(app::form::kPageExamDetails);

  queryByDate(1, "5月");
  EXPECT_EQ(examDetails(), (Rows{detailRow(1, kA, "二", "2024年5月6日"), detailRow(2, kC, "二", "2023年5月20日")}));
}

// --- result changes ---

class ResultChangeTest : public ExamDetailTest {
 protected:
  void SetUp() override {
    ExamDetailTest::SetUp();
    bookEveryoneOnTheDay();
    insertBooking("two", kA[kIdentity], kDay);  // a repeated booking of A
    startProgram();
    showPage(app::form::kPageExamDetails);
  }
  // Query subject (index) on kDay, select the row, choose the result, change.
  void changeResult(int subjectIndex, int32_t row, int resultItem) {
    queryByDate(subjectIndex, kDay);
    selectDetailRow(row);
    chooseItem(ui::组合框9, resultItem);
    click(ui::成绩修改);
  }
  void expectOneMessage(const std::string& text, const std::string& caption, uint32_t icon) {
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, text);
    EXPECT_EQ(messages()[0].caption, caption);
    EXPECT_EQ(iconOf(messages()[0]), icon);
  }
  static constexpr int kFailed = 0;  // items of 组合框9
  static constexpr int kPassed = 1;
};

TEST_F(ResultChangeTest, ChangeReplacesTheBookingsOfThatDayAndShowsTheResult) {
  changeResult(1, 0, kPassed);

  // A's two bookings of the day collapse into the one that carries the result.
  EXPECT_EQ(
      bookings("two"),
      (Rows{{kB[kIdentity], kDay, "不合格"}, {kC[kIdentity], "2024年6月1日", ""}, {kA[kIdentity], kDay, "合格"}}));
  EXPECT_EQ(examDetails(), (Rows{detailRow(1, kB, "二", kDay, "不合格"), detailRow(2, kA, "二", kDay, "合格")}));
  expectOneMessage("修改学员信息成功！", "修改成绩成功", 0);
  for (const char* table : {"one", "three", "four"}) EXPECT_EQ(bookings(table).size(), 3u) << table;
}

TEST_F(ResultChangeTest, ChangeWithoutSelectedRowChangesNothing) {
  queryByDate(2, kDay);
  clickAt(ui::超级列表框2, belowTheRows(listView(ui::超级列表框2)));
  click(ui::成绩修改);
  expectOneMessage("请选择将要修改的学员信息！", "修改成绩失败", rt::mb::kIconStop);
  EXPECT_EQ(bookings("three")[0], (Row{kA[kIdentity], kDay, ""}));
}

TEST_F(ResultChangeTest, ChangeWorksOnTheRowsOwnSubjectWhateverTheChooserShows) {
  queryByDate(2, kDay);
  selectDetailRow(1);
  chooseItem(ui::组合框8, 0);
  chooseItem(ui::组合框9, kPassed);
  click(ui::成绩修改);

  EXPECT_EQ(bookings("three").back(), (Row{kB[kIdentity], kDay, "合格"}));
  EXPECT_EQ(bookings("three").size(), 3u);
  // No booking appears in, or disappears from, the subject the chooser shows.
  EXPECT_EQ(bookings("one"),
            (Rows{{kA[kIdentity], kDay, ""}, {kB[kIdentity], kDay, "不合格"}, {kC[kIdentity], "2024年6月1日", ""}}));
  // The refresh queries what the chooser shows.
  EXPECT_EQ(examDetails(), (Rows{detailRow(1, kA, "一", kDay), detailRow(2, kB, "一", kDay, "不合格")}));
  expectOneMessage("修改学员信息成功！", "修改成绩成功", 0);
}

TEST_F(ResultChangeTest, FailedInsertKeepsTheOldBookingAndStops) {
  refuseChanges("INSERT", "three", "NEW.是否通过 IS NOT NULL");
  changeResult(2, 1, kPassed);

  expectOneMessage("错误代码Add#2！", "修改成绩失败", 0);
  EXPECT_EQ(bookings("three"),
            (Rows{{kA[kIdentity], kDay, ""}, {kB[kIdentity], kDay, "不合格"}, {kC[kIdentity], "2024年6月1日", ""}}));
  // No refresh: the list still shows what the query found.
  EXPECT_EQ(examDetails(), (Rows{detailRow(2, kA, "三", kDay), detailRow(3, kB, "三", kDay, "不合格")}));

  // The connection is usable afterwards: no transaction was left open.
  allowChanges("three");
  desktop().reset();
  changeResult(2, 1, kPassed);
  expectOneMessage("修改学员信息成功！", "修改成绩成功", 0);
  EXPECT_EQ(bookings("three").back(), (Row{kB[kIdentity], kDay, "合格"}));
}

TEST_F(ResultChangeTest, FailedDeleteChangesNothingAndStops) {
  refuseChanges("DELETE", "four");
  changeResult(3, 0, kFailed);

  expectOneMessage("错误代码Del#3！", "修改成绩失败", rt::mb::kIconStop);
  EXPECT_EQ(bookings("four"),
            (Rows{{kA[kIdentity], kDay, ""}, {kB[kIdentity], kDay, "不合格"}, {kC[kIdentity], "2024年6月1日", ""}}));
}

TEST_F(ResultChangeTest, RefreshWithoutDateWarnsBeforeTheSuccessMessage) {
  queryByDate(0, kDay);
  selectDetailRow(0);
  typeInto(ui::编辑框6, "");
  chooseItem(ui::组合框9, kPassed);
  click(ui::成绩修改);

  EXPECT_EQ(bookings("one")[2], (Row{kA[kIdentity], kDay, "合格"}));
  ASSERT_EQ(messages().size(), 2u);
  EXPECT_EQ(messages()[0].text, "请选择科目和时间！");
  EXPECT_EQ(messages()[1].text, "修改学员信息成功！");
}

TEST_F(ResultChangeTest, BookedRowGoesThroughHistoryAndResult) {
  // The whole day of a learner: booked from the list, found, passed.
  showPage(app::form::kPageStudents);
  clickRow(2);
  typeInto(ui::编辑框4, kDay);
  bookFromPopup(desktop(), 2, "二");
  openHistoryOf(2);
  EXPECT_EQ(examDetails(), (Rows{detailRow(1, kC, "一", "2024年6月1日"), detailRow(2, kC, "二", "2024年6月1日"),
                                 detailRow(3, kC, "二", kDay), detailRow(4, kC, "三", "2024年6月1日"),
                                 detailRow(5, kC, "四", "2024年6月1日")}));
  chooseItem(ui::组合框8, 1);
  typeInto(ui::编辑框6, kDay);
  selectDetailRow(2);
  chooseItem(ui::组合框9, kPassed);
  click(ui::成绩修改);
  EXPECT_EQ(bookings("two").back(), (Row{kC[kIdentity], kDay, "合格"}));
  EXPECT_EQ(examDetails().back(), detailRow(4, kC, "二", kDay, "合格"));  // after A, B and A again
}

}  // namespace
