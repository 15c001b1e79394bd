#include "db_fixture.h"
#include "runtime/encoding.h"

namespace dbtest {
namespace {

class FieldText : public DatabaseUnits {
 protected:
  void SetUp() override {
    DatabaseUnits::SetUp();
    file_ = folder_ / "hj.mdb";
  }
  // The text of the one column of a one-row query.
  std::string textOf(const char* selectUtf8) {
    EXPECT_TRUE(openRecords(selectUtf8)) << selectUtf8;
    return read(0).value_or("<failed>");
  }
  fs::path file_;
};

TEST_F(FieldText, ByStorageClass) {
  makeDatabase(file_, kKey, "CREATE TABLE t (x);");
  ASSERT_TRUE(openAccess(file_) && bind());
  EXPECT_EQ(textOf("SELECT NULL"), "");
  EXPECT_EQ(textOf("SELECT 42"), "42");
  EXPECT_EQ(textOf("SELECT -7"), "-7");
  EXPECT_EQ(textOf("SELECT 13800138000"), "13800138000") << "all 64 bits, not the low 32";
  EXPECT_EQ(textOf("SELECT 1.5"), "1.50000000");
  EXPECT_EQ(textOf("SELECT -0.125"), "-0.12500000");
  EXPECT_EQ(textOf("SELECT 'text'"), "text");
  EXPECT_EQ(textOf("SELECT ''"), "");
  EXPECT_EQ(textOf("SELECT x'00ff'"), "[BLOB]");
  EXPECT_EQ(textOf("SELECT zeroblob(0)"), "[BLOB]");
}

TEST_F(FieldText, ByDeclaredTypeOfAColumn) {
  makeDatabase(
      file_, kKey,
      "CREATE TABLE t (born DATE, at DATETIME, member BOOLEAN, flag BIT, fee CURRENCY, price MONEY,"
      " weight SINGLE, amount DECIMAL(10,2), ratio DOUBLE, photo LONGBINARY, note TEXT);"
      "INSERT INTO t VALUES ('2014-07-01', '2014-07-01 08:05:09.250', 1, 0, 12.5, 3, 1.25, 12, 2, x'01', 007);"
      "INSERT INTO t VALUES (2456839.5, 1404202509, 0, 5, -0.0001, 1234.56789, 0.1, 2.5, 1e-9, NULL, 'x');"
      "INSERT INTO t VALUES ('next week', '2014-13-01', 'yes', NULL, 'n/a', 1e30, NULL, NULL, NULL, NULL, NULL);");
  ASSERT_TRUE(openAccess(file_) && bind());
  ASSERT_TRUE(openRecords("SELECT * FROM t"));
  // Text dates, and numbers as the engine's own date values (Julian day, Unix seconds).
  EXPECT_EQ(read("born"), "2014-07-01 00:00:00");
  EXPECT_EQ(read("at"), "2014-07-01 08:05:09");
  EXPECT_EQ(read("member"), "TRUE");
  EXPECT_EQ(read("flag"), "FALSE");
  EXPECT_EQ(read("fee"), "12.5");
  EXPECT_EQ(read("price"), "3");
  EXPECT_EQ(read("weight"), "1.2500");
  EXPECT_EQ(read("amount"), "12.00000000") << "a whole number in a decimal column";
  EXPECT_EQ(read("ratio"), "2.00000000");
  EXPECT_EQ(read("photo"), "[BLOB]");
  EXPECT_EQ(read("note"), "7");
  ASSERT_TRUE(moveNext());
  EXPECT_EQ(read("born"), "2014-07-01 00:00:00");
  EXPECT_EQ(read("at"), "2014-07-01 08:15:09");
  EXPECT_EQ(read("member"), "FALSE");
  EXPECT_EQ(read("flag"), "TRUE");
  EXPECT_EQ(read("fee"), "-0.0001");
  EXPECT_EQ(read("price"), "1234.5679");
  EXPECT_EQ(read("weight"), "0.1000");
  EXPECT_EQ(read("amount"), "2.50000000");
  EXPECT_EQ(read("ratio"), "0.00000000");
  EXPECT_EQ(read("photo"), "");
  ASSERT_TRUE(moveNext());
  // Values that are no date or number of their column read as they are.
  EXPECT_EQ(read("born"), "next week");
  EXPECT_EQ(read("at"), "2014-13-01");
  EXPECT_EQ(read("member"), "yes");
  EXPECT_EQ(read("fee"), "n/a");
  EXPECT_EQ(read("price"), "1000000000000000019884624838656.00000000") << "beyond what currency holds";
  EXPECT_EQ(read("weight"), "");
}

// Texts go in as GB18030 and come back byte for byte, stored as UTF-8, also
// characters outside GBK (four-byte GB18030).
TEST_F(FieldText, TextsCrossTheBoundaryLosslessly) {
  makeDatabase(file_, kKey, "CREATE TABLE student (姓名 TEXT, 住址 TEXT);");
  ASSERT_TRUE(openAccess(file_) && bind());
  const std::string nameUtf8 = "张䶮𠀀";
  const std::string addressUtf8 = "北京市东城区和平里东街12号 €½";
  const std::string nameGb = rt::utf8ToGb(nameUtf8);
  ASSERT_EQ(rt::gbToUtf8(nameGb), nameUtf8);
  ASSERT_TRUE(
      execute(rt::utf8ToGb("INSERT INTO student (姓名, 住址) VALUES ('" + nameUtf8 + "', '" + addressUtf8 + "')")));
  EXPECT_EQ(queryValue(file_, kKey, "SELECT 姓名 FROM student"), nameUtf8) << "stored as UTF-8";

  ASSERT_TRUE(openRecords("SELECT * FROM student WHERE 姓名 like '%䶮%'"));
  ASSERT_EQ(recordCount(), 1);
  char* variable = nullptr;
  ASSERT_TRUE(
      ask(rt::cmd::kReadFieldText, {recordsRef(), text("姓名"_gb), TypedValue::ofPointer(&variable, rt::tag::kText)}));
  EXPECT_EQ(std::string(variable), nameGb);
  rt::Free(variable);
  EXPECT_EQ(read("住址"), addressUtf8);
}

}  // namespace
}  // namespace dbtest
