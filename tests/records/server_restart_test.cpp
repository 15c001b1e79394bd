// A database server that restarts, stops or drops a connection while the
// program runs, through the real main window: a search just works after a
// restart, a stopped server is told once in Chinese, and a registration
// whose connection drops is told once and never sent again.
#include <cstdlib>

#include "records_test_support.h"

namespace {

using namespace recordstest;
using Names = std::vector<std::string>;

// The throw-away cluster's control (tests/support/with_server.sh), run with
// an action: "stop", "start", "restart".
bool controlCluster(const std::string& action) {
  const char* control = std::getenv("JX_TEST_SERVER_CONTROL");
  return control && std::system((std::string(control) + " " + action + " > /dev/null").c_str()) == 0;
}

class ServerRestart : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    if (!testServer() || !std::getenv("JX_TEST_SERVER_CONTROL"))
      GTEST_SKIP() << "needs a throw-away server the test may stop (ctest runs this under with_server.sh)";
    createDatabase(threeStudents());
    startProgram();
  }
  void TearDown() override {
    if (testServer()) controlCluster("start");  // whatever a failed test left
    AppTest::TearDown();
  }

  Names searchByName(const std::string& text) {
    typeInto(ui::编辑框1, text);
    doubleClick(ui::编辑框1);
    return columnOf(ui::超级列表框1, 1);
  }
  void registerLearner(const std::string& name, const std::string& identity) {
    typeInto(ui::编辑框1, name);
    typeInto(ui::编辑框2, identity);
    typeInto(ui::编辑框3, "13600001111");
    typeInto(ui::组合框1, "C1");
    typeInto(ui::编辑框4, "2024年5月6日");
    click(ui::添加);
  }
  int storedWith(const std::string& identity) {
    return static_cast<int>(queryRows("SELECT 姓名 FROM student WHERE 身份证号码 = '" + identity + "'").size());
  }
};

TEST_F(ServerRestart, ASearchAfterARestartListsTheRowsWithoutAMessage) {
  ASSERT_TRUE(controlCluster("restart"));
  EXPECT_EQ(searchByName("张"), (Names{"张三"}));
  EXPECT_TRUE(messages().empty()) << messages()[0].text;

  // Stopped: the search that finds no server says so once, in Chinese.
  ASSERT_TRUE(controlCluster("stop"));
  searchByName("李");
  EXPECT_EQ(rowCount(ui::超级列表框1), 0);
  searchByName("王");
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_TRUE(messages()[0].text.starts_with("无法连接数据库服务器：数据库服务器没有运行")) << messages()[0].text;
  EXPECT_NE(messages()[0].text.find("（connection to server at"), std::string::npos) << messages()[0].text;

  ASSERT_TRUE(controlCluster("start"));
  EXPECT_EQ(searchByName("王"), (Names{"王五"}));
  EXPECT_EQ(messages().size(), 1u);
}

TEST_F(ServerRestart, ARegistrationAfterARestartIsStoredOnce) {
  ASSERT_TRUE(controlCluster("restart"));
  registerLearner("赵六", "510105199506061234");
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].text, "添加记录成功！");
  EXPECT_EQ(storedWith("510105199506061234"), 1);
}

// The connection drops while the insert runs (the server ends it from
// inside the statement): the desk is told once and the insert is not sent
// again, while the look-up that follows it reads on a new connection.
TEST_F(ServerRestart, AWriteWhoseConnectionDropsIsToldOnceAndNeverSentAgain) {
  onTestServer(
      "CREATE SEQUENCE jx_attempts; "
      "CREATE FUNCTION jx_drop() RETURNS trigger LANGUAGE plpgsql AS "
      "$$BEGIN PERFORM nextval('jx_attempts'); PERFORM pg_terminate_backend(pg_backend_pid()); RETURN NEW; END$$; "
      "CREATE TRIGGER jx_drop BEFORE INSERT ON student FOR EACH ROW EXECUTE FUNCTION jx_drop()");
  registerLearner("赵六", "510105199506061234");
  onTestServer("DROP TRIGGER jx_drop ON student");

  ASSERT_EQ(messages().size(), 2u);
  // The server's own word ("terminating connection ...") reaches the desk
  // only when read before the socket's end.
  const std::string& told = messages()[0].text;
  EXPECT_TRUE(told.starts_with("数据库连接已断开：与数据库服务器的连接中断了") ||
              told.starts_with("数据库连接已断开：数据库服务器正在关闭或重新启动"))
      << told;
  EXPECT_NE(told.find("\n（"), std::string::npos) << "libpq's text follows: " << told;
  EXPECT_EQ(messages()[1].text, "错误代码Add#1！");
  EXPECT_EQ(queryRows("SELECT last_value FROM jx_attempts"), (std::vector<std::vector<std::string>>{{"1"}}))
      << "the insert was sent once";
  EXPECT_EQ(storedWith("510105199506061234"), 0);
  EXPECT_EQ(searchByName(""), (Names{"张三", "李四", "王五"}));
  EXPECT_EQ(messages().size(), 2u);
}

}  // namespace
