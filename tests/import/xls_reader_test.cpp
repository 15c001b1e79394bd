// The .xls reader on workbooks built record by record, for what no writer at
// hand puts in a file on demand: shared strings split over CONTINUE records
// with a change of character width, formulas' cached results, RK and MULRK
// numbers, a chart before the first worksheet and one inside it, cells out
// of order and written twice; and the files it must refuse.
#include <bit>

#include "import/xls_reader.h"
#include "import_support.h"
#include "sheet/engine/biff8.h"
#include "sheet/engine/compound_file.h"

namespace {

using namespace importtest;

std::string u16le(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string u32le(uint32_t v) { return u16le(v & 0xFFFF) + u16le(v >> 16); }
std::string f64le(double v) {
  uint64_t bits = std::bit_cast<uint64_t>(v);
  return u32le(bits & 0xFFFFFFFF) + u32le(bits >> 32);
}
std::string record(uint16_t type, const std::string& body) { return u16le(type) + u16le(body.size()) + body; }
std::string cell(uint16_t row, uint16_t column, uint16_t xf) { return u16le(row) + u16le(column) + u16le(xf); }
// Characters of one byte each (the low half of UTF-16 units).
std::string narrow(const std::string& latin) { return u16le(latin.size()) + std::string(1, '\0') + latin; }

using namespace sheet::biff8;
constexpr uint16_t kShrFmla = 0x04BC;  // a shared formula, which may stand between a formula and its text
constexpr uint16_t kDateXf = 1, kBuiltInDateXf = 2;

std::string bof(uint16_t version, uint16_t kind) {
  return record(kBof, u16le(version) + u16le(kind) + std::string(12, '\0'));
}

// A workbook: the globals' records (between BOF and the sheets' entries),
// then a chart and a worksheet whose records are given.
std::string workbook(const std::string& globals, const std::string& sheetRecords, uint16_t version = kBiff8) {
  std::string chart = bof(version, 0x0020) + record(kEof, "");
  std::string sheet = bof(version, kWorksheetSubstream) + sheetRecords + record(kEof, "");
  auto boundSheet = [](uint32_t at, uint8_t type, const std::string& name) {
    return record(kBoundSheet, u32le(at) + std::string(1, '\0') + std::string(1, static_cast<char>(type)) +
                                   std::string(1, static_cast<char>(name.size())) + std::string(1, '\0') + name);
  };
  std::string head = bof(version, kGlobalsSubstream) + globals;
  size_t entries = boundSheet(0, 2, "Chart1").size() + boundSheet(0, 0, "Sheet1").size();
  size_t chartAt = head.size() + entries + record(kEof, "").size();
  head += boundSheet(chartAt, 2, "Chart1") + boundSheet(chartAt + chart.size(), 0, "Sheet1") + record(kEof, "");
  return sheet::buildCompoundFile("Workbook", head + chart + sheet);
}

// Number formats: XF 0 general, XF 1 a format of the file's own that shows
// dates, XF 2 the built-in date format 14.
std::string formats() {
  std::string xf(16, '\0');
  std::string own = xf, builtIn = xf;
  own.replace(2, 2, u16le(164));
  builtIn.replace(2, 2, u16le(14));
  return record(kFormat, u16le(164) + narrow("yyyy-mm-dd")) + record(kXf, xf) + record(kXf, own) + record(kXf, builtIn);
}

std::unique_ptr<Table> readBytes(const std::string& bytes, ReadError& error,
                                 const learner_import::TableLimits& limits = {}) {
  error = {};
  return learner_import::readXls(bytes, error, limits);
}

TEST(XlsReader, ReadsTheCellsOfTheFirstWorksheetWhateverTheirRecords) {
  // Three shared strings; the second starts narrow and goes on wide in a
  // CONTINUE record, which restates the width in its first byte.
  std::string wideHalf = u16le(0x5F20) + u16le(0x4E09);  // 张三
  std::string sst = record(kSst, u32le(3) + u32le(3) + narrow("name") + u16le(4) + std::string(1, '\0') + "ab") +
                    record(kContinue, std::string(1, '\1') + wideHalf + narrow("id"));
  std::string mulRk = cell(3, 1, 0);
  mulRk.resize(4);
  mulRk += u16le(0) + u32le((7u << 2) | 0x02) + u16le(0) + u32le((250u << 2) | 0x03) + u16le(2);
  std::string sheetRecords =
      record(kLabelSst, cell(2, 0, 0) + u32le(1)) +  // out of order: row 3 before row 1
      record(kLabel, cell(0, 0, 0) + narrow("first")) + record(kLabelSst, cell(0, 0, 0) + u32le(0)) +
      record(kLabelSst, cell(0, 1, 0) + u32le(2)) +
      record(kNumber, cell(1, 0, 0) + f64le(110101199003071233.0)) +  // lost digits
      record(kNumber, cell(1, 1, kDateXf) + f64le(45356)) +           // 2024-03-05
      record(kRk, cell(1, 2, kBuiltInDateXf) + u32le((45357u << 2) | 0x02)) +
      record(kRk, cell(1, 3, 0) + u32le((13800u << 2) | 0x02)) + record(kLabel, cell(2, 1, 0) + narrow("old")) +
      record(kLabel, cell(2, 1, 0) + narrow("new")) +  // written twice
      record(kBoolErr, cell(2, 2, 0) + std::string("\1\0", 2)) +
      record(kBoolErr, cell(2, 3, 0) + std::string("\x2A\1", 2)) + record(kMulRk, mulRk) +
      record(kFormula, cell(4, 0, 0) + f64le(42.5) + std::string(8, '\0')) +
      record(kFormula, cell(4, 1, 0) + std::string(6, '\0') + std::string("\xFF\xFF", 2) + std::string(8, '\0')) +
      record(kShrFmla, std::string(10, '\0')) + record(kString, narrow("cached")) + bof(kBiff8, 0x0020) +
      record(kNumber, cell(9, 0, 0) + f64le(1)) + record(kEof, "") +  // a chart in the sheet
      record(kNumber, cell(5, 0, 0) + f64le(1));
  ReadError error;
  auto table = readBytes(workbook(formats() + sst, sheetRecords), error);
  ASSERT_TRUE(table) << error.detail;
  const std::vector<RowTexts> expected = {
      {1, {"name", "id"}},
      {2, {"1.10101199003071E+17", "2024年3月5日", "2024年3月6日", "13800"}},
      {3, {"ab张三", "new", "TRUE", "#N/A"}},
      {4, {"", "7", "2.5"}},
      {5, {"42.5", "cached"}},
      {6, {"1"}},
  };
  EXPECT_EQ(rowsOf(*table), expected);
  EXPECT_EQ(table->cellAt(table->row(1), 0).kind, CellKind::kLostDigits);
  EXPECT_EQ(table->cellAt(table->row(1), 1).kind, CellKind::kDate);

  // In the 1904 date system the same serial is four years and a day later.
  table = readBytes(
      workbook(formats() + record(kDateMode, u16le(1)), record(kNumber, cell(0, 0, kDateXf) + f64le(45356))), error);
  ASSERT_TRUE(table) << error.detail;
  EXPECT_EQ(rowsOf(*table), (std::vector<RowTexts>{{1, {"2028年3月6日"}}}));
}

TEST(XlsReader, RefusesWhatItCannotReadWithTheReason) {
  ReadError error;
  const std::string oneCell = record(kNumber, cell(0, 0, 0) + f64le(1));
  EXPECT_FALSE(readBytes(workbook(record(kFilePass, std::string(6, '\0')), oneCell), error));
  EXPECT_EQ(error.failure, ReadFailure::kProtected);
  EXPECT_FALSE(readBytes(workbook("", oneCell, kBiff5), error));
  EXPECT_EQ(error.failure, ReadFailure::kNotReadable);
  EXPECT_EQ(error.detail, "an Excel 5.0/95 workbook (BIFF5)");
  // A cell naming a shared string the table does not have, a record shorter
  // than its cell, a shared string longer than its records.
  for (const std::string& sheetRecords :
       {record(kLabelSst, cell(0, 0, 0) + u32le(0)), record(kNumber, cell(0, 0, 0))}) {
    EXPECT_FALSE(readBytes(workbook("", sheetRecords), error));
    EXPECT_EQ(error.failure, ReadFailure::kNotReadable) << error.detail;
  }
  EXPECT_FALSE(readBytes(
      workbook(record(kSst, u32le(1) + u32le(1) + u16le(50) + std::string(1, '\0') + "short"), oneCell), error));
  EXPECT_EQ(error.failure, ReadFailure::kNotReadable);
  EXPECT_FALSE(readBytes("\xD0\xCF\x11\xE0 not a compound file", error));
  EXPECT_EQ(error.failure, ReadFailure::kNotReadable);
}

// Cells that name one long shared text over and over cannot multiply it
// beyond the table's bound on texts, nor can a file hold more cells than
// the table takes.
TEST(XlsReader, StaysWithinTheTableLimits) {
  std::string longText(8000, 'x');
  std::string sst = record(kSst, u32le(1) + u32le(1) + narrow(longText));
  std::string sheetRecords;
  for (uint16_t row = 0; row < 100; ++row) sheetRecords += record(kLabelSst, cell(row, 0, 0) + u32le(0));
  learner_import::TableLimits limits;
  limits.maxTextBytes = 50 * longText.size();
  ReadError error;
  EXPECT_FALSE(readBytes(workbook(sst, sheetRecords), error, limits));
  EXPECT_EQ(error.failure, ReadFailure::kTooLarge);
  limits.maxTextBytes = 100 * longText.size();
  EXPECT_TRUE(readBytes(workbook(sst, sheetRecords), error, limits)) << error.detail;
  limits.maxCells = 99;
  EXPECT_FALSE(readBytes(workbook(sst, sheetRecords), error, limits));
  EXPECT_EQ(error.failure, ReadFailure::kTooManyCells);
}

}  // namespace
