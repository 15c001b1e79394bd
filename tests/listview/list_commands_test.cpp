#include <gtest/gtest.h>

#include "list_test_support.h"
#include "runtime/encoding.h"
#include "runtime/properties.h"

namespace {

using namespace listtest;

class ListCommandsTest : public ::testing::Test {
 protected:
  // Rows whose column 0 says where they were inserted.
  void appendRows(int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
      int32_t row = list.insert();
      list.set(row, integer(0), text("row " + std::to_string(row)));
    }
  }
  int32_t selectedRow() {
    rt::TypedValue out;
    EXPECT_TRUE(standalone.unit().readProperty(rt::prop::kListSelectedRow, out));
    return out.asInt();
  }
  void writeSelectedRow(int32_t row) {
    EXPECT_TRUE(standalone.unit().writeProperty(rt::prop::kListSelectedRow, integer(row)));
  }

  StandaloneList standalone;
  ListCommands list;
};

TEST_F(ListCommandsTest, InsertPositionsAppendOrInsertBefore) {
  EXPECT_EQ(list.insert(), 0);
  appendRows(4);
  EXPECT_EQ(list.insert(), 5);
  EXPECT_EQ(list.insert(integer(2), text("inserted")), 2);
  EXPECT_EQ(list.get(2), "inserted");
  EXPECT_EQ(list.get(3), "row 2");  // the former row 2 moved down
  EXPECT_EQ(list.insert(integer(-7), text("negative")), 7);
  EXPECT_EQ(list.insert(integer(500), text("beyond")), 8);  // past the end: appended
  EXPECT_EQ(list.rowCount(), 9);
  EXPECT_EQ(list.get(8), "beyond");
}

TEST_F(ListCommandsTest, InsertKeepsTheRowAttributes) {
  list.insert();
  list.insert(omitted(), text("main"), integer(3), integer(2), integer(4), integer(77));
  list.insert(omitted(), omitted(), integer(-5), omitted(), integer(-2), integer(-9));
  const rt::ListRows& rows = standalone.unit().model().rows();

  EXPECT_EQ(rows.attributes(0).image, -1);
  EXPECT_EQ(rows.attributes(0).indent, 0);
  EXPECT_EQ(rows.attributes(0).itemData, 0);
  EXPECT_EQ(list.get(0), "");

  EXPECT_EQ(rows.attributes(1).image, 3);
  EXPECT_EQ(rows.attributes(1).stateImage, 2);
  EXPECT_EQ(rows.attributes(1).indent, 4);
  EXPECT_EQ(rows.attributes(1).itemData, 77);
  EXPECT_EQ(list.get(1), "main");

  EXPECT_EQ(rows.attributes(2).image, -1);  // below -1 means no image
  EXPECT_EQ(rows.attributes(2).indent, 0);  // negative indents are 0
  EXPECT_EQ(rows.attributes(2).itemData, -9);
}

TEST_F(ListCommandsTest, CellsOutsideTheListChangeNothingAndReadEmpty) {
  appendRows(2);
  list.set(0, integer(15), text("last column"));
  for (auto [row, column] : {std::pair{-1, 0}, {2, 0}, {0, 16}, {0, -1}, {1, 99}})
    list.set(row, integer(column), text("outside"));
  EXPECT_EQ(list.rowCount(), 2);
  EXPECT_EQ(list.get(0, integer(15)), "last column");
  for (int32_t column = 1; column < 15; ++column) EXPECT_EQ(list.get(0, integer(column)), "");
  EXPECT_EQ(list.get(1), "row 1");
  EXPECT_EQ(list.getOwned(2), nullptr);
  EXPECT_EQ(list.getOwned(-1), nullptr);
  EXPECT_EQ(list.getOwned(0, integer(16)), nullptr);
  EXPECT_EQ(list.getOwned(0, integer(7)), nullptr);  // an empty cell is the null text
}

TEST_F(ListCommandsTest, CellTextsOfAnyLengthComeBackWhole) {
  appendRows(1);
  std::string longText;
  while (longText.size() < 3000) longText += rt::utf8ToGb("驾校学员") + "0123456789";
  longText.resize(3000);
  list.set(0, integer(5), text(longText));
  EXPECT_EQ(list.get(0, integer(5)), longText);

  // Each read is a new block of the caller's, never the list's own storage.
  char* first = list.getOwned(0, integer(5));
  char* second = list.getOwned(0, integer(5));
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, second);
  first[0] = 'X';
  EXPECT_EQ(list.get(0, integer(5)), longText);
  rt::Free(first);
  rt::Free(second);
}

TEST_F(ListCommandsTest, OmittedColumnMeansColumnZeroAndOmittedTextEmpties) {
  appendRows(1);
  list.set(0, omitted(), text("first"));
  EXPECT_EQ(list.get(0, integer(0)), "first");
  list.set(0, integer(3), text("third"));
  list.set(0, integer(4), text("fourth"));
  EXPECT_EQ(list.get(0, integer(3)), "third");

  list.set(0, integer(3), omitted());
  EXPECT_EQ(list.getOwned(0, integer(3)), nullptr);
  EXPECT_EQ(list.get(0, integer(4)), "fourth");  // the neighbours keep their texts
  EXPECT_EQ(list.get(0), "first");
  list.set(0, integer(0), text(""));
  EXPECT_EQ(list.getOwned(0), nullptr);
}

TEST_F(ListCommandsTest, SelectedRowWriteSelectsAndFocusesThenClearResetsIt) {
  appendRows(6);
  EXPECT_EQ(selectedRow(), -1);
  writeSelectedRow(3);
  EXPECT_EQ(selectedRow(), 3);
  EXPECT_EQ(standalone.view().currentIndex().row(), 3);  // the focus mark

  writeSelectedRow(40);  // no such row: the selection stays
  EXPECT_EQ(selectedRow(), 3);
  writeSelectedRow(-5);  // below -1 counts as -1: nothing selected
  EXPECT_EQ(selectedRow(), -1);
  EXPECT_FALSE(standalone.view().currentIndex().isValid());

  writeSelectedRow(5);
  list.clear();
  EXPECT_EQ(list.rowCount(), 0);
  EXPECT_EQ(selectedRow(), -1);
  EXPECT_EQ(list.insert(), 0);
  EXPECT_EQ(selectedRow(), -1);
}

TEST_F(ListCommandsTest, SelectionFollowsItsRowWhenARowIsInsertedAbove) {
  appendRows(4);
  writeSelectedRow(2);
  list.insert(integer(0), text("top"));
  EXPECT_EQ(selectedRow(), 3);
  EXPECT_EQ(list.get(selectedRow()), "row 2");
}

TEST_F(ListCommandsTest, WithoutSingleSelectionAWriteOnlyStoresTheRow) {
  appendRows(3);
  rt::TypedValue flag;
  ASSERT_TRUE(standalone.unit().readProperty(rt::prop::kListSingleSelection, flag));
  EXPECT_TRUE(flag.asBool());  // as the template stores it

  standalone.unit().writeProperty(rt::prop::kListSingleSelection, rt::TypedValue::ofBool(false));
  writeSelectedRow(1);
  EXPECT_EQ(selectedRow(), -1);
  standalone.unit().writeProperty(rt::prop::kListSingleSelection, rt::TypedValue::ofBool(true));
  writeSelectedRow(1);
  EXPECT_EQ(selectedRow(), 1);
}

TEST_F(ListCommandsTest, CommandsOnAMissingListAreFatal) {
  ListCommands missing(kWindowId, 0x16019999);
  EXPECT_EXIT(missing.rowCount(), ::testing::ExitedWithCode(255), "指定窗口或窗口组件不存在或尚未载入");

  // A unit of another kind is no list either.
  rt::UnitObject other;
  rt::registerUnitObject(kWindowId, 0x16011D2A, &other);
  ListCommands notAList(kWindowId, 0x16011D2A);
  EXPECT_EXIT(notAList.insert(), ::testing::ExitedWithCode(255), "指定窗口或窗口组件不存在或尚未载入");
  rt::unregisterUnitObject(kWindowId, 0x16011D2A);
}

TEST(ListSelectionStyleTest, ATemplateWithoutSingleSelectionOnlyStoresTheRow) {
  rt::UnitTemplate tpl = studentListTemplate();
  tpl.singleSelection = false;
  StandaloneList standalone(tpl);
  ListCommands list;
  list.insert();
  list.insert();
  rt::TypedValue out;
  ASSERT_TRUE(standalone.unit().readProperty(rt::prop::kListSingleSelection, out));
  EXPECT_FALSE(out.asBool());
  standalone.unit().writeProperty(rt::prop::kListSelectedRow, integer(1));
  standalone.unit().readProperty(rt::prop::kListSelectedRow, out);
  EXPECT_EQ(out.asInt(), -1);
}

}  // namespace
