// The seven searches, the row click and the list's popup menu.
#include "records_test_support.h"

namespace {

using namespace recordstest;
using Items = std::vector<std::string>;

class SearchTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    std::vector<StudentFields> students = threeStudents();
    StudentFields d = student("张小三", "110101200105054567", "13811119999", "A1", "2024年3月13日", "", "");
    students.push_back(d);
    createDatabase(students);
    startProgram();
  }

  Items listedNames() { return columnOf(ui::超级列表框1, 1); }

  // Types into the control and double-clicks it.
  void searchBy(const rt::api::Unit& control, const std::string& text) {
    typeInto(control, text);
    doubleClick(control);
  }
};

TEST_F(SearchTest, EachFieldFindsItsSubstringAndRenumbersFromOne) {
  struct Case {
    rt::api::Unit control;
    std::string text;
    Items names;
  };
  const Case cases[] = {
      {ui::编辑框1, "三", {"张三", "张小三"}},
      {ui::编辑框2, "0101", {"张三", "李四", "张小三"}},
      {ui::编辑框3, "1111", {"张三", "张小三"}},
      {ui::编辑框4, "2024年3月", {"张三", "张小三"}},
      {ui::组合框1, "C", {"张三", "李四"}},
      {ui::组合框2, "李", {"李四"}},
      {ui::组合框5, "王", {"李四"}},
  };
  for (const Case& c : cases) {
    searchBy(c.control, c.text);
    EXPECT_EQ(listedNames(), c.names) << c.text;
    Items numbers;
    for (size_t i = 1; i <= c.names.size(); ++i) numbers.push_back(std::to_string(i));
    EXPECT_EQ(columnOf(ui::超级列表框1, 0), numbers) << c.text;
  }
  EXPECT_EQ(listedStudent(0), threeStudents()[1]);  // whole rows, not just names
  EXPECT_TRUE(messages().empty());
}

// Another desk (a connection of the test's own) registers and deletes
// learners while the program runs: its next searches show exactly that,
// whatever the program read or kept before.
TEST_F(SearchTest, TheNextSearchShowsWhatAnotherDeskChanged) {
  for (int i = 0; i < 3; ++i) searchBy(ui::编辑框1, "张");  // read again and again: kept where the engine keeps
  EXPECT_EQ(listedNames(), (Items{"张三", "张小三"}));
  insertStudents({student("张另台", "110101200202026789")});
  searchBy(ui::编辑框1, "张");
  EXPECT_EQ(listedNames(), (Items{"张三", "张小三", "张另台"}));
  runSql("DELETE FROM student WHERE 姓名 = '张三'");
  searchBy(ui::编辑框2, "0101");
  EXPECT_EQ(listedNames(), (Items{"李四", "张小三", "张另台"}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(SearchTest, AllStudentsValuesListEveryone) {
  const Items everyone = {"张三", "李四", "王五", "张小三"};
  searchBy(ui::编辑框1, "李四");
  searchBy(ui::编辑框1, "");
  EXPECT_EQ(listedNames(), everyone);

  searchBy(ui::编辑框1, "李四");
  searchBy(ui::编辑框2, "");
  EXPECT_EQ(listedNames(), everyone);

  searchBy(ui::编辑框1, "李四");
  searchBy(ui::组合框1, "所有车型");
  EXPECT_EQ(listedNames(), everyone);

  searchBy(ui::编辑框1, "李四");
  chooseItem(ui::组合框2, 0);
  doubleClick(ui::组合框2);
  EXPECT_EQ(listedNames(), everyone);

  searchBy(ui::编辑框1, "李四");
  searchBy(ui::组合框5, "所有教练");
  EXPECT_EQ(listedNames(), everyone);

  searchBy(ui::编辑框1, "%");
  EXPECT_EQ(listedNames(), everyone);
}

TEST_F(SearchTest, AllValueMustMatchExactly) {
  // A coach named like the all-value plus a blank is searched for, not "all".
  searchBy(ui::组合框2, "所有教练 ");
  EXPECT_TRUE(listedNames().empty());
  searchBy(ui::组合框1, "所有车型x");
  EXPECT_TRUE(listedNames().empty());
}

TEST_F(SearchTest, EmptyDateSearchListsOnlyRowsWithADate) {
  runSql("INSERT INTO student (姓名, 身份证号码, 报名日期) VALUES ('无日期', '330303199909099999', NULL)");
  showPage(1);
  showPage(0);
  ASSERT_EQ(rowCount(ui::超级列表框1), 5);
  searchBy(ui::编辑框4, "");
  EXPECT_EQ(listedNames(), (Items{"张三", "李四", "王五", "张小三"}));
}

TEST_F(SearchTest, NoMatchEmptiesTheListWithoutAMessage) {
  searchBy(ui::编辑框1, "赵六");
  EXPECT_EQ(rowCount(ui::超级列表框1), 0);
  EXPECT_TRUE(messages().empty());
}

TEST_F(SearchTest, QuotesInASearchAreSearchedFor) {
  insertStudents({student("O'Brien", "440404199404044444")});
  searchBy(ui::编辑框1, "O'B");
  EXPECT_EQ(listedNames(), (Items{"O'Brien"}));
  searchBy(ui::编辑框1, "' or '1'='1");
  EXPECT_TRUE(listedNames().empty());
}

TEST_F(SearchTest, RowClickFillsTheFormAndTheTitle) {
  clickRow(2);
  EXPECT_EQ(selectedRow(), 2);
  EXPECT_EQ(formFields(), threeStudents()[2]);
  EXPECT_EQ(windowTitle(), "王五   220202198803033456");
  EXPECT_EQ(app::state().selectedStudentId.view(), "220202198803033456");

  // The row of a search result, by its place in that result.
  searchBy(ui::编辑框1, "张");
  clickRow(1);
  EXPECT_EQ(textOf(ui::编辑框1), "张小三");
  EXPECT_EQ(windowTitle(), "张小三   110101200105054567");
}

TEST_F(SearchTest, RightClickPopsUpTheExamMenuAtTheCursor) {
  desktop().setCursor(300, 200);
  rightClickList();
  ASSERT_EQ(desktop().popups().size(), 1u);
  const PopupCall& popup = desktop().popups()[0];
  EXPECT_EQ(popup.captions, (Items{"添加科目一", "添加科目二", "添加科目三", "添加科目四", "学员结业"}));
  EXPECT_EQ(popup.x, 303);
  EXPECT_EQ(popup.y, 203);
}

}  // namespace
