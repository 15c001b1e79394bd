#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "db/connection_text.h"
#include "db_fixture.h"
#include "runtime/encoding.h"
#include "tests/support/lock_holder.h"

namespace dbtest {
namespace {

TEST(ConnectionText, HasThePasswordKeyOnlyWhenAPasswordIsGiven) {
  std::string path = rt::utf8ToGb("C:\\驾校 data;1\\hj.mdb");
  EXPECT_EQ(db::buildConnectionText(path, "58203917460"),
            "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path + ";Jet OLEDB:Database Password=58203917460;");
  EXPECT_EQ(db::buildConnectionText(path, ""), "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path);

  auto withPassword = db::parseConnectionText(db::buildConnectionText(path, "pw;x"));
  ASSERT_TRUE(withPassword);
  EXPECT_EQ(withPassword->path, path);
  EXPECT_EQ(withPassword->password, "pw;x");
  auto without = db::parseConnectionText(db::buildConnectionText(path, ""));
  ASSERT_TRUE(without);
  EXPECT_EQ(without->path, path);
  EXPECT_EQ(without->password, "");
  EXPECT_FALSE(db::parseConnectionText("Data Source=x.db"));
}

class Connection : public DatabaseUnits {};

TEST_F(Connection, OpensWithTheRightPasswordOnly) {
  fs::path file = folder_ / "hj.mdb";
  makeDatabase(file, kKey, kPeople);
  EXPECT_FALSE(openAccess(file, "wrong"));
  EXPECT_FALSE(execute("DELETE FROM people"));
  EXPECT_FALSE(openAccess(file, ""));
  EXPECT_TRUE(openAccess(file));
  EXPECT_EQ(connection().connectionText(), db::buildConnectionText(file.string(), kKey));
  EXPECT_TRUE(execute("UPDATE people SET age = 31"));
  EXPECT_EQ(queryValue(file, kKey, "SELECT age FROM people"), "31");
}

TEST_F(Connection, AnUnencryptedFileOpensWithoutPassword) {
  fs::path file = folder_ / "plain.db";
  makeDatabase(file, "", kPeople);
  EXPECT_TRUE(openAccess(file, ""));
  EXPECT_TRUE(execute("DELETE FROM people"));
}

TEST_F(Connection, NeverCreatesOrDamagesAFileThatIsNoDatabase) {
  fs::path missing = folder_ / "hj.mdb";
  EXPECT_FALSE(openAccess(missing));
  EXPECT_FALSE(openAccess(missing, ""));
  EXPECT_TRUE(fs::is_empty(folder_.path())) << "no database, journal or other file was made";

  fs::path textFile = folder_ / "notes.mdb";
  std::ofstream(textFile) << "these are not the records you are looking for\n";
  std::string before = fileBytes(textFile);
  EXPECT_FALSE(openAccess(textFile));
  EXPECT_FALSE(openAccess(textFile, ""));
  EXPECT_EQ(fileBytes(textFile), before);

  fs::path emptyFile = folder_ / "empty.mdb";
  std::ofstream{emptyFile};
  EXPECT_FALSE(openAccess(emptyFile));
  EXPECT_FALSE(execute("CREATE TABLE t (a)"));
  EXPECT_EQ(fs::file_size(emptyFile), 0u);

  EXPECT_FALSE(openAccess(folder_.path()));
  EXPECT_FALSE(openAccess(""));
}

// Another program holds the file locked while the connection opens it.
TEST_F(Connection, ADatabaseLockedAtOpenIsOpenedAgainByTheNextAction) {
  fs::path file = folder_ / "hj.mdb";
  makeDatabase(file, kKey, kPeople);
  jxtest::ShortOpenLockWait shortWait(std::chrono::milliseconds(100));
  jxtest::LockHolder lock(file, kKey);
  ASSERT_TRUE(lock.holding());
  EXPECT_FALSE(openAccess(file));
  EXPECT_FALSE(execute("INSERT INTO people VALUES ('bob', 40)")) << "still locked";
  ASSERT_TRUE(bind());
  EXPECT_FALSE(openRecords("SELECT name FROM people")) << "still locked";
  EXPECT_FALSE(ask(rt::cmd::kBeginTrans, {connectionRef()})) << "still locked";

  lock.release();
  EXPECT_TRUE(execute("INSERT INTO people VALUES ('bob', 40)"));
  EXPECT_EQ(queryValue(file, kKey, "SELECT group_concat(name) FROM people"), "ann,bob");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path()), fs::directory_iterator()), 1) << "no other file";

  // A record set's open and a transaction are such actions as well.
  {
    jxtest::LockHolder again(file, kKey);
    ASSERT_TRUE(again.holding());
    EXPECT_FALSE(openAccess(file));
  }
  EXPECT_TRUE(openRecords("SELECT name FROM people"));
  EXPECT_EQ(recordCount(), 2);
  {
    jxtest::LockHolder again(file, kKey);
    EXPECT_FALSE(openAccess(file));
  }
  EXPECT_TRUE(ask(rt::cmd::kBeginTrans, {connectionRef()}));
  EXPECT_TRUE(ask(rt::cmd::kRollbackTrans, {connectionRef()}));
}

// Only a lock is waited out: a file that was missing, empty or no database
// at the open is not taken up later, even when a database stands there now.
TEST_F(Connection, OnlyALockMakesTheNextActionOpenAgain) {
  fs::path file = folder_ / "hj.mdb";
  for (const char* before : {"missing", "empty", "text"}) {
    fs::remove(file);
    if (std::string(before) == "empty") std::ofstream{file};
    if (std::string(before) == "text") std::ofstream(file) << "not a database";
    EXPECT_FALSE(openAccess(file)) << before;
    fs::remove(file);
    makeDatabase(file, kKey, kPeople);
    EXPECT_FALSE(execute("DELETE FROM people")) << before;
    EXPECT_FALSE(openRecords("SELECT name FROM people")) << before;
    EXPECT_EQ(queryValue(file, kKey, "SELECT count(*) FROM people"), "1") << before;
  }
  // Nor is a wrong password.
  EXPECT_FALSE(openAccess(file, "wrong"));
  EXPECT_FALSE(execute("DELETE FROM people"));
}

TEST_F(Connection, ReopeningClosesTheFirstDatabaseAndAFailedOpenLeavesItClosed) {
  fs::path first = folder_ / "first.mdb";
  fs::path second = folder_ / "second.mdb";
  makeDatabase(first, kKey, kPeople);
  makeDatabase(second, kKey, "CREATE TABLE other (x)");
  ASSERT_TRUE(openAccess(first));
  ASSERT_TRUE(openAccess(second));
  EXPECT_FALSE(execute("DELETE FROM people"));
  EXPECT_TRUE(execute("DELETE FROM other"));

  EXPECT_FALSE(openAccess(folder_ / "missing.mdb"));
  EXPECT_FALSE(execute("DELETE FROM other"));
  EXPECT_EQ(connection().connectionText(), db::buildConnectionText((folder_ / "missing.mdb").string(), kKey));
  // The open step with an empty text reopens the remembered one.
  EXPECT_TRUE(connection().open(db::buildConnectionText(first.string(), kKey)));
  EXPECT_TRUE(connection().open(""));
  EXPECT_TRUE(execute("DELETE FROM people"));
}

TEST_F(Connection, ExecuteSqlRunsExactlyOneStatement) {
  fs::path file = folder_ / "hj.mdb";
  makeDatabase(file, kKey, kPeople);
  ASSERT_TRUE(openAccess(file));
  EXPECT_FALSE(execute(""));
  EXPECT_FALSE(execute("  ;  "));
  EXPECT_FALSE(execute("DELEET FROM people"));
  EXPECT_FALSE(execute("DELETE FROM nowhere"));
  EXPECT_FALSE(execute("DELETE FROM people; DROP TABLE people"));
  EXPECT_FALSE(execute("INSERT INTO people VALUES ('bob', 1); x"));
  EXPECT_EQ(queryValue(file, kKey, "SELECT count(*) FROM people"), "1") << "nothing of a refused text ran";

  EXPECT_TRUE(execute("INSERT INTO people VALUES ('bob', 2) ; \n "));
  EXPECT_TRUE(execute("INSERT INTO people VALUES ('cy', 3)"));
  EXPECT_TRUE(execute("DELETE FROM people WHERE name = 'nobody'")) << "matching no row is no failure";
  EXPECT_EQ(queryValue(file, kKey, "SELECT count(*) FROM people"), "3");
}

TEST_F(Connection, ATimeOutAppliesToOneStatementAndIsRestored) {
  fs::path file = folder_ / "hj.mdb";
  makeDatabase(file, kKey, kPeople);
  auto executeWithin = [&](const char* sql, TypedValue timeout) {
    return ask(rt::cmd::kExecuteSql, {connectionRef(), text(sql), timeout});
  };
  EXPECT_FALSE(executeWithin("DELETE FROM people", TypedValue::ofInt(5))) << "not open";
  EXPECT_EQ(connection().commandTimeout(), db::Connection::kDefaultCommandTimeout);
  ASSERT_TRUE(openAccess(file));
  EXPECT_TRUE(executeWithin("UPDATE people SET age = 1", TypedValue::ofInt(0)));
  EXPECT_EQ(connection().commandTimeout(), db::Connection::kDefaultCommandTimeout);
  EXPECT_FALSE(executeWithin("bad statement", TypedValue::ofInt(7)));
  EXPECT_EQ(connection().commandTimeout(), db::Connection::kDefaultCommandTimeout);
  EXPECT_TRUE(executeWithin("UPDATE people SET age = 2", TypedValue::ofInt(-3)));
  EXPECT_EQ(connection().commandTimeout(), db::Connection::kDefaultCommandTimeout);

  // A statement that would never end is stopped by its time-out.
  const char* endless = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT count(*) FROM n";
  EXPECT_FALSE(executeWithin(endless, TypedValue::ofInt(1)));
  EXPECT_EQ(connection().commandTimeout(), db::Connection::kDefaultCommandTimeout);
  EXPECT_TRUE(execute("UPDATE people SET age = 3")) << "the connection works on after a stopped statement";
}

TEST_F(Connection, RollbackKeepsTheOldRowAndCommitKeepsTheNewOne) {
  fs::path file = folder_ / "hj.mdb";
  makeDatabase(file, kKey, kPeople);
  EXPECT_FALSE(ask(rt::cmd::kBeginTrans, {connectionRef()})) << "not open";
  ASSERT_TRUE(openAccess(file));
  EXPECT_FALSE(ask(rt::cmd::kCommitTrans, {connectionRef()}));
  EXPECT_FALSE(ask(rt::cmd::kRollbackTrans, {connectionRef()}));

  ASSERT_TRUE(ask(rt::cmd::kBeginTrans, {connectionRef()}));
  EXPECT_FALSE(ask(rt::cmd::kBeginTrans, {connectionRef()})) << "no nested transaction";
  EXPECT_TRUE(execute("DELETE FROM people WHERE name = 'ann'"));
  EXPECT_FALSE(execute("INSERT INTO nowhere VALUES (1)"));
  EXPECT_TRUE(ask(rt::cmd::kRollbackTrans, {connectionRef()}));
  EXPECT_EQ(queryValue(file, kKey, "SELECT name FROM people"), "ann");

  ASSERT_TRUE(ask(rt::cmd::kBeginTrans, {connectionRef()}));
  EXPECT_TRUE(execute("DELETE FROM people WHERE name = 'ann'"));
  EXPECT_TRUE(execute("INSERT INTO people VALUES ('bea', 40)"));
  EXPECT_TRUE(ask(rt::cmd::kCommitTrans, {connectionRef()}));
  EXPECT_EQ(queryValue(file, kKey, "SELECT group_concat(name) FROM people"), "bea");
}

// In a folder others may write, links may stand where the engine makes its
// journal or where the database is: nothing is written through them. A link
// to a file that does not exist yet is what the engine would follow to
// create its journal outside the folder.
TEST_F(Connection, NoWriteGoesThroughALinkPlantedAtTheJournalOrTheDatabase) {
  fs::path file = folder_ / "hj.mdb";
  fs::path victim = folder_ / "outside" / "made.txt";
  makeDatabase(file, kKey, kPeople);
  fs::create_directories(victim.parent_path());
  fs::create_symlink(victim, folder_ / "hj.mdb-journal");
  EXPECT_FALSE(openAccess(file) && execute("DELETE FROM people"));
  EXPECT_FALSE(fs::exists(victim));
  fs::remove(folder_ / "hj.mdb-journal");
  EXPECT_EQ(queryValue(file, kKey, "SELECT name FROM people"), "ann");

  fs::rename(file, folder_ / "outside" / "real.mdb");
  fs::create_symlink(folder_ / "outside" / "real.mdb", file);
  EXPECT_FALSE(openAccess(file));
}

// A child process changes the database and is killed; the parent then
// finds what the child had committed, and nothing it had not.
TEST_F(Connection, AKilledProcessLeavesCommittedChangesOnlyAndAFileThatOpens) {
  fs::path file = folder_ / "hj.mdb";
  makeDatabase(file, kKey, kPeople);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    db::Connection connection;
    bool ok = connection.openAccess(file.string(), kKey) &&
              connection.executeSql("INSERT INTO people VALUES ('committed', 1)", std::nullopt) &&
              connection.beginTransaction() && connection.executeSql("DELETE FROM people", std::nullopt) &&
              connection.executeSql("INSERT INTO people VALUES ('pending', 2)", std::nullopt);
    if (ok) raise(SIGKILL);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the child reached its kill";
  ASSERT_TRUE(openAccess(file));
  ASSERT_TRUE(bind() && openRecords("SELECT name FROM people"));
  std::vector<std::string> names;
  for (moveFirst(); !isEof(); moveNext()) names.push_back(read(0).value_or("?"));
  EXPECT_EQ(names, (std::vector<std::string>{"ann", "committed"}));
}

TEST_F(Connection, CommandsOnAUnitOfAnotherKindAnswerFalse) {
  fs::path file = folder_ / "hj.mdb";
  makeDatabase(file, kKey, kPeople);
  EXPECT_FALSE(ask(rt::cmd::kOpenAccess, {recordsRef(), text(file.string()), text(kKey)}));
  EXPECT_FALSE(ask(rt::cmd::kMoveToFirst, {connectionRef()}));
  EXPECT_FALSE(ask(rt::cmd::kSetConnection, {recordsRef(), recordsRef(kSecondRecordSetUnit)}));
  EXPECT_FALSE(
      ask(rt::cmd::kSetConnection, {recordsRef(), TypedValue::unitRef(kWindow, 0x16000099, rt::kind::kDBConnection)}));
  EXPECT_FALSE(openRecords("SELECT 1")) << "still unbound";
}

// A record set of a window that is not loaded is no unit at all: binding it
// answers false (it is not the fatal unit error) and changes nothing.
TEST_F(Connection, BindingARecordSetOfAnUnloadedWindowAnswersFalse) {
  fs::path file = folder_ / "hj.mdb";
  makeDatabase(file, kKey, kPeople);
  ASSERT_TRUE(openAccess(file));
  constexpr uint32_t kUnloadedWindow = 0x52010002;
  TypedValue unloaded = TypedValue::unitRef(kUnloadedWindow, kRecordSetUnit, rt::kind::kRecordSet);
  EXPECT_FALSE(ask(rt::cmd::kSetConnection, {unloaded, connectionRef()}));
  EXPECT_FALSE(openRecords("SELECT name FROM people")) << "the loaded record set is still unbound";
  ASSERT_TRUE(bind());
  EXPECT_TRUE(openRecords("SELECT name FROM people"));
}

}  // namespace
}  // namespace dbtest
