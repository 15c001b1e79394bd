// Booking learners from the student list's popup menu.
#include "exam_test_support.h"

namespace {

using namespace examtest;

class BookingTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    createDatabase(learners());
    startProgram();
  }
};

TEST_F(BookingTest, EachSubjectStoresTheBookingAndListsItWithItsCoach) {
  selectAndBook(desktop(), 0, "一");
  selectAndBook(desktop(), 1, "二");
  selectAndBook(desktop(), 2, "三");
  selectAndBook(desktop(), 0, "四");

  // The date is the form's 报名日期, which the row click filled.
  EXPECT_EQ(bookings("one"), (Rows{{kA[kIdentity], kA[kRegistered], ""}}));
  EXPECT_EQ(bookings("two"), (Rows{{kB[kIdentity], kB[kRegistered], ""}}));
  EXPECT_EQ(bookings("three"), (Rows{{kC[kIdentity], kC[kRegistered], ""}}));
  EXPECT_EQ(bookings("four"), (Rows{{kA[kIdentity], kA[kRegistered], ""}}));
  // One running number across the subjects; subjects one and four name the
  // school's own coach, two and three the learner's coach of that subject.
  EXPECT_EQ(examList(), (Rows{examListRow(1, kA, "一", "岚舟", 1), examListRow(2, kB, "二", kB[kCoach2], 1),
                              examListRow(3, kC, "三", kC[kCoach3], 1), examListRow(4, kA, "四", "岚舟", 1)}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(BookingTest, RepeatedBookingsOfTheSameDayAreStoredAndCounted) {
  clickRow(1);
  typeInto(ui::编辑框4, "2024年5月6日");
  bookFromPopup(desktop(), 1, "二");
  bookFromPopup(desktop(), 1, "二");

  Row booking = {kB[kIdentity], "2024年5月6日", ""};
  EXPECT_EQ(bookings("two"), (Rows{booking, booking}));
  EXPECT_EQ(examList(), (Rows{examListRow(1, kB, "二", kB[kCoach2], 1), examListRow(2, kB, "二", kB[kCoach2], 2)}));
}

// 3301's number is part of 33012's: each is counted with its own bookings
// only, and the count is the booked learner's even when the form shows
// another one (a right click selects a row without filling the form).
class ContainedNumberTest : public AppTest {};

TEST_F(ContainedNumberTest, CountIsThatOfTheLearnerBookedExactly) {
  StudentFields longer = student("赵一二", "33012", "13800000012", "C2", "2024年2月2日", "李教练", "王教练");
  StudentFields shorter = student("钱一", "3301", "13800000001", "C1", "2024年1月1日", "王教练", "李教练");
  createDatabase({longer, shorter});
  insertBooking("two", "33012", "2024年1月1日");
  insertBooking("two", "33012", "2024年1月8日");
  insertBooking("two", "3301", "2024年1月1日");
  insertBooking("three", "33012", "2024年1月1日");
  startProgram();

  selectAndBook(desktop(), 1, "二");
  EXPECT_EQ(examList().back(), examListRow(1, shorter, "二", shorter[kCoach2], 2));

  // The form still shows 3301; the right click books 33012.
  ASSERT_EQ(textOf(ui::编辑框2), "3301");
  bookFromPopup(desktop(), 0, "二");
  EXPECT_EQ(bookings("two").back(), (Row{"33012", shorter[kRegistered], ""}));
  EXPECT_EQ(examList().back(), examListRow(2, longer, "二", longer[kCoach2], 3));

  // What the form's number field holds does not matter either.
  typeInto(ui::编辑框2, "");
  bookFromPopup(desktop(), 1, "三");
  EXPECT_EQ(examList().back(), examListRow(3, shorter, "三", shorter[kCoach3], 1));
}

TEST_F(BookingTest, WithoutSelectedLearnerNothingIsBooked) {
  clickRow(0);
  clickAt(ui::超级列表框1, belowTheRows(listView(ui::超级列表框1)));
  ASSERT_EQ(selectedRow(), -1);
  desktop().choosePopupEntry("添加科目一");
  clickAt(ui::超级列表框1, belowTheRows(listView(ui::超级列表框1)), Qt::RightButton);
  ASSERT_EQ(desktop().popups().size(), 1u);

  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "请选择学员");
  EXPECT_EQ(messages()[0].caption, "信息：");
  EXPECT_EQ(iconOf(messages()[0]), 0u);
  EXPECT_TRUE(bookings("one").empty());
  EXPECT_TRUE(examList().empty());

  // The refused booking took no number.
  selectAndBook(desktop(), 2, "一");
  EXPECT_EQ(examList(), (Rows{examListRow(1, kC, "一", "岚舟", 1)}));
}

TEST_F(BookingTest, QuotesInTheFormAreStoredAsTyped) {
  clickRow(0);
  typeInto(ui::编辑框4, "5月6日'上午'");
  bookFromPopup(desktop(), 0, "一");
  EXPECT_EQ(bookings("one"), (Rows{{kA[kIdentity], "5月6日'上午'", ""}}));

  typeInto(ui::编辑框2, "1' or '1'='1");
  bookFromPopup(desktop(), 0, "一");
  EXPECT_EQ(bookings("one").size(), 2u);
  EXPECT_EQ(examList().back().back(), "2");  // the booked learner's two bookings
}

TEST_F(BookingTest, CountIsMinusOneWhenTheCountingQueryCannotRun) {
  runSql("DROP TABLE four");
  selectAndBook(desktop(), 0, "四");
  EXPECT_EQ(examList(), (Rows{examListRow(1, kA, "四", "岚舟", -1)}));
  EXPECT_TRUE(messages().empty());
}

}  // namespace
