// A large table read again is fetched on a thread of its own while the
// record set reads its first rows. Whatever happens meanwhile (the table
// outgrew the room of its last read, a statement runs on the connection,
// the set is closed early, the engine fails half-way), the set must read
// exactly what a plain fetch reads, or end as a failed open does.
#include "db/rows_ahead.h"
#include "db/connection.h"
#include "db_fixture.h"

namespace dbtest {
namespace {

constexpr int kTableRows = 5000;

// Eight columns of texts, numbers and NULLs: 40 000 cells, enough to be read
// ahead once the table's size is known from a first read.
std::string learnersScript(int first, int last) {
  return "WITH RECURSIVE k(n) AS (SELECT " + std::to_string(first) + " UNION ALL SELECT n + 1 FROM k WHERE n < " +
         std::to_string(last) +
         ") INSERT INTO learners SELECT n, '张' || n, printf('%018d', n), '138' || n,"
         " CASE WHEN n % 7 = 0 THEN NULL ELSE 'note ' || n END, n / 4.0, '教练' || (n % 13),"
         " substr('abcdefghij', 1, n % 10) FROM k;";
}

// The table's rows whatever the view's flag; from row `failing.bad` on, the
// view's rows fail (an integer overflow) once the flag is set.
constexpr const char* kFailingView =
    "CREATE TABLE failing (bad INTEGER); INSERT INTO failing VALUES (-1);"
    "CREATE VIEW boom AS SELECT learners.*,"
    " CASE WHEN n = (SELECT bad FROM failing) THEN abs(-9223372036854775807 - 1) END AS fault FROM learners;";

constexpr const char* kWholeTable = "SELECT * FROM learners";
// The same rows through a statement that is never read ahead.
constexpr const char* kWholeTableFetched = "SELECT * FROM learners WHERE 1";

class RowsAhead : public DatabaseUnits {
 protected:
  void SetUp() override {
    DatabaseUnits::SetUp();
    file_ = folder_ / "hj.mdb";
    makeDatabase(file_, kKey,
                 "CREATE TABLE learners (n INTEGER, name TEXT, id TEXT, phone TEXT, note TEXT, paid REAL, coach TEXT,"
                 " extra TEXT);" +
                     learnersScript(1, kTableRows) + kFailingView);
    ASSERT_TRUE(openAccess(file_));
    ASSERT_TRUE(bind());
    // A first read tells the size of the table; a statement then makes the
    // next read fetch it again.
    ASSERT_EQ(rows(kWholeTable).size(), static_cast<size_t>(kTableRows));
    ASSERT_TRUE(touch());
  }

  // A statement that changes nothing but ends the answers from memory.
  bool touch() { return executeUtf8("UPDATE learners SET n = n WHERE n = 1"); }

  // Whether the connection reads `sqlUtf8` ahead now (the read is then
  // settled by the connection's next statement).
  bool readsAhead(const char* sqlUtf8) { return connection().readRows(sqlUtf8).ahead != nullptr; }

  // The rows of the open set from the current record on, as rows() joins them.
  std::vector<std::string> restOfSet(int32_t columns) {
    std::vector<std::string> result;
    for (; !isEof(); moveNext()) {
      std::string row;
      for (int32_t i = 0; i < columns; ++i) row.append(i ? "|" : "").append(read(i).value_or("?"));
      result.push_back(row);
    }
    return result;
  }

  fs::path file_;
};

TEST_F(RowsAhead, AWholeTableReadAgainIsReadWhileFetchedAndGivesTheFetchedRows) {
  EXPECT_TRUE(readsAhead(kWholeTable));
  EXPECT_FALSE(readsAhead(kWholeTableFetched)) << "only a table whose size is known";
  ASSERT_TRUE(touch());

  std::vector<std::string> fetched = rows(kWholeTableFetched);
  ASSERT_TRUE(touch());
  EXPECT_EQ(rows(kWholeTable), fetched);

  ASSERT_TRUE(touch());
  ASSERT_TRUE(openRecords(kWholeTable));
  EXPECT_EQ(recordCount(), kTableRows) << "the count waits for every row";
  ASSERT_TRUE(moveTo(kTableRows - 1));
  EXPECT_EQ(read("n"), std::to_string(kTableRows));
  EXPECT_FALSE(moveTo(kTableRows + 1));
  EXPECT_TRUE(isEof());

  ASSERT_TRUE(touch());
  ASSERT_TRUE(openRecords(kWholeTable));
  ASSERT_TRUE(moveTo(kTableRows / 2)) << "a jump beyond the rows fetched so far";
  EXPECT_EQ(restOfSet(8), std::vector<std::string>(fetched.begin() + kTableRows / 2, fetched.end()));
}

TEST_F(RowsAhead, ATableGrownOrShrunkBeyondItsLastReadIsReadWhole) {
  // Half as large again: the room taken from the last read runs out and the
  // fetch takes more while the reader waits.
  ASSERT_TRUE(executeUtf8(learnersScript(kTableRows + 1, kTableRows * 3 / 2).c_str()));
  std::vector<std::string> fetched = rows(kWholeTableFetched);
  ASSERT_EQ(fetched.size(), static_cast<size_t>(kTableRows * 3 / 2));
  ASSERT_TRUE(touch());
  EXPECT_EQ(rows(kWholeTable), fetched);

  // Or while the connection waits for the fetch, used before the reader gets there.
  ASSERT_TRUE(executeUtf8(learnersScript(kTableRows * 3 / 2 + 1, kTableRows * 3).c_str()));
  ASSERT_TRUE(openRecords(kWholeTable));
  ASSERT_TRUE(moveFirst());
  ASSERT_TRUE(touch());
  EXPECT_EQ(restOfSet(8).size(), static_cast<size_t>(kTableRows * 3));

  ASSERT_TRUE(executeUtf8("DELETE FROM learners WHERE n > 10"));
  EXPECT_EQ(rows(kWholeTable), rows(kWholeTableFetched));
  EXPECT_EQ(rows(kWholeTable).size(), 10u);
}

TEST_F(RowsAhead, AStatementRunWhileRowsAreFetchedWaitsAndTheSetKeepsTheRowsOfItsOpen) {
  std::vector<std::string> before = rows(kWholeTableFetched);
  ASSERT_TRUE(touch());
  ASSERT_TRUE(openRecords(kWholeTable));
  ASSERT_TRUE(moveFirst());
  ASSERT_TRUE(executeUtf8("DELETE FROM learners WHERE n > 10"));
  EXPECT_EQ(restOfSet(8), before);
  EXPECT_EQ(queryValue(file_, kKey, "SELECT count(*) FROM learners"), "10");
  EXPECT_EQ(rows(kWholeTable).size(), 10u) << "the rows read before the change were not kept as the table's";
}

TEST_F(RowsAhead, ASetClosedBeforeItsEndStopsTheFetchAndLeavesNoPartOfTheTableKept) {
  std::vector<std::string> fetched = rows(kWholeTableFetched);
  for (int attempt = 0; attempt < 3; ++attempt) {
    ASSERT_TRUE(touch());
    ASSERT_TRUE(openRecords(kWholeTable));
    ASSERT_TRUE(moveFirst());
    EXPECT_EQ(read("n"), "1");
    ASSERT_TRUE(openRecords(kWholeTableFetched)) << "the reopen closes the set";
    EXPECT_EQ(rows(kWholeTable), fetched) << "answered from memory only if all was fetched";
    EXPECT_EQ(rows(kWholeTable), fetched);
  }
}

TEST_F(RowsAhead, AFetchThatFailsHalfWayEndsTheSetAfterTheRowsBeforeAsAFailedOpenLeavesIt) {
  constexpr int kFailingRow = 3000;
  constexpr const char* kView = "SELECT * FROM boom";
  std::vector<std::string> whole = rows(kView);
  ASSERT_EQ(whole.size(), static_cast<size_t>(kTableRows));
  ASSERT_TRUE(executeUtf8(("UPDATE failing SET bad = " + std::to_string(kFailingRow)).c_str()));
  ASSERT_TRUE(readsAhead(kView)) << "the view's size is known from its first read";
  ASSERT_TRUE(touch());

  ASSERT_TRUE(openRecords(kView)) << "the failure comes after the open";
  std::vector<std::string> before = restOfSet(9);
  EXPECT_EQ(before, std::vector<std::string>(whole.begin(), whole.begin() + kFailingRow - 1));
  EXPECT_TRUE(isEof());
  EXPECT_EQ(recordCount(), -1) << "closed";
  EXPECT_FALSE(read("n"));
  EXPECT_FALSE(moveFirst());

  ASSERT_TRUE(touch());
  ASSERT_TRUE(openRecords(kView));
  EXPECT_EQ(recordCount(), -1) << "the count of a failing fetch is a closed set's";

  ASSERT_TRUE(executeUtf8("UPDATE failing SET bad = -1"));
  EXPECT_EQ(rows(kView), whole) << "nothing of the failed reads was kept";
}

}  // namespace
}  // namespace dbtest
