// Reads answered from kept tables must be exactly the engine's answers, and
// must stop being answered from memory as soon as the database may differ.
#include "db/sqlcipher_provider.h"
#include "db/table_cache.h"
#include "db_fixture.h"

namespace dbtest {
namespace {

// Cells that a byte-wise comparison could get wrong: ASCII case, two- and
// four-byte characters, characters GB18030 stores in four bytes, the empty
// text, NULL, quotes and the like wildcards as data.
constexpr const char* kLearners =
    "CREATE TABLE student (姓名 TEXT, 身份证号码 TEXT, 备注 TEXT);"
    "INSERT INTO student VALUES"
    " ('张三', '11010119900101123X', 'Ab'), ('李四', '110101199001011234', 'aB'),"
    " ('王五', '11010119900101123x', ''), ('䶮', NULL, NULL), ('𠀀张', '3201', '50%_off'),"
    " ('O''Brien', '3202', 'it''s'), ('ÄÖ', '3203', 'äö'), ('', '', 'ab');";

const char* const kPatterns[] = {"",   "X",    "x", "123X", "张", "三",   "䶮",     "𠀀", "b",
                                 "AB", "it's", "'", "Ä",    "ä",  "1990", "nobody", "50", " "};

std::string likeSql(const std::string& column, const std::string& value) {
  std::string literal;
  for (char c : value) {
    if (c == '\'') literal += '\'';
    literal += c;
  }
  return "SELECT * FROM student WHERE " + column + " like '%" + literal + "%'";
}

class KeptTables : public DatabaseUnits {
 protected:
  void SetUp() override {
    DatabaseUnits::SetUp();
    file_ = folder_ / "hj.mdb";
    makeDatabase(file_, kKey, kLearners);
    ASSERT_TRUE(openAccess(file_));
    ASSERT_TRUE(bind());
  }

  // Every row of a statement (each cell as text, NULL as "<null>") as the
  // engine gives it on a connection of the test's own.
  std::vector<std::vector<std::string>> engineRows(const std::string& sqlUtf8) {
    db::DatabaseHandle database = db::openDatabase(file_.string(), kKey, db::OpenMode::kExistingOnly);
    sqlite3_stmt* raw = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(database.get(), sqlUtf8.c_str(), -1, &raw, nullptr), SQLITE_OK) << sqlUtf8;
    db::StatementHandle statement(raw);
    std::vector<std::vector<std::string>> rows;
    while (raw && sqlite3_step(raw) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(raw); ++c) {
        const auto* text = sqlite3_column_text(raw, c);
        row.emplace_back(text ? reinterpret_cast<const char*>(text) : "<null>");
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }

  static std::vector<std::vector<std::string>> rowsOf(const db::Snapshot& snapshot) {
    std::vector<std::vector<std::string>> rows;
    for (int32_t r = 0; r < snapshot.rowCount(); ++r) {
      std::vector<std::string> row;
      for (int32_t c = 0; c < snapshot.columnCount(); ++c) {
        db::FieldValue value = snapshot.value(r, c);
        row.emplace_back(value.storage == db::Storage::kNull ? "<null>" : std::string(value.text));
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }

  // The rows the record set holds after opening the statement, read through the commands.
  std::vector<std::string> openedNames(const std::string& sqlUtf8) {
    EXPECT_TRUE(openRecords(sqlUtf8.c_str()));
    std::vector<std::string> names;
    for (moveFirst(); !isEof(); moveNext()) names.push_back(read("姓名").value_or("<failed>"));
    return names;
  }

  fs::path file_;
};

TEST_F(KeptTables, LikeSearchesFromAKeptTableGiveTheEnginesRowsInItsOrder) {
  ASSERT_TRUE(openRecords("select * from student"));
  for (const char* column : {"姓名", "身份证号码", "备注"}) {
    for (const char* pattern : kPatterns) {
      std::string sql = likeSql(column, pattern);
      auto kept = connection().sqlcipher()->keptRows(sql);
      ASSERT_TRUE(kept) << "answered from memory: " << sql;
      EXPECT_EQ(rowsOf(*kept), engineRows(sql)) << sql;
    }
  }
  // Through the record set as the application reads it.
  EXPECT_EQ(openedNames(likeSql("身份证号码", "x")), (std::vector<std::string>{"张三", "王五"}));
}

// A kept table read again gives its texts from a GB18030 copy made once:
// every field must read exactly as it did from the fetched rows, including
// texts iconv has to convert and text that is not valid UTF-8.
TEST_F(KeptTables, FieldsReadFromAKeptTableAreTheFieldsOfTheFetchedRows) {
  ASSERT_TRUE(executeUtf8("INSERT INTO student VALUES (CAST(X'E5BC' AS TEXT), 12, 3.5)"));
  auto allFields = [this](const char* sql) {
    std::vector<std::optional<std::string>> fields;
    EXPECT_TRUE(openRecords(sql));
    for (moveFirst(); !isEof(); moveNext())
      for (int32_t column = 0; column < 3; ++column) fields.push_back(read(column));
    return fields;
  };
  auto fetched = allFields("select * from student");
  ASSERT_EQ(fetched.size(), 27u);
  EXPECT_EQ(allFields("select * from student"), fetched) << "the whole kept table";
  auto kept = connection().sqlcipher()->keptRows("select * from student");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->gbText(0, 0), std::optional<std::string_view>(rt::utf8ToGb("张三"))) << "read from the copy";
  EXPECT_FALSE(kept->gbText(3, 1)) << "NULL has no text copy";
  auto found = allFields(likeSql("备注", "b").c_str());
  auto engine = engineRows(likeSql("备注", "b"));
  EXPECT_EQ(found.size(), engine.size() * 3) << "rows picked from the kept table";
  EXPECT_EQ(fetched[24], rt::gbToUtf8(rt::utf8ToGb("\xE5\xBC")));
  EXPECT_EQ(fetched[25], "12");
}

TEST_F(KeptTables, PatternsWithWildcardsAndOtherStatementsAreLeftToTheEngine) {
  ASSERT_TRUE(openRecords("select * from student"));
  for (const char* sql : {"SELECT * FROM student WHERE 备注 like '%_%'", "SELECT * FROM student WHERE 备注 like 'a%'",
                          "SELECT * FROM student WHERE 备注 like '%50\\%%'", "SELECT 姓名 FROM student",
                          "SELECT * FROM student WHERE 备注 = 'ab'", "SELECT * FROM student ORDER BY 姓名",
                          "SELECT * FROM student WHERE 备注 like '%a%' OR 1"}) {
    EXPECT_FALSE(connection().sqlcipher()->keptRows(sql)) << sql;
  }
  EXPECT_EQ(openedNames("SELECT * FROM student WHERE 备注 like '%f_%'"), std::vector<std::string>{"𠀀张"})
      << "the engine's own answer";
}

TEST_F(KeptTables, AnyStatementOrOtherWriterEndsTheAnswersFromMemory) {
  const std::string search = likeSql("姓名", "赵");
  ASSERT_TRUE(openRecords("select * from student"));
  ASSERT_TRUE(connection().sqlcipher()->keptRows(search));

  // A statement of this connection, even one that changes nothing.
  ASSERT_TRUE(executeUtf8("UPDATE student SET 备注 = 备注 WHERE 0"));
  EXPECT_FALSE(connection().sqlcipher()->keptRows(search));
  ASSERT_TRUE(executeUtf8("INSERT INTO student VALUES ('赵六', '9', '')"));
  EXPECT_EQ(openedNames(search), std::vector<std::string>{"赵六"});

  // A commit by another connection, after the table was kept again.
  ASSERT_TRUE(openRecords("select * from student"));
  ASSERT_TRUE(connection().sqlcipher()->keptRows(search));
  {
    db::DatabaseHandle other = db::openDatabase(file_.string(), kKey, db::OpenMode::kExistingOnly);
    ASSERT_TRUE(db::runScript(other.get(), "INSERT INTO student VALUES ('赵七', '10', '')"));
  }
  EXPECT_FALSE(connection().sqlcipher()->keptRows(search));
  EXPECT_EQ(openedNames(search), (std::vector<std::string>{"赵六", "赵七"}));
}

TEST_F(KeptTables, NothingIsKeptInsideATransactionSoARollbackLeavesNoTrace) {
  ASSERT_TRUE(ask(rt::cmd::kBeginTrans, {connectionRef()}));
  ASSERT_TRUE(executeUtf8("INSERT INTO student VALUES ('赵六', '9', '')"));
  ASSERT_TRUE(openRecords("select * from student"));
  EXPECT_EQ(recordCount(), 9) << "the transaction's own row is read";
  EXPECT_FALSE(connection().sqlcipher()->keptRows(likeSql("姓名", "赵")));
  ASSERT_TRUE(ask(rt::cmd::kRollbackTrans, {connectionRef()}));
  ASSERT_TRUE(openRecords("select * from student"));
  EXPECT_EQ(recordCount(), 8);
  EXPECT_TRUE(openedNames(likeSql("姓名", "赵")).empty());
}

TEST_F(KeptTables, RepeatedSearchesKeepTheTableAndCellsThatAreNotTextStayWithTheEngine) {
  const std::string search = likeSql("身份证号码", "3");
  // The first searches go to the engine; after them the table is fetched and kept.
  for (int i = 0; i < 2; ++i) EXPECT_FALSE(connection().sqlcipher()->keptRows(search));
  EXPECT_TRUE(connection().sqlcipher()->keptRows(search));

  // Bytes stored in the column: the engine's conversion decides.
  ASSERT_TRUE(executeUtf8("INSERT INTO student VALUES ('数', X'3320', '')"));
  ASSERT_TRUE(openRecords("select * from student"));
  EXPECT_FALSE(connection().sqlcipher()->keptRows(search));
  EXPECT_TRUE(connection().sqlcipher()->keptRows(likeSql("备注", "a"))) << "other columns are still plain text";
  EXPECT_EQ(openedNames(search), (std::vector<std::string>{"张三", "李四", "王五", "𠀀张", "O'Brien", "ÄÖ", "数"}));
}

TEST_F(KeptTables, ALikeThatIsNotTheDefaultIsLeftToTheEngine) {
  ASSERT_TRUE(executeUtf8("PRAGMA case_sensitive_like = ON"));
  ASSERT_TRUE(openRecords("select * from student"));
  EXPECT_FALSE(connection().sqlcipher()->keptRows(likeSql("备注", "ab")));
  EXPECT_EQ(openedNames(likeSql("备注", "ab")), std::vector<std::string>{""});
}

TEST(TableQuery, ReadsTheTwoFormsAndNothingElse) {
  auto plain = db::parseTableQuery("  select *  FROM \"stu\"\"dent\" ");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->table, "stu\"dent");
  EXPECT_FALSE(plain->like);
  auto like = db::parseTableQuery("SELECT * FROM one WHERE 考试时间 LIKE '%2024年''5月%'");
  ASSERT_TRUE(like);
  EXPECT_EQ(like->table, "one");
  EXPECT_EQ(like->column, "考试时间");
  EXPECT_EQ(like->value, "2024年'5月");
  for (const char* other : {"SELECT * FROM one;", "SELECT * FROM one WHERE a like '%x%' ESCAPE 'x'", "SELECT * FROMone",
                            "SELECT * FROM one WHERE a like '%x'", "SELECT * FROM 1one",
                            "SELECT * FROM one WHERE a like '%x%' AND b", "SELECT * FROM one WHERE a like '%x%"})
    EXPECT_FALSE(db::parseTableQuery(other)) << other;
}

}  // namespace
}  // namespace dbtest
