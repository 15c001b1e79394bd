// The admin tool's server commands on a throw-away database server:
// server-init and moving a folder's records onto the server.
#include <map>

#include "db/records_database.h"
#include "db/server_settings.h"
#include "tests/db/db_fixture.h"
#include "tests/db/server_fixture.h"
#include "tests/tools/admin_tool.h"

namespace dbtest {
namespace {

// The searches' trigram indexes on the server.
constexpr const char* kTrigramIndexCount = "SELECT count(*) FROM pg_indexes WHERE indexdef LIKE '%gin_trgm_ops%'";

TEST(AdminOnServer, ServerInitRefusesADatabaseThatHoldsTheTables) {
  JX_REQUIRE_TEST_SERVER();
  wipeServer();
  std::string server = std::string("'") + testServer() + "'";
  ToolRun first = runTool("server-init " + server);
  EXPECT_EQ(first.status, 0) << first.output;
  EXPECT_NE(first.output.find("trigram indexes (pg_trgm)"), std::string::npos) << first.output;
  EXPECT_EQ(onServer(kTrigramIndexCount), "10");
  onServer("insert into student(姓名) values ('kept')");
  ToolRun second = runTool("server-init " + server);
  EXPECT_EQ(second.status, 1) << second.output;
  EXPECT_NE(second.output.find("already holds"), std::string::npos) << second.output;
  EXPECT_EQ(onServer("SELECT 姓名 FROM student"), "kept");
}

TEST(AdminOnServer, WithoutTheSearchIndexesServerInitStillMakesTheTablesAndServerIndexAddsThemLater) {
  JX_REQUIRE_TEST_SERVER();
  wipeServer();
  std::string server = "'" + std::string(testServer()) + "'";
  // A function of the extension's own name is in the way: the extension
  // cannot be made, and no index is.
  onServer("CREATE FUNCTION show_trgm(text) RETURNS text[] LANGUAGE sql AS 'SELECT NULL::text[]'");
  ToolRun init = runTool("server-init " + server);
  EXPECT_EQ(init.status, 0) << init.output;
  EXPECT_NE(init.output.find("searches scan the tables"), std::string::npos) << init.output;
  EXPECT_EQ(onServer(kTrigramIndexCount), "0");
  onServer("insert into student(姓名) values ('甲')");
  EXPECT_EQ(onServer("SELECT 姓名 FROM student"), "甲");

  onServer("DROP FUNCTION show_trgm(text)");
  ToolRun added = runTool("server-index " + server);
  EXPECT_EQ(added.status, 0) << added.output;
  EXPECT_EQ(onServer(kTrigramIndexCount), "10");
  EXPECT_EQ(runTool("server-index " + server).status, 0) << "indexes present are kept";
  EXPECT_EQ(onServer(kTrigramIndexCount), "10");
  EXPECT_EQ(onServer("SELECT 姓名 FROM student"), "甲");

  wipeServer();
  ToolRun refused = runTool("server-index " + server);
  EXPECT_EQ(refused.status, 1) << refused.output;
  EXPECT_NE(refused.output.find("lacks the records tables"), std::string::npos) << refused.output;
}

TEST(AdminOnServer, MoveBringsEveryRowOfAFolderAndTheFolderThenUsesTheServer) {
  JX_REQUIRE_TEST_SERVER();
  wipeServer();
  TempFolder folder;
  std::string server = std::string("'") + testServer() + "'";
  ASSERT_EQ(runTool("server-init " + server).status, 0);
  ToolRun demo = runTool("demo " + quoted(folder.path() / "f") + " 300 --bookings 700");
  ASSERT_EQ(demo.status, 0) << demo.output;
  fs::path file = folder.path() / "f" / "hj.mdb";
  std::map<std::string, std::string> fileCounts;
  for (const db::records::Table& table : db::records::tables())
    fileCounts[std::string(table.name)] = queryValue(file, kKey, "SELECT count(*) FROM " + std::string(table.name));
  ToolRun moved = runTool("move " + quoted(folder.path() / "f") + " " + server);
  ASSERT_EQ(moved.status, 0) << moved.output;
  for (const auto& [table, count] : fileCounts) EXPECT_EQ(onServer("SELECT count(*) FROM " + table), count) << table;
  EXPECT_EQ(fileCounts["student"], "300");
  // The same rows in the same order.
  EXPECT_EQ(onServer("SELECT string_agg(身份证号码, ',' ORDER BY jx_row) FROM student"),
            queryValue(file, kKey,
                       "SELECT group_concat(身份证号码, ',') FROM (SELECT 身份证号码 FROM student ORDER BY rowid)"));
  EXPECT_TRUE(db::serverNamedBeside((folder.path() / "f" / "hj.mdb").string())) << "database.ini names the server";

  ToolRun again = runTool("move " + quoted(folder.path() / "f") + " " + server);
  EXPECT_EQ(again.status, 1) << "the server's tables are no longer empty";
  EXPECT_EQ(onServer("SELECT count(*) FROM student"), "300");
}

TEST(AdminOnServer, AMoveThatFailsLeavesTheServerEmpty) {
  JX_REQUIRE_TEST_SERVER();
  wipeServer();
  TempFolder folder;
  std::string server = std::string("'") + testServer() + "'";
  ASSERT_EQ(runTool("server-init " + server).status, 0);
  ASSERT_EQ(runTool("demo " + quoted(folder.path() / "f") + " 50").status, 0);
  fs::path file = folder.path() / "f" / "hj.mdb";
  // A file that holds one learner twice (the file's engine never refused it).
  db::DatabaseHandle database = db::openDatabase(file.string(), kKey, db::OpenMode::kExistingOnly);
  ASSERT_TRUE(database);
  ASSERT_TRUE(db::runScript(database.get(), "INSERT INTO student SELECT * FROM student LIMIT 1"));
  database.reset();
  ToolRun moved = runTool("move " + quoted(folder.path() / "f") + " " + server);
  EXPECT_EQ(moved.status, 1) << moved.output;
  EXPECT_NE(moved.output.find("student"), std::string::npos) << moved.output;
  EXPECT_EQ(onServer("SELECT count(*) FROM student"), "0");
  EXPECT_EQ(onServer("SELECT count(*) FROM one"), "0");
  EXPECT_FALSE(fs::exists(folder.path() / "f" / "database.ini"));
}

}  // namespace
}  // namespace dbtest
