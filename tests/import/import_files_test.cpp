// The files people hand the import, made by independent writers: CSV in
// both encodings with quoting and line breaks, workbooks from openpyxl and
// LibreOffice (.xlsx and .xls), and hostile ones (a zip bomb, a 10 MB cell,
// a pipe under the name) that are refused cleanly.
#include <sys/stat.h>

#include <chrono>

#include "import/csv_reader.h"
#include "import_support.h"
#include "runtime/encoding.h"
#include "tests/fuzz/stored_zip.h"

namespace {

using namespace importtest;

class ImportFiles : public ::testing::Test {
 protected:
  std::unique_ptr<Table> read(const fs::path& file) {
    error_ = {};
    auto table = readFile(file, error_);
    EXPECT_TRUE(table) << error_.detail;
    return table;
  }
  ReadError refusal(const fs::path& file) {
    ReadError error;
    EXPECT_FALSE(readFile(file, error));
    EXPECT_FALSE(learner_import::failureMessage(error).empty());
    return error;
  }
  fs::path write(const std::string& name, const std::string& bytes) {
    fs::path file = folder_ / name;
    jxtest::TempFolder::write(file, bytes);
    return file;
  }

  jxtest::TempFolder folder_{"jx-import"};
  ReadError error_;
};

// One CSV text as a spreadsheet program saves it (CR LF, quotes around
// fields with commas, quotes and line breaks) reads the same from UTF-8 with
// and without its byte order mark and from GB18030; a blank line is a row of
// its own, a quoted line break is not, and spaces stay.
TEST_F(ImportFiles, CsvInEitherEncodingWithQuotesAndLineBreaks) {
  const std::string text =
      "姓名,身份证号码,住址\r\n"
      "张三,110101199003071233,\"北京市,海淀区\"\r\n"
      "\r\n"
      "\" 李四 \",11010519491231002X,\"第一行\r\n第二行 \"\"号\"\"\"\r\n"
      "王五,,𠀀字\n"
      "last,line";
  const std::vector<RowTexts> expected = {
      {1, {"姓名", "身份证号码", "住址"}},
      {2, {"张三", "110101199003071233", "北京市,海淀区"}},
      {4, {" 李四 ", "11010519491231002X", "第一行\r\n第二行 \"号\""}},
      {5, {"王五", "", "𠀀字"}},
      {6, {"last", "line"}},
  };
  std::string gb = rt::utf8ToGb(text);
  ASSERT_NE(gb, text);
  for (const auto& [name, bytes] : {std::pair{"utf8.csv", text}, {"bom.CSV", "\xEF\xBB\xBF" + text}, {"gb.csv", gb}}) {
    SCOPED_TRACE(name);
    auto table = read(write(name, bytes));
    ASSERT_TRUE(table);
    EXPECT_EQ(rowsOf(*table), expected);
  }
}

TEST_F(ImportFiles, CsvInOtherEncodingsOrWithUnbalancedQuotesIsRefused) {
  EXPECT_EQ(refusal(write("utf16.csv", std::string("\xFF\xFE"
                                                   "a\0,\0b\0",
                                                   8)))
                .failure,
            ReadFailure::kUnknownEncoding);
  EXPECT_EQ(refusal(write("bytes.csv", "\x80\x81,\xFF\n")).failure, ReadFailure::kUnknownEncoding);
  ReadError quote = refusal(write("quote.csv", "姓名,身份证号码\n张三,\"110101199003071233\n李四,1\n"));
  EXPECT_EQ(quote.failure, ReadFailure::kNotReadable);
  EXPECT_EQ(quote.row, 2u);
  EXPECT_EQ(learner_import::failureMessage(quote), "文件第 2 行的格式有误（引号不成对），无法读取。");
  EXPECT_EQ(refusal(write("stray.csv", "a,b\"c\n")).failure, ReadFailure::kNotReadable);
}

// openpyxl's cells: texts as they are, numbers in full (a whole number
// without ".0"), a number beyond 15 significant digits marked as having
// lost them, dates as the program writes them.
TEST_F(ImportFiles, XlsxFromOpenpyxlGivesTextsNumbersAndDates) {
  fs::path file = writeXlsx(
      folder_, "学员.xlsx",
      {
          {text("姓名"), text("身份证号码"), text("电话号码"), text("报名日期"), text("备注")},
          {text("张三"), number("110105491231002"), number("13800138000"), date("2024-03-05"), number("2.5")},
          {none(), none()},
          {text("李四"), number("110101199003071233"), textFormatted("0138"), date("1949-12-31"), text("true")},
      });
  auto table = read(file);
  ASSERT_TRUE(table);
  const std::vector<RowTexts> expected = {
      {1, {"姓名", "身份证号码", "电话号码", "报名日期", "备注"}},
      {2, {"张三", "110105491231002", "13800138000", "2024年3月5日", "2.5"}},
      {4, {"李四", "1.10101199003071E+17", "0138", "1949年12月31日", "true"}},
  };
  EXPECT_EQ(rowsOf(*table), expected);
  const Table::Row& last = table->row(2);
  EXPECT_EQ(table->cellAt(last, 1).kind, CellKind::kLostDigits);
  EXPECT_EQ(table->cellAt(last, 3).kind, CellKind::kDate);
  EXPECT_EQ(table->cellAt(table->row(1), 2).kind, CellKind::kNumber);
}

// LibreOffice's own files (tests/import/files): shared strings and its
// styles in .xlsx; in .xls (BIFF8) dates as date cells and numbers as
// numbers. The import reads the same cells from both.
TEST_F(ImportFiles, WorkbooksSavedByLibreOfficeReadTheSame) {
  const std::vector<RowTexts> expected = {
      {1, {"ID", "姓名", "身份证号码", "电话号码", "出生日期", "报名日期", "住址"}},
      {2, {"1", "张三", kValid, "13800138000", "1990年3月7日", "2024年3月5日", "北京市,海淀区"}},
      {3, {"2", "王五", "110105491231002", "2.25", "2000年2月29日", "2024年4月1日", "第一行\n第二行"}},
      {4, {"3", "钱七", "1.10101199003071E+17", "0138"}},
  };
  for (const char* name : {"libreoffice.xlsx", "libreoffice.xls"}) {
    SCOPED_TRACE(name);
    auto table = read(fs::path(JX_IMPORT_TEST_DIR) / "files" / name);
    ASSERT_TRUE(table);
    EXPECT_EQ(rowsOf(*table), expected);
    EXPECT_EQ(table->cellAt(table->row(3), 2).kind, CellKind::kLostDigits);
    EXPECT_EQ(table->cellAt(table->row(1), 4).kind, CellKind::kDate);
  }
}

// A workbook whose rows come out of order reads in order, as the sheet
// shows them, and one that gives a row twice is refused as damaged; a
// number's format still makes it a date, and a truth value its word.
TEST_F(ImportFiles, RowsOutOfOrderReadInOrderAndARowGivenTwiceIsRefused) {
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  auto workbook = [&](const std::string& rows) {
    return fuzz::storedZip({
        {"_rels/.rels", "<Relationships><Relationship Id=\"r\" Type=\"" + rel +
                            "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         "<workbook xmlns:r=\"" + rel + "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"s\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"s\" Type=\"" + rel +
                                           "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"t\" "
                                           "Type=\"" +
                                           rel + "/styles\" Target=\"styles.xml\"/></Relationships>"},
        {"xl/styles.xml",
         "<styleSheet><cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>"},
        {"xl/worksheets/sheet1.xml", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"},
    });
  };
  auto row = [](int number, const std::string& cells) {
    return "<row r=\"" + std::to_string(number) + "\">" + cells + "</row>";
  };
  auto text = [](const std::string& t) { return "<c t=\"inlineStr\"><is><t>" + t + "</t></is></c>"; };
  const std::string header = row(1, text("姓名") + text("报名日期") + "<c t=\"b\"><v>1</v></c>");
  const std::string second = row(2, text("张三") + "<c s=\"1\"><v>45356</v></c>");
  const std::string third = row(3, text("王五") + "<c><v>13800138000</v></c>");

  const std::vector<RowTexts> expected = {
      {1, {"姓名", "报名日期", "TRUE"}}, {2, {"张三", "2024年3月5日"}}, {3, {"王五", "13800138000"}}};
  for (const std::string& rows : {header + second + third, header + third + second}) {
    auto table = read(write("rows.xlsx", workbook(rows)));
    ASSERT_TRUE(table);
    EXPECT_EQ(rowsOf(*table), expected);
  }
  EXPECT_EQ(refusal(write("twice.xlsx", workbook(header + second + second))).failure, ReadFailure::kNotReadable);
}

// A package that unpacks to far more than the reader takes is refused
// quickly, without unpacking it; an .xls that declares a sheet far larger
// than it is costs no more than its cells; a cell of 10 MB is refused naming
// its place; a pipe planted under the name does not hold the import.
TEST_F(ImportFiles, HostileFilesAreRefusedWithTheirReason) {
  fs::path bomb = folder_ / "bomb.xlsx";
  ASSERT_EQ(runScript("bomb " + quotedArgument(bomb.string()) + " 200"), 0);
  ASSERT_LT(fs::file_size(bomb), 1u << 20) << "a zip bomb is small";
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(refusal(bomb).failure, ReadFailure::kTooLarge);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));

  // A sheet that declares 65 536 rows by 256 columns while it holds a few
  // cells reads as the cells it holds: nothing is set aside for the grid.
  fs::path original = fs::path(JX_IMPORT_TEST_DIR) / "files" / "libreoffice.xls";
  std::string xls = jxtest::TempFolder::read(original);
  const std::string dimensions("\x00\x02\x0E\x00", 4);
  size_t at = xls.find(dimensions);
  ASSERT_NE(at, std::string::npos);
  xls.replace(at + 4, 12, std::string("\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x01", 12));
  auto grid = read(write("grid.xls", xls));
  auto asWritten = read(original);
  ASSERT_TRUE(grid && asWritten);
  EXPECT_EQ(rowsOf(*grid), rowsOf(*asWritten));
  EXPECT_EQ(refusal(write("cut.xls", xls.substr(0, xls.size() / 2))).failure, ReadFailure::kNotReadable);

  std::string big(10 << 20, 'x');
  ReadError tooLong = refusal(write("big.csv", "姓名,身份证号码,住址\n张三," + kValid + "," + big + "\n"));
  EXPECT_EQ(tooLong.failure, ReadFailure::kCellTooLong);
  EXPECT_EQ(learner_import::failureMessage(tooLong), "文件第 2 行第 3 列的单元格超过 32767 个字符，无法导入。");

  ASSERT_EQ(::mkfifo((folder_ / "pipe.csv").c_str(), 0600), 0);
  EXPECT_EQ(refusal(folder_ / "pipe.csv").failure, ReadFailure::kCannotOpen);
  EXPECT_EQ(refusal(folder_ / "missing.xlsx").failure, ReadFailure::kCannotOpen);
  EXPECT_EQ(refusal(write("list.txt", "姓名\n")).failure, ReadFailure::kUnsupportedType);
  EXPECT_EQ(refusal(write("fake.xls", "not a workbook at all")).failure, ReadFailure::kNotReadable);
  EXPECT_EQ(refusal(write("fake.xlsx", "PK\x03\x04 broken")).failure, ReadFailure::kNotReadable);
}

// The table's own bounds: cells in all and columns.
TEST_F(ImportFiles, TablesStayWithinTheirLimits) {
  learner_import::TableLimits limits;
  limits.maxCells = 10;
  limits.maxColumns = 4;
  ReadError error;
  EXPECT_TRUE(learner_import::readCsv("a,b,c\n,,,\n\n1,2\n", error, limits));
  EXPECT_FALSE(learner_import::readCsv("a,b,c,d\n1,2,3,4\n5,6,7,8\n", error, limits));
  EXPECT_EQ(error.failure, ReadFailure::kTooManyCells);
  EXPECT_EQ(error.row, 3u);
  EXPECT_FALSE(learner_import::readCsv("a,,,,e\n", error, limits));
  EXPECT_EQ(error.failure, ReadFailure::kTooManyColumns);
  EXPECT_EQ(error.column, 5u);
  limits.maxTextBytes = 8;
  EXPECT_TRUE(learner_import::readCsv("abcd\nefgh\n", error, limits));
  EXPECT_FALSE(learner_import::readCsv("abcd\nefgh\ni\n", error, limits));
  EXPECT_EQ(error.failure, ReadFailure::kTooLarge);
  EXPECT_EQ(error.row, 3u);
}

}  // namespace
