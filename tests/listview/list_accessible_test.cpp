// What a screen reader is told about a list view: its rows as the model
// holds them, also while the list is hidden and before the view has laid
// them out, and a cell (marked invalid, never nothing) for any position the
// list does not have, such as a row a refill has just removed.
#include <gtest/gtest.h>

#include <QAccessible>

#include "list_test_support.h"
#include "runtime/properties.h"

namespace {

using namespace listtest;

class ListAccessibleTest : public ::testing::Test {
 protected:
  void fill(int32_t rows) {
    list.clear();
    for (int32_t row = 0; row < rows; ++row) {
      list.insert();
      for (int32_t column = 0; column < kColumns; ++column)
        list.set(row, integer(column), text("r" + std::to_string(row) + "c" + std::to_string(column)));
    }
    standalone.unit().widget();  // the batch is announced, as before any event
  }
  QAccessibleInterface* table() { return QAccessible::queryAccessibleInterface(&standalone.view()); }
  QAccessibleTableInterface* rows() { return table()->tableInterface(); }

  StandaloneList standalone;
  ListCommands list;
};

TEST_F(ListAccessibleTest, AHiddenListAnswersForEveryRowItHas) {
  fill(3);
  ASSERT_FALSE(standalone.view().isVisible());
  ASSERT_NE(rows(), nullptr);
  EXPECT_EQ(rows()->rowCount(), 3);
  EXPECT_EQ(rows()->columnCount(), kColumns);
  EXPECT_EQ(table()->childCount(), 4 * kColumns);  // the header row, then the rows
  for (int32_t row = 0; row < 3; ++row) {
    QAccessibleInterface* cell = rows()->cellAt(row, 5);
    ASSERT_NE(cell, nullptr) << row;
    EXPECT_TRUE(cell->isValid());
    EXPECT_EQ(cell->text(QAccessible::Name).toStdString(), "r" + std::to_string(row) + "c5");
    EXPECT_EQ(table()->indexOfChild(cell), (row + 1) * kColumns + 5);
    EXPECT_EQ(table()->child((row + 1) * kColumns + 5), cell);
    EXPECT_EQ(cell->tableCellInterface()->rowIndex(), row);
  }
  QAccessibleInterface* header = table()->child(2);
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->role(), QAccessible::ColumnHeader);
  EXPECT_EQ(header->text(QAccessible::Name).toStdString(), "column 2");
  EXPECT_EQ(rows()->columnDescription(2).toStdString(), "column 2");
}

TEST_F(ListAccessibleTest, PositionsOutsideTheListGiveAnInvalidCellNotNothing) {
  fill(2);
  standalone.parent().show();
  for (auto [row, column] : {std::pair{2, 0}, std::pair{-1, 0}, std::pair{0, kColumns}, std::pair{500, 3}}) {
    QAccessibleInterface* cell = rows()->cellAt(row, column);
    ASSERT_NE(cell, nullptr) << row << "," << column;
    EXPECT_FALSE(cell->isValid());
    ASSERT_NE(cell->tableCellInterface(), nullptr);
    EXPECT_FALSE(cell->tableCellInterface()->isSelected());
    EXPECT_EQ(cell->tableCellInterface()->rowIndex(), -1);
    EXPECT_EQ(cell->text(QAccessible::Name), QString());
    EXPECT_EQ(table()->indexOfChild(cell), -1);
  }
  EXPECT_EQ(table()->child(-1), nullptr);
}

TEST_F(ListAccessibleTest, ACellOfARowARefillRemovedIsNoLongerValid) {
  fill(5);
  standalone.parent().show();
  QAccessible::Id lastRow = QAccessible::uniqueId(rows()->cellAt(4, 1));
  QAccessible::Id firstRow = QAccessible::uniqueId(rows()->cellAt(0, 1));
  fill(2);
  QAccessibleInterface* gone = QAccessible::accessibleInterface(lastRow);
  EXPECT_TRUE(!gone || !gone->isValid());
  // A cell is a position: whatever is left of it reads the rows of now.
  QAccessibleInterface* first = QAccessible::accessibleInterface(firstRow);
  if (first) { EXPECT_EQ(first->text(QAccessible::Name).toStdString(), "r0c1"); }
  EXPECT_EQ(rows()->rowCount(), 2);
}

TEST_F(ListAccessibleTest, TheSelectedRowIsReported) {
  fill(4);
  standalone.parent().show();
  EXPECT_TRUE(standalone.unit().writeProperty(rt::prop::kListSelectedRow, integer(2)));
  EXPECT_TRUE(rows()->isRowSelected(2));
  EXPECT_FALSE(rows()->isRowSelected(1));
  EXPECT_FALSE(rows()->isRowSelected(9));
  EXPECT_EQ(rows()->selectedRows(), QList<int>{2});
  EXPECT_EQ(rows()->selectedCellCount(), kColumns);
  EXPECT_TRUE(rows()->cellAt(2, 0)->state().selected);
  EXPECT_FALSE(rows()->cellAt(1, 0)->state().selected);
  // Selecting is the user's, through clicks that raise the list's events.
  EXPECT_FALSE(rows()->selectRow(1));
  EXPECT_EQ(rows()->selectedRows(), QList<int>{2});
}

}  // namespace
