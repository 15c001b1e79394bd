#include "runtime/listview/list_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// Cells written and read in every order, against a plain table of strings.
TEST(ListRowsTest, CellsMatchAPlainTableWhateverTheAccessOrder) {
  constexpr int32_t kColumns = 16;
  rt::ListRows rows;
  std::vector<std::vector<std::string>> expected;
  std::mt19937 random(20140506);
  auto pick = [&](int32_t bound) { return static_cast<int32_t>(random() % static_cast<uint32_t>(bound)); };

  for (int32_t step = 0; step < 20000; ++step) {
    int32_t action = pick(10);
    if (action == 0 || expected.empty()) {
      int32_t position = pick(static_cast<int32_t>(expected.size()) + 1);
      std::string main = "r";
      main += std::to_string(step);
      rows.insert(position, main, {});
      expected.insert(expected.begin() + position, std::vector<std::string>(kColumns));
      expected[static_cast<size_t>(position)][0] = main;
    } else if (action < 6) {
      int32_t row = pick(static_cast<int32_t>(expected.size()));
      int32_t column = pick(kColumns);
      // Empty texts and texts of varied lengths, so cells shrink and grow.
      std::string text = pick(4) == 0 ? std::string() : std::string(static_cast<size_t>(pick(12)), 'a' + pick(26));
      rows.setCell(row, column, text);
      expected[static_cast<size_t>(row)][static_cast<size_t>(column)] = text;
    } else {
      int32_t row = pick(static_cast<int32_t>(expected.size()));
      int32_t column = pick(kColumns);
      ASSERT_EQ(rows.cell(row, column), expected[static_cast<size_t>(row)][static_cast<size_t>(column)])
          << "step " << step << " row " << row << " column " << column;
    }
  }
  ASSERT_EQ(rows.rowCount(), static_cast<int32_t>(expected.size()));
  // Rows changed out of order move to the end of the buffer; what they leave
  // behind is reclaimed, so it never outgrows the rows themselves for long.
  size_t used = 0;
  for (int32_t row = 0; row < rows.rowCount(); ++row)
    for (int32_t column = 0; column < kColumns; ++column) used += rows.cell(row, column).size() + 1;
  EXPECT_LE(rows.unusedBytes(), std::max<size_t>(used + 64 * 1024, 2 * used));
  for (int32_t row = 0; row < rows.rowCount(); ++row)
    for (int32_t column = kColumns - 1; column >= 0; --column)
      ASSERT_EQ(rows.cell(row, column), expected[static_cast<size_t>(row)][static_cast<size_t>(column)]);
}

TEST(ListRowsTest, TextsEndAtTheirFirstNul) {
  rt::ListRows rows;
  rows.insert(0, std::string_view("main\0hidden", 11), {});
  rows.setCell(0, 2, std::string_view("two\0more", 8));
  EXPECT_EQ(rows.cell(0, 0), "main");
  EXPECT_EQ(rows.cell(0, 1), "");
  EXPECT_EQ(rows.cell(0, 2), "two");
  EXPECT_EQ(rows.cell(0, 3), "");
}

// A cell set from a view of another cell of the same rows (the buffer may
// move while the cell grows), and rows cleared and filled again.
TEST(ListRowsTest, CellsCopiedFromTheRowsThemselvesAndRefillsAfterClear) {
  rt::ListRows rows;
  for (int32_t i = 0; i < 3; ++i) rows.insert(i, "row" + std::to_string(i), {});
  rows.setCell(0, 1, std::string(100, 'x'));
  for (int32_t i = 0; i < 200; ++i) rows.setCell(i % 3, 2, rows.cell((i + 1) % 3, 1 + i % 2));
  EXPECT_EQ(rows.cell(0, 1), std::string(100, 'x'));

  rows.setCell(1, 3, rows.cell(0, 1));
  EXPECT_EQ(rows.cell(1, 3), std::string(100, 'x'));
  EXPECT_EQ(rows.cell(1, 0), "row1");

  rows.clear();
  EXPECT_EQ(rows.rowCount(), 0);
  EXPECT_EQ(rows.cell(0, 0), "");
  rows.insert(5, "again", {});
  rows.setCell(0, 4, "four");
  EXPECT_EQ(rows.cell(0, 0), "again");
  EXPECT_EQ(rows.cell(0, 3), "");
  EXPECT_EQ(rows.cell(0, 4), "four");
  EXPECT_EQ(rows.unusedBytes(), 0u);
}

}  // namespace
