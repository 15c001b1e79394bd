// The same semantics from both providers: the records in the encrypted file
// and the records on a database server, driven through the library's
// commands exactly as the application drives them.
#include "db_fixture.h"
#include "server_fixture.h"

#include "db/records_database.h"

namespace dbtest {
namespace {

enum class Where { kFile, kServer };

std::string whereName(const ::testing::TestParamInfo<Where>& info) {
  return info.param == Where::kFile ? "File" : "Server";
}

class BothProviders : public DatabaseUnits, public ::testing::WithParamInterface<Where> {
 protected:
  void SetUp() override {
    DatabaseUnits::SetUp();
    if (GetParam() == Where::kServer) {
      JX_REQUIRE_TEST_SERVER();
      makeServerRecords();
      nameServerIn(folder_.path());
    } else {
      makeDatabase(folder_ / "hj.mdb", kKey, db::records::schemaScript());
    }
    ASSERT_TRUE(openAccess(folder_ / "hj.mdb"));
    ASSERT_TRUE(bind());
  }

  // A learner row with a name, an identity number and a telephone (UTF-8).
  bool insert(const std::string& name, const std::string& identity, const std::string& phone = "") {
    return execute(rt::utf8ToGb("insert into student(姓名,身份证号码,电话号码) values ('" + name + "','" + identity +
                                "','" + phone + "')"));
  }
  // A column of every row a statement reads (UTF-8), in the order given.
  std::vector<std::string> column(const std::string& sqlUtf8, const char* nameUtf8 = "姓名") {
    std::vector<std::string> values;
    EXPECT_TRUE(openRecords(sqlUtf8.c_str())) << sqlUtf8;
    for (moveFirst(); !isEof(); moveNext()) values.push_back(read(nameUtf8).value_or("<none>"));
    return values;
  }
  std::vector<std::string> names() { return column("select * from student"); }
  std::vector<std::string> namesLike(const std::string& column, const std::string& pattern) {
    return this->column("SELECT * FROM student WHERE " + column + " like '" + pattern + "'");
  }
  bool begin() { return ask(rt::cmd::kBeginTrans, {connectionRef()}); }
  bool commit() { return ask(rt::cmd::kCommitTrans, {connectionRef()}); }
  bool rollback() { return ask(rt::cmd::kRollbackTrans, {connectionRef()}); }
};

using Names = std::vector<std::string>;

TEST_P(BothProviders, ExecuteSqlRunsExactlyOneStatement) {
  EXPECT_FALSE(execute(""));
  EXPECT_FALSE(execute("  ;  "));
  EXPECT_FALSE(execute("DELEET FROM student"));
  EXPECT_FALSE(execute("DELETE FROM nowhere"));
  EXPECT_FALSE(execute("insert into student(姓名) values ('a'); delete from student"_gb));
  EXPECT_EQ(names(), Names{}) << "nothing of a refused text ran";
  EXPECT_TRUE(execute("insert into student(姓名) values ('b') ; \n "_gb));
  EXPECT_TRUE(execute("DELETE FROM student WHERE 姓名 = 'nobody'"_gb)) << "matching no row is no failure";
  EXPECT_EQ(names(), Names{"b"});
}

TEST_P(BothProviders, AFailedStatementInATransactionUndoesOnlyItself) {
  EXPECT_FALSE(commit()) << "none open";
  EXPECT_FALSE(rollback()) << "none open";
  ASSERT_TRUE(begin());
  EXPECT_FALSE(begin()) << "no nested transaction";
  EXPECT_TRUE(insert("甲", "1"));
  EXPECT_FALSE(execute("DELETE FROM nowhere"));
  EXPECT_TRUE(insert("乙", "2")) << "the transaction goes on after a failed statement";
  EXPECT_EQ(names(), (Names{"甲", "乙"})) << "the transaction reads its own rows";
  EXPECT_TRUE(commit());
  EXPECT_EQ(names(), (Names{"甲", "乙"}));

  ASSERT_TRUE(begin());
  EXPECT_TRUE(execute("delete from student"));
  EXPECT_TRUE(rollback());
  EXPECT_EQ(names(), (Names{"甲", "乙"}));
}

TEST_P(BothProviders, TextsComeBackExactlyByNameAndByIndex) {
  // A character outside the basic plane (four bytes in both encodings), a
  // quote and a backslash.
  const std::string name = "𠀀王'小\\明";
  ASSERT_TRUE(execute(rt::utf8ToGb("insert into student(姓名,身份证号码) values ('𠀀王''小\\明','110')")));
  ASSERT_TRUE(openRecords("select * from student"));
  EXPECT_EQ(recordCount(), 1);
  ASSERT_TRUE(moveFirst());
  EXPECT_EQ(read("姓名"), name);
  EXPECT_EQ(read(0), name);
  EXPECT_EQ(read(5), "110");
  EXPECT_EQ(read("性别"), "") << "the column's default is the empty text";
  EXPECT_FALSE(read("no such column"));
  EXPECT_FALSE(read(15)) << "the server's row-order column is not a field";
  EXPECT_FALSE(read(-1));
}

TEST_P(BothProviders, LikeMatchesAsciiLettersWithoutCaseAndHasNoEscapeCharacter) {
  for (const char* name : {"Zhang", "zhangsan", "a\\b", "50%", "张三", "王五"}) ASSERT_TRUE(insert(name, name));
  EXPECT_EQ(namesLike("姓名", "%ZH%"), (Names{"Zhang", "zhangsan"}));
  EXPECT_EQ(namesLike("姓名", "%a\\b%"), Names{"a\\b"}) << "a backslash is itself";
  EXPECT_EQ(namesLike("姓名", "%\\%"), Names{"a\\b"}) << "a backslash escapes nothing: the last % is a wildcard";
  EXPECT_EQ(namesLike("姓名", "%0%"), Names{"50%"});
  EXPECT_EQ(namesLike("姓名", "张_"), Names{"张三"}) << "'_' is one character, not one byte";
  EXPECT_EQ(namesLike("姓名", "%%"), (Names{"Zhang", "zhangsan", "a\\b", "50%", "张三", "王五"}));
  EXPECT_EQ(namesLike("身份证号码", "%三%"), Names{"张三"});
}

// Rows come in the order they were inserted, also after deletions and
// after a row changed in place.
TEST_P(BothProviders, RowsKeepTheOrderTheyWereInsertedIn) {
  Names expected;
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(insert("n" + std::to_string(i), std::to_string(i)));
  ASSERT_TRUE(execute("delete from student where 身份证号码 like '%5%'"_gb));
  ASSERT_TRUE(execute("update student set 电话号码 = 'x' where 姓名 = 'n3' or 姓名 = 'n7'"_gb));
  for (int i = 40; i < 45; ++i) ASSERT_TRUE(insert("n" + std::to_string(i), std::to_string(i)));
  for (int i = 0; i < 45; ++i)
    if (std::to_string(i).find('5') == std::string::npos) expected.push_back("n" + std::to_string(i));
  EXPECT_EQ(names(), expected);
  Names withOne;
  for (const std::string& name : expected)
    if (name.find('1') != std::string::npos) withOne.push_back(name);
  EXPECT_EQ(namesLike("姓名", "%1%"), withOne);
  EXPECT_EQ(column("SELECT * FROM student WHERE 身份证号码 = '7'", "电话号码"), Names{"x"});
}

TEST_P(BothProviders, AStatementThatWritesOpensNoRecordSetAndChangesNothing) {
  ASSERT_TRUE(insert("甲", "1"));
  EXPECT_FALSE(openRecords("delete from student"));
  EXPECT_FALSE(openRecords("insert into student(姓名) values ('乙')"));
  ASSERT_TRUE(begin());
  EXPECT_FALSE(openRecords("delete from student"));
  EXPECT_FALSE(openRecords("SET statement_timeout = 0")) << "a statement without rows";
  EXPECT_TRUE(insert("丙", "3")) << "the transaction goes on";
  EXPECT_TRUE(commit());
  EXPECT_EQ(names(), (Names{"甲", "丙"}));
  EXPECT_FALSE(openRecords("select * from student; delete from student"));
  EXPECT_EQ(names(), (Names{"甲", "丙"}));
}

TEST_P(BothProviders, ATimeOutStopsAStatementThatWouldNeverEnd) {
  const char* endless = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT count(*) FROM n";
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ask(rt::cmd::kExecuteSql, {connectionRef(), text(endless), TypedValue::ofInt(1)}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(connection().commandTimeout(), db::Connection::kDefaultCommandTimeout);
  EXPECT_TRUE(insert("甲", "1")) << "the connection works on";
  EXPECT_EQ(names(), Names{"甲"});
}

// ExecuteSqlWithValues: the learner (name, identity, telephone) of each
// group of three values, in UTF-8.
constexpr const char* kInsertWithValues = "insert into student(姓名,身份证号码,电话号码) values (?, ?, ?)";

class WithValues : public BothProviders {
 protected:
  // The file's schema leaves unique identity numbers to the program; here
  // the file gets the server's index, so that a run can fail in both.
  void SetUp() override {
    BothProviders::SetUp();
    if (GetParam() == Where::kFile) {
      ASSERT_TRUE(execute("CREATE UNIQUE INDEX one_identity ON student(身份证号码) WHERE 身份证号码 <> ''"_gb));
    }
  }
  // The statement (UTF-8) with values (UTF-8), each passed as a text.
  bool executeWith(const char* sqlUtf8, const std::vector<std::string>& valuesUtf8) {
    std::vector<TypedValue> args{connectionRef(), text(rt::internUtf8(sqlUtf8))};
    for (const std::string& value : valuesUtf8) args.push_back(text(rt::utf8ToGb(value)));
    return ask(rt::cmd::kExecuteSqlWithValues, std::move(args));
  }
};

TEST_P(WithValues, ValuesAreBoundAsTheyAreAndAStatementRunsOncePerGroup) {
  const std::string hostile = "'); delete from student; --";
  ASSERT_TRUE(executeWith(kInsertWithValues, {"𠀀王'小\\明", "1", "-- ?"}));
  ASSERT_TRUE(executeWith(kInsertWithValues, {hostile, "2", "", "乙", "3", "139", "丙", "4", "'"}))
      << "three learners in one call, the prepared statement used again";
  EXPECT_EQ(names(), (Names{"𠀀王'小\\明", hostile, "乙", "丙"}));
  EXPECT_EQ(column("select * from student", "电话号码"), (Names{"-- ?", "", "139", "'"}));
  EXPECT_TRUE(executeWith("update student set 电话号码 = ? where 身份证号码 = ?", {"0", "3"}))
      << "another statement in turn";
  EXPECT_TRUE(executeWith(kInsertWithValues, {"丁", "5", ""})) << "and the first again";
  EXPECT_EQ(column("select * from student", "电话号码"), (Names{"-- ?", "", "0", "'", ""}));
}

TEST_P(WithValues, AnythingButWholeGroupsOfTextsRunsNothing) {
  ASSERT_TRUE(insert("甲", "1"));
  EXPECT_FALSE(executeWith(kInsertWithValues, {})) << "no values";
  EXPECT_FALSE(executeWith(kInsertWithValues, {"乙", "2"})) << "too few";
  EXPECT_FALSE(executeWith(kInsertWithValues, {"乙", "2", "", "丙"})) << "a group and a part of one";
  EXPECT_FALSE(executeWith("delete from student", {"x"})) << "a statement without parameters";
  EXPECT_FALSE(executeWith("insert into student(姓名) values (?); delete from student", {"乙"}));
  EXPECT_FALSE(executeWith("insert into nowhere(a) values (?)", {"乙"}));
  EXPECT_FALSE(ask(rt::cmd::kExecuteSqlWithValues, {connectionRef(), text(rt::internUtf8(kInsertWithValues)), text("a"),
                                                    TypedValue::ofInt(2), text("")}))
      << "a value that is not a text";
  EXPECT_EQ(names(), Names{"甲"});
  EXPECT_TRUE(executeWith(kInsertWithValues, {"乙", "2", ""})) << "the connection works on";
}

// Each run is a statement of its own: a run that fails (a second learner
// with the same identity number) undoes only itself and ends the call, in a
// transaction or outside one, and the transaction goes on.
TEST_P(WithValues, RunsStopAtTheFirstThatFailsWhichUndoesOnlyItself) {
  ASSERT_TRUE(insert("甲", "1"));
  EXPECT_FALSE(executeWith(kInsertWithValues, {"乙", "2", "", "丙", "1", "", "丁", "4", ""}));
  EXPECT_EQ(names(), (Names{"甲", "乙"}));
  ASSERT_TRUE(begin());
  EXPECT_FALSE(executeWith(kInsertWithValues, {"戊", "5", "", "己", "2", "", "庚", "7", ""}));
  EXPECT_TRUE(executeWith(kInsertWithValues, {"辛", "8", ""})) << "the transaction goes on";
  EXPECT_TRUE(commit());
  EXPECT_EQ(names(), (Names{"甲", "乙", "戊", "辛"}));
  ASSERT_TRUE(begin());
  EXPECT_TRUE(executeWith(kInsertWithValues, {"壬", "9", ""}));
  EXPECT_TRUE(rollback());
  EXPECT_EQ(names(), (Names{"甲", "乙", "戊", "辛"})) << "the caller's rollback undoes the runs";
}

// More runs than the server is sent at once, with a failure in a later batch.
TEST_P(WithValues, ManyRunsGoInInOrder) {
  std::vector<std::string> values;
  Names expected;
  for (int i = 0; i < 600; ++i) {
    values.insert(values.end(), {"n" + std::to_string(i), std::to_string(i), ""});
    expected.push_back("n" + std::to_string(i));
  }
  std::vector<std::string> failing = values;
  failing[3 * 500 + 1] = "3";
  EXPECT_FALSE(executeWith(kInsertWithValues, failing));
  EXPECT_EQ(names(), Names(expected.begin(), expected.begin() + 500));
  ASSERT_TRUE(execute("delete from student"));
  ASSERT_TRUE(executeWith(kInsertWithValues, values));
  EXPECT_EQ(names(), expected);
}

INSTANTIATE_TEST_SUITE_P(Providers, BothProviders, ::testing::Values(Where::kFile, Where::kServer), whereName);
INSTANTIATE_TEST_SUITE_P(Providers, WithValues, ::testing::Values(Where::kFile, Where::kServer), whereName);

}  // namespace
}  // namespace dbtest
