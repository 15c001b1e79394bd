// The engine's own rules: addresses, typed input, number formats shown for
// printing, column widths and the splitting of column spans.
#include <gtest/gtest.h>

#include "sheet/engine/address.h"
#include "sheet/engine/number_format.h"
#include "sheet/engine/typed_input.h"
#include "sheet/engine/workbook.h"

namespace {

using namespace sheet;

TEST(Addresses, CellsInEitherCaseWithOrWithoutDollars) {
  EXPECT_EQ(parseCell("C3"), (CellRef{2, 2}));
  EXPECT_EQ(parseCell("a2"), (CellRef{1, 0}));
  EXPECT_EQ(parseCell("$AB$10"), (CellRef{9, 27}));
  EXPECT_EQ(parseCell("XFD1048576"), (CellRef{kMaxRows - 1, kMaxColumns - 1}));
  for (const char* bad : {"", "3C", "C", "C0", "C3 ", " C3", "XFE1", "A1048577", "C3:", "ABCD1", "C-3", "中3"})
    EXPECT_FALSE(parseCell(bad)) << bad;
}

TEST(Addresses, RangesAreNormalisedAndNamed) {
  auto range = parseRange("D4:b2");
  ASSERT_TRUE(range);
  EXPECT_EQ(rangeName(*range), "B2:D4");
  EXPECT_EQ(range->cellCount(), 9u);
  EXPECT_EQ(rangeName(*parseRange("p100001")), "P100001");
  EXPECT_FALSE(parseRange("A1:"));
  EXPECT_FALSE(parseRange(":A1"));
  EXPECT_FALSE(parseRange("A1:B2:C3"));
  EXPECT_EQ(columnName(0), "A");
  EXPECT_EQ(columnName(25), "Z");
  EXPECT_EQ(columnName(26), "AA");
  EXPECT_EQ(columnName(kMaxColumns - 1), "XFD");
}

TEST(TypedInput, NumbersBecomeNumbersUnlessDigitsWouldBeLost) {
  struct Case {
    const char* text;
    bool number;
    double value;
  } cases[] = {
      {"42", true, 42},
      {"-3.5", true, -3.5},
      {"+7", true, 7},
      {"0123", true, 123},
      {".5", true, 0.5},
      {"5.", true, 5},
      {"123456789012345", true, 123456789012345.0},
      {"130102199001011234", false, 0},
      {"1234567890123456", false, 0},
      {"0.0000001234567890123", true, 0.0000001234567890123},
      {"13800138000", true, 13800138000.0},
      {"1,234", false, 0},
      {"12%", false, 0},
      {" 12", false, 0},
      {"12 ", false, 0},
      {"1e5", false, 0},
      {"-", false, 0},
      {".", false, 0},
      {"1.2.3", false, 0},
      {"13010219900101123X", false, 0},
  };
  for (const Case& c : cases) {
    TypedInput in = interpretTypedInput(c.text);
    EXPECT_EQ(in.isNumber, c.number) << c.text;
    if (c.number) { EXPECT_DOUBLE_EQ(in.number, c.value) << c.text; }
    EXPECT_TRUE(in.dateFormat.empty()) << c.text;
  }
}

TEST(TypedInput, DatesInTheThreeFormsBecomeSerialsWithTheirFormat) {
  TypedInput dash = interpretTypedInput("2014-5-6");
  TypedInput slash = interpretTypedInput("2014/05/06");
  TypedInput chinese = interpretTypedInput("2014年5月6日");
  for (const TypedInput& in : {dash, slash, chinese}) {
    EXPECT_TRUE(in.isNumber);
    EXPECT_EQ(in.number, 41765);  // 2014-05-06
  }
  EXPECT_EQ(dash.dateFormat, "yyyy-m-d");
  EXPECT_EQ(slash.dateFormat, "yyyy/m/d");
  EXPECT_EQ(chinese.dateFormat, "yyyy\"年\"m\"月\"d\"日\"");
  for (const char* notDate : {"2014-2-30", "2014-13-1", "1899-12-31", "2014年5月", "2014年", "1990年3月7", "14-5-6",
                              "2014-5-6日", "2014/5-6"})
    EXPECT_FALSE(interpretTypedInput(notDate).isNumber) << notDate;
}

TEST(TypedInput, SerialsCountTheLeapDayOf1900) {
  EXPECT_EQ(dateSerial(1900, 1, 1), 1);
  EXPECT_EQ(dateSerial(1900, 2, 28), 59);
  EXPECT_EQ(dateSerial(1900, 3, 1), 61);
  EXPECT_EQ(dateSerial(2000, 2, 29), 36585);
  EXPECT_FALSE(dateSerial(1900, 2, 29));  // typed, that day is not a date
  auto back = civilDate(41765.75);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->year, 2014);
  EXPECT_EQ(back->month, 5);
  EXPECT_EQ(back->day, 6);
  EXPECT_EQ(civilDate(60)->day, 29);
  EXPECT_EQ(civilDate(61)->month, 3);
}

TEST(NumberFormats, ShowNumbersAsTheirCodesSay) {
  EXPECT_EQ(formatNumber(1234.5, "General"), "1234.5");
  EXPECT_EQ(formatNumber(130102199001011234.0, "General"), "1.30102E+17");
  EXPECT_EQ(formatNumber(1.0 / 3, "General"), "0.333333333");
  EXPECT_EQ(formatNumber(1234.567, "0.00"), "1234.57");
  EXPECT_EQ(formatNumber(1234567.891, "#,##0.00"), "1,234,567.89");
  EXPECT_EQ(formatNumber(-5, "0"), "-5");
  EXPECT_EQ(formatNumber(-5, "0;(0)"), "(5)");
  EXPECT_EQ(formatNumber(0, "0;-0;\"零\""), "零");
  EXPECT_EQ(formatNumber(0.256, "0.0%"), "25.6%");
  EXPECT_EQ(formatNumber(12345, "0.00E+00"), "1.23E+04");
  EXPECT_EQ(formatNumber(41765, "yyyy\"年\"m\"月\"d\"日\""), "2014年5月6日");
  EXPECT_EQ(formatNumber(41765, "yyyy-mm-dd"), "2014-05-06");
  EXPECT_EQ(formatNumber(41765.5, "yyyy/m/d h:mm"), "2014/5/6 12:00");
  EXPECT_EQ(formatNumber(41765.25, "[$-804]上午/下午h\"时\"mm\"分\""), "上午6时00分");
  EXPECT_EQ(formatNumber(3.5, "[Red]0.0"), "3.5");
}

TEST(ColumnWidths, UserWidthsAndStoredWidthsConvertBothWays) {
  EXPECT_DOUBLE_EQ(storedColumnWidth(15), 15.7109375);
  EXPECT_DOUBLE_EQ(storedColumnWidth(8.43), 9.140625);
  EXPECT_DOUBLE_EQ(userColumnWidth(15.7109375), 15);
  for (double w : {1.0, 5.0, 9.0, 15.0, 100.0, 255.0}) EXPECT_DOUBLE_EQ(userColumnWidth(storedColumnWidth(w)), w) << w;
  EXPECT_EQ(columnPixels(storedColumnWidth(8.43)), 64);
}

TEST(ColumnWidths, SettingARangeSplitsTheSpansItCrosses) {
  Worksheet sheet("s");
  ColumnSpan wide;
  wide.first = 2;
  wide.last = 9;
  wide.width = 20;
  wide.hasFormat = true;
  wide.format = 3;
  sheet.addColumnSpan(wide);
  sheet.setColumnWidth(0, 4, 12);
  sheet.setColumnWidth(8, 8, 30);
  EXPECT_EQ(sheet.columnWidth(0), 12);
  EXPECT_EQ(sheet.columnWidth(1), 12);
  EXPECT_EQ(sheet.columnWidth(4), 12);
  EXPECT_EQ(sheet.columnWidth(5), 20);
  EXPECT_EQ(sheet.columnWidth(8), 30);
  EXPECT_EQ(sheet.columnWidth(9), 20);
  EXPECT_EQ(sheet.column(4)->format, 3u);  // the span's format stays with each part
  EXPECT_EQ(sheet.column(9)->format, 3u);
  EXPECT_FALSE(sheet.column(0)->hasFormat);
  for (size_t i = 1; i < sheet.columns().size(); ++i) EXPECT_GT(sheet.columns()[i].first, sheet.columns()[i - 1].last);
}

TEST(Cells, WritingOutOfOrderKeepsRowsAndColumnsSorted) {
  Worksheet sheet("s");
  sheet.setText({5, 3}, "d6");
  sheet.setText({5, 1}, "b6");
  sheet.setText({0, 0}, "a1");
  sheet.setNumber({5, 2}, 7);
  sheet.setText({5, 1}, "b6 again");
  const Row& row = sheet.rows().at(5);
  ASSERT_EQ(row.cells.size(), 3u);
  EXPECT_EQ(row.cells[0].column, 1);
  EXPECT_EQ(sheet.text(row.cells[0]), "b6 again");
  EXPECT_EQ(row.cells[1].number(), 7);
  EXPECT_EQ(sheet.rows().begin()->first, 0u);
  EXPECT_EQ(rangeName(*sheet.usedRange()), "A1:D6");
}

}  // namespace
