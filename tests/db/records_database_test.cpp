// The records database's tables as the database library makes them, read
// through the library as the program reads them.
#include <gmock/gmock.h>

#include "db/records_database.h"
#include "db/schema.h"
#include "db_fixture.h"

namespace dbtest {
namespace {

using ::testing::ElementsAre;

class RecordsDatabase : public DatabaseUnits {
 protected:
  fs::path database() const { return folder_ / std::string(db::records::kFileName); }
  bool openProgramDatabase() { return openAccess(database(), std::string(db::records::kPassword).c_str()); }
};

// Rows come back in the order they were inserted, also after deletions and
// through the searches that the indexes could serve.
TEST_F(RecordsDatabase, SelectsReturnRowsInInsertionOrder) {
  makeDatabase(database(), std::string(db::records::kPassword), db::records::schemaScript());
  ASSERT_TRUE(openProgramDatabase());
  ASSERT_TRUE(bind());
  std::vector<std::string> expected;
  auto insert = [&](const std::string& id) {
    std::string date = "2024年5月" + std::to_string(9 - id.back() % 9) + "日";
    ASSERT_TRUE(executeUtf8(("insert into student(姓名,身份证号码) values ('n" + id + "','" + id + "')").c_str()));
    ASSERT_TRUE(executeUtf8(("insert into two(身份证号码,考试时间) values ('" + id + "','" + date + "')").c_str()));
    expected.push_back(id);
  };
  for (const char* id : {"9", "3", "7", "1", "5"}) insert(id);
  ASSERT_TRUE(executeUtf8(" delete from student where 身份证号码= '5'"));
  ASSERT_TRUE(executeUtf8("delete from two where 身份证号码= '5'"));
  ASSERT_TRUE(executeUtf8(" delete from student where 身份证号码= '3'"));
  ASSERT_TRUE(executeUtf8("delete from two where 身份证号码= '3'"));
  expected = {"9", "7", "1"};
  for (const char* id : {"4", "0", "8"}) insert(id);

  std::vector<std::string> ids;
  for (const std::string& row : rows("select 身份证号码 from student")) ids.push_back(row);
  EXPECT_EQ(ids, expected);
  ids.clear();
  ASSERT_TRUE(openRecords("select * from student"));
  for (moveFirst(); !isEof(); moveNext()) ids.push_back(*read("身份证号码"));
  EXPECT_EQ(ids, expected);
  ids.clear();
  ASSERT_TRUE(openRecords("SELECT * FROM student WHERE 身份证号码 like '%%'"));
  for (moveFirst(); !isEof(); moveNext()) ids.push_back(*read("身份证号码"));
  EXPECT_EQ(ids, expected);
  ids.clear();
  ASSERT_TRUE(openRecords("SELECT * FROM two WHERE 考试时间 like '%2024%'"));
  for (moveFirst(); !isEof(); moveNext()) ids.push_back(*read("身份证号码"));
  EXPECT_EQ(ids, expected);

  // One learner's bookings, looked up by number, in the order they were made.
  ASSERT_TRUE(executeUtf8("insert into two(身份证号码,考试时间) values ('7','2024年1月1日')"));
  ASSERT_TRUE(executeUtf8("insert into two(身份证号码,考试时间) values ('7','2024年12月1日')"));
  EXPECT_THAT(rows("SELECT 考试时间 FROM two WHERE 身份证号码 = '7'"),
              ElementsAre("2024年5月8日", "2024年1月1日", "2024年12月1日"));
}

}  // namespace
}  // namespace dbtest
