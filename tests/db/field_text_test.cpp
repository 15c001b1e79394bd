#include <vector>

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

struct Shown {
  const char* what;  // a query, or a column of the row
  const char* text;
};

TEST_F(FieldText, ByStorageClass) {
  makeDatabase(file_, kKey, "CREATE TABLE t (x);");
  ASSERT_TRUE(openAccess(file_) && bind());
  const Shown queries[] = {
      {"SELECT NULL", ""},          {"SELECT 42", "42"},
      {"SELECT -7", "-7"},          {"SELECT 13800138000", "13800138000"},  // all 64 bits, not the low 32
      {"SELECT 1.5", "1.50000000"}, {"SELECT -0.125", "-0.12500000"},
      {"SELECT 'text'", "text"},    {"SELECT ''", ""},
      {"SELECT x'00ff'", "[BLOB]"}, {"SELECT zeroblob(0)", "[BLOB]"},
  };
  for (const Shown& query : queries) EXPECT_EQ(textOf(query.what), query.text) << query.what;
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
  const std::vector<std::vector<Shown>> rows = {
      // Text dates; a whole number in a decimal column.
      {{"born", "2014-07-01 00:00:00"},
       {"at", "2014-07-01 08:05:09"},
       {"member", "TRUE"},
       {"flag", "FALSE"},
       {"fee", "12.5"},
       {"price", "3"},
       {"weight", "1.2500"},
       {"amount", "12.00000000"},
       {"ratio", "2.00000000"},
       {"photo", "[BLOB]"},
       {"note", "7"}},
      // Numbers as the engine's own date values (Julian day, Unix seconds).
      {{"born", "2014-07-01 00:00:00"},
       {"at", "2014-07-01 08:15:09"},
       {"member", "FALSE"},
       {"flag", "TRUE"},
       {"fee", "-0.0001"},
       {"price", "1234.5679"},
       {"weight", "0.1000"},
       {"amount", "2.50000000"},
       {"ratio", "0.00000000"},
       {"photo", ""}},
      // Values that are no date or number of their column read as they are;
      // beyond what currency holds.
      {{"born", "next week"},
       {"at", "2014-13-01"},
       {"member", "yes"},
       {"fee", "n/a"},
       {"price", "1000000000000000019884624838656.00000000"},
       {"weight", ""}},
  };
  for (size_t row = 0; row < rows.size(); ++row) {
    if (row > 0) { ASSERT_TRUE(moveNext()); }
    for (const Shown& field : rows[row]) EXPECT_EQ(read(field.what), field.text) << "row " << row << " " << field.what;
  }
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
