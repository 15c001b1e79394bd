// Start-up, settings, date pickers, tab pages and the menu items that hand
// files to the shell, through the real main window.
#include <QCalendarWidget>

#include "records_test_support.h"
#include "runtime/convert.h"
#include "tests/support/test_clock.h"

namespace {

using namespace recordstest;
using Items = std::vector<std::string>;

class StartupTest : public AppTest {};

// Before the main window is loaded its record sets do not exist yet.
TEST_F(StartupTest, BindingARecordSetBeforeItsWindowIsLoadedAnswersFalse) {
  createDatabase(threeStudents());
  using rt::api::call;
  EXPECT_FALSE(call(rt::cmd::db(rt::cmd::kSetConnection), ui::记录集学员, ui::数据库连接1).asBool());
  EXPECT_TRUE(messages().empty()) << "no run-time error";
  startProgram();
  EXPECT_EQ(rowCount(ui::超级列表框1), 3);
  EXPECT_TRUE(call(rt::cmd::db(rt::cmd::kSetConnection), ui::记录集学员, ui::数据库连接1).asBool());
}

TEST_F(StartupTest, OpensOnTheWholeRegistryWithAnEmptyFormAndTheSettingsInTheBoxes) {
  createDatabase(threeStudents());
  startProgram();

  EXPECT_EQ(windowTitle(), "驾校学员管理");
  EXPECT_TRUE(messages().empty());
  ASSERT_EQ(rowCount(ui::超级列表框1), 3);
  EXPECT_EQ(columnOf(ui::超级列表框1, 0), (Items{"1", "2", "3"}));
  for (int32_t row = 0; row < 3; ++row) EXPECT_EQ(listedStudent(row), threeStudents()[row]);
  EXPECT_EQ(selectedRow(), -1);

  StudentFields form = formFields();
  for (size_t i = 0; i < form.size(); ++i) {
    if (i == kRegistered) continue;
    EXPECT_EQ(form[i], "") << "field " << i;
  }
  EXPECT_EQ(form[kRegistered], dateText(pickerDate(ui::日期框1)));

  EXPECT_EQ(comboItems(ui::组合框1), (Items{"所有车型", "C1", "C2", "B2"}));
  for (const auto& coach : {ui::组合框2, ui::组合框5})
    EXPECT_EQ(comboItems(coach), (Items{"所有教练", "王教练", "李教练", "张教练"}));
  for (const auto& plate : {ui::组合框4, ui::组合框7})
    EXPECT_EQ(comboItems(plate), (Items{"京A1111学", "京A2222学", "京A3333学"}));
  for (const auto& phone : {ui::组合框3, ui::组合框6})
    EXPECT_EQ(comboItems(phone), (Items{"13900000001", "13900000002", "13900000003"}));
  // Lists of more than one element leave their boxes without a selection.
  for (const auto& box : {ui::组合框1, ui::组合框2, ui::组合框3, ui::组合框4, ui::组合框5, ui::组合框6, ui::组合框7})
    EXPECT_EQ(comboSelection(box), -1);
  EXPECT_EQ(app::state().readerPort, 1001);
  EXPECT_EQ(app::state().examListCounter, 0);
}

TEST_F(StartupTest, MissingDatabaseGivesAnEmptyListNoMessageAndNoNewFile) {
  removeFile("hj.mdb");
  startProgram();
  EXPECT_EQ(rowCount(ui::超级列表框1), 0);
  EXPECT_TRUE(messages().empty());
  EXPECT_FALSE(fileExists("hj.mdb"));
  EXPECT_EQ(comboItems(ui::组合框2).front(), "所有教练");
}

TEST_F(StartupTest, CorruptDatabaseIsLikeAMissingOne) {
  writeFileBytes("hj.mdb", std::string(4096, 'x'));
  startProgram();
  EXPECT_EQ(rowCount(ui::超级列表框1), 0);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(readFileBytes("hj.mdb"), std::string(4096, 'x'));
}

TEST_F(StartupTest, MissingSettingsLeaveOnlyTheAllItemsAndPortZero) {
  removeFile("systeminfo.ini");
  startProgram();
  EXPECT_EQ(comboItems(ui::组合框1), (Items{"所有车型"}));
  EXPECT_EQ(comboItems(ui::组合框2), (Items{"所有教练"}));
  EXPECT_EQ(comboItems(ui::组合框5), (Items{"所有教练"}));
  for (const auto& box : {ui::组合框3, ui::组合框4, ui::组合框6, ui::组合框7}) EXPECT_TRUE(comboItems(box).empty());
  EXPECT_EQ(app::state().readerPort, 0);
  EXPECT_FALSE(fileExists("systeminfo.ini"));
}

TEST_F(StartupTest, ListsSplitAtEverySeparatorButNotAtTheEnd) {
  writeSettings(
      "[端口设置]\n端口设置=COM3\n"
      "[车型信息设置]\n车型信息设置=C1\n"
      "[教练姓名设置]\n教练姓名设置=|甲||乙|\n"
      "[教练车牌设置]\n教练车牌设置=A|B\n");
  startProgram();
  EXPECT_EQ(app::state().readerPort, 0);  // not a number
  EXPECT_EQ(comboItems(ui::组合框1), (Items{"所有车型", "C1"}));
  EXPECT_EQ(comboItems(ui::组合框2), (Items{"所有教练", "", "甲", "", "乙"}));
  EXPECT_EQ(comboItems(ui::组合框7), (Items{"A", "B"}));
  EXPECT_TRUE(comboItems(ui::组合框3).empty());  // no telephones section
}

TEST_F(StartupTest, ChoosingACoachShowsThatCoachsTelephoneAndPlate) {
  writeSettings(
      "[教练姓名设置]\n教练姓名设置=王教练|李教练|张教练\n"
      "[教练车牌设置]\n教练车牌设置=京A1111学|京A2222学\n"
      "[教练电话设置]\n教练电话设置=13900000001|13900000002|13900000003\n");
  startProgram();

  chooseItem(ui::组合框2, 2);  // 李教练, the second coach
  EXPECT_EQ(comboSelection(ui::组合框3), 1);
  EXPECT_EQ(textOf(ui::组合框3), "13900000002");
  EXPECT_EQ(textOf(ui::组合框4), "京A2222学");
  EXPECT_EQ(comboSelection(ui::组合框6), -1);  // the other subject is untouched

  chooseItem(ui::组合框5, 3);  // 张教练 has a telephone but no plate
  EXPECT_EQ(textOf(ui::组合框6), "13900000003");
  EXPECT_EQ(comboSelection(ui::组合框7), -1);
  EXPECT_EQ(textOf(ui::组合框7), "");

  chooseItem(ui::组合框2, 0);  // 所有教练
  EXPECT_EQ(comboSelection(ui::组合框3), -1);
  EXPECT_EQ(textOf(ui::组合框3), "");
  EXPECT_EQ(textOf(ui::组合框4), "");
}

TEST_F(StartupTest, PickingADateReplacesTheTypedRegistrationDate) {
  startProgram();
  TestClock clock;
  typeInto(ui::编辑框4, "随便写的");
  auto* picker = screenWidget<rt::DatePickerWidget>(ui::日期框1);
  ASSERT_NE(picker, nullptr);
  clock.advance(rt::kDateEventQuietMs + 1);
  picker->setFocus();
  QTest::keyClick(picker, Qt::Key_Up);
  settle();
  EXPECT_EQ(textOf(ui::编辑框4), dateText(pickerDate(ui::日期框1)));
}

// Keys in the calendar: five quick steps to the right, then Return. The
// burst raises one event at its start, and the date the picker ends with
// reaches the form once the burst has been quiet long enough.
TEST_F(StartupTest, TheLastDateOfAQuickBurstReachesTheForm) {
  startProgram();
  TestClock clock;
  auto* picker = screenWidget<rt::DatePickerWidget>(ui::日期框1);
  ASSERT_NE(picker, nullptr);
  rt::DateParts start{2026, 12, 8, 0, 0, 0};
  rt::api::writeRaw(ui::日期框1, rt::prop::kPickedDate, rt::TypedValue::ofDateTime(rt::makeDateTime(start)).data());
  clock.advance(rt::kDateEventQuietMs + 1);

  // The picker is hardly wider than its drop-down button.
  QTest::mouseClick(picker, Qt::LeftButton, {}, QPoint(picker->width() - 4, picker->height() / 2));
  QCalendarWidget* calendar = picker->calendarWidget();
  ASSERT_TRUE(calendar && calendar->isVisible()) << "the calendar did not open";
  QWidget* days = QApplication::focusWidget();
  ASSERT_NE(days, nullptr);
  // A quick hand: 20 ms from key to key, each key handled before the next.
  constexpr uint64_t kKeyInterval = 20;
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(days, Qt::Key_Right);
    settle();
    clock.advance(kKeyInterval);
  }
  QTest::keyClick(days, Qt::Key_Return);
  settle();
  EXPECT_EQ(picker->date(), QDate(2026, 12, 13));
  EXPECT_EQ(textOf(ui::编辑框4), "2026年12月9日") << "one event at the start of the burst";

  clock.advance(rt::kDateEventQuietMs + 1);
  EXPECT_TRUE(QTest::qWaitFor([] { return textOf(ui::编辑框4) == "2026年12月13日"; }, 5000)) << textOf(ui::编辑框4);
}

TEST_F(StartupTest, TabPagesPrepareTheirContent) {
  createDatabase(threeStudents());
  runSql("INSERT INTO graduation (姓名, 身份证号码) VALUES ('毕业生', '999')");
  startProgram();

  showPage(2);
  EXPECT_EQ(windowTitle(), "查看考试名单");

  // 考试详情 takes the date of 日期框1, not of 日期框2.
  rt::api::writeRaw(ui::日期框2, rt::prop::kPickedDate, rt::TypedValue::ofDateTime(36526).data());  // 2000-01-01
  typeInto(ui::编辑框6, "");
  showPage(1);
  EXPECT_EQ(textOf(ui::编辑框6), dateText(pickerDate(ui::日期框1)));
  EXPECT_EQ(windowTitle(), "查看考试名单");  // only a student or a query sets it again

  showPage(3);
  ASSERT_EQ(rowCount(ui::超级列表框4), 1);
  EXPECT_EQ(cell(ui::超级列表框4, 0, 0), "1");
  EXPECT_EQ(cell(ui::超级列表框4, 0, 1), "毕业生");
  EXPECT_EQ(cell(ui::超级列表框4, 0, 6), "999");

  // Back on 学员信息 a search result gives way to the whole registry again.
  showPage(0);
  typeInto(ui::编辑框1, "李四");
  doubleClick(ui::编辑框1);
  ASSERT_EQ(rowCount(ui::超级列表框1), 1);
  typeInto(ui::编辑框4, "2020年1月1日");
  showPage(1);
  showPage(0);
  EXPECT_EQ(rowCount(ui::超级列表框1), 3);
  EXPECT_EQ(textOf(ui::编辑框4), dateText(pickerDate(ui::日期框1)));
}

TEST_F(StartupTest, ImportChangesNothing) {
  createDatabase(threeStudents());
  startProgram();
  clickRow(1);
  StudentFields before = formFields();
  std::string title = windowTitle();

  chooseMenu("学员管理", "导入数据");

  EXPECT_EQ(formFields(), before);
  EXPECT_EQ(windowTitle(), title);
  EXPECT_EQ(rowCount(ui::超级列表框1), 3);
  EXPECT_EQ(storedStudents(), threeStudents());
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(readFileBytes("log.log"), "");
}

TEST_F(StartupTest, SettingsAndLogAreHandedToTheShell) {
  startProgram();
  chooseMenu("选项", "参数设置");
  chooseMenu("学员管理", "查看日志");
  const auto& calls = desktop().shellCalls();
  ASSERT_EQ(calls.size(), 2u);
  std::string folder = AppFolder::path().string();
  EXPECT_EQ(calls[0].verb, "open");
  EXPECT_EQ(calls[0].file, folder + "\\systeminfo.ini");
  EXPECT_EQ(calls[1].verb, "");  // the file type's default verb
  EXPECT_EQ(calls[1].file, folder + "\\log.log");
  // Nothing is reloaded: the boxes stay as they were.
  EXPECT_EQ(comboItems(ui::组合框1).size(), 4u);
}

}  // namespace
