// What only a shared server brings: several desks at once, a connection that
// drops, the unique identity number, the settings file that names the
// server and the dialect adaptations. The admin tool's server commands are
// tested in tests/tools.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "db_fixture.h"
#include "server_fixture.h"

#include "base/regular_file.h"
#include "db/records_database.h"
#include "db/server_dialect.h"
#include "db/server_settings.h"
#include "runtime/desktop.h"

namespace dbtest {
namespace {

using Names = std::vector<std::string>;

// ------------------------------------------------------- without a server

TEST(ServerSettings, NameTheServerOnlyInTheirSectionAndKey) {
  const std::string gb = rt::utf8ToGb("[其他]\r\n连接=wrong\r\n[数据库]\r\n; 注释\r\n 连接 = host=a dbname=b \r\n");
  EXPECT_EQ(db::serverSettingOf(gb), "host=a dbname=b");
  EXPECT_EQ(db::serverSettingOf("\xEF\xBB\xBF[数据库]\n连接=dbname=u\n"), "dbname=u") << "UTF-8 with its mark";
  EXPECT_FALSE(db::serverSettingOf(rt::utf8ToGb("[数据库]\r\n连接=\r\n"))) << "an empty value names nothing";
  EXPECT_FALSE(db::serverSettingOf(rt::utf8ToGb("[其他]\r\n连接=x\r\n")));
  EXPECT_FALSE(db::serverSettingOf(""));
}

// database.ini is read at start-up: a FIFO under its name must not block
// the program, nor a huge (sparse) file fill its memory.
TEST(ServerSettings, OnlyASmallRegularFileIsRead) {
  TempFolder folder;
  const std::string records = (folder.path() / "hj.mdb").string();
  const fs::path settings = folder.path() / "database.ini";
  ASSERT_EQ(mkfifo(settings.c_str(), 0600), 0);
  EXPECT_FALSE(db::serverNamedBeside(records));
  fs::remove(settings);
  std::ofstream(settings) << "\xEF\xBB\xBF[数据库]\n连接=dbname=u\n";
  EXPECT_EQ(db::serverNamedBeside(records), "dbname=u");
  fs::resize_file(settings, base::kSettingsFileLimit + 1);
  EXPECT_FALSE(db::serverNamedBeside(records));
}

TEST(ServerSettings, FilesTheConnectionReadsAreNamed) {
  using Files = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(db::serverFileSettings("host=h sslrootcert=/a/root.crt sslkey=k.key dbname=d"),
            (Files{{"sslkey", "k.key"}, {"sslrootcert", "/a/root.crt"}}));
  EXPECT_EQ(db::serverFileSettings("postgresql://h/d?passfile=/p/pass"), (Files{{"passfile", "/p/pass"}}));
  EXPECT_TRUE(db::serverFileSettings("not a = connection 'string").empty());
}

TEST(ServerDialect, AdaptsLikeAndAsksForTheInsertionOrder) {
  auto ordered = [](std::string_view table) { return table == "student"; };
  EXPECT_EQ(db::serverStatement("select * from student", ordered), "select * from student ORDER BY \"jx_row\"");
  EXPECT_EQ(db::serverStatement("SELECT * FROM Student WHERE 姓名 like '%a\\b%' ;", ordered),
            "SELECT * FROM Student WHERE 姓名 ILIKE '%a\\\\b%' ORDER BY \"jx_row\" ;");
  EXPECT_EQ(db::serverStatement("select * from student where 姓名 LIKE '%王\\五%'", ordered),
            "select * from student where 姓名 LIKE '%王\\\\五%' ORDER BY \"jx_row\"")
      << "without ASCII letters the cheaper LIKE is exact";
  EXPECT_EQ(db::serverStatement("select * from student -- all\n", ordered),
            "select * from student ORDER BY \"jx_row\" -- all\n");
  EXPECT_EQ(db::serverStatement("select * from one", ordered), "select * from one") << "no row-order column";
  EXPECT_EQ(db::serverStatement("select count(*) from student", ordered), "select count(*) from student");
  EXPECT_EQ(db::serverStatement("select * from student order by 姓名", ordered), "select * from student order by 姓名");
  EXPECT_EQ(db::serverStatement("select * from student, one", ordered), "select * from student, one");
  EXPECT_EQ(db::serverStatement("insert into student(姓名) values ('like \\ this')", ordered),
            "insert into student(姓名) values ('like \\ this')")
      << "nothing inside a literal changes";
  EXPECT_EQ(db::serverStatement("select * from student where \"like\" = 'x'", ordered),
            "select * from student where \"like\" = 'x' ORDER BY \"jx_row\"");
  EXPECT_EQ(db::serverStatement("insert into t(a, \"b?\", c) values (?, '?', ?) -- ?\n", ordered),
            "insert into t(a, \"b?\", c) values ($1, '?', $2) -- ?\n")
      << "parameters are numbered; a ? in a name, a literal or a comment is none";
}

TEST(ServerErrors, TheServersCodeIsTakenOutOfAVerboseRefusal) {
  db::ServerFailure refused = db::failureOfVerboseMessage(
      "connection to server at \"db\" (10.0.0.5), port 5432 failed: FATAL:  28P01: password authentication failed "
      "for user \"desk\"\nLOCATION:  auth_failed, auth.c:334\n");
  EXPECT_EQ(refused.sqlState, "28P01");
  EXPECT_EQ(refused.message,
            "connection to server at \"db\" (10.0.0.5), port 5432 failed: FATAL:  password authentication failed for "
            "user \"desk\"");
  // Two addresses tried: the first refused, the second answered with its code
  // (in the server's language, which the code makes irrelevant).
  db::ServerFailure second = db::failureOfVerboseMessage(
      "connection to server at \"localhost\" (::1), port 5432 failed: Connection refused\n\tIs the server running?\n"
      "connection to server at \"localhost\" (127.0.0.1), port 5432 failed: 致命错误:  3D000: 数据库 \"x\" 不存在\n");
  EXPECT_EQ(second.sqlState, "3D000");
  EXPECT_EQ(second.message.find("3D000"), std::string::npos) << second.message;
  EXPECT_EQ(db::problemOf(second), db::ServerProblem::kNoDatabase) << "the code decides, not the first words";
  db::ServerFailure plain = db::failureOfVerboseMessage("could not translate host name \"x\" to address: ERROR:  x");
  EXPECT_EQ(plain.sqlState, "");
  EXPECT_EQ(plain.message, "could not translate host name \"x\" to address: ERROR:  x");
}

TEST(ServerErrors, ReasonsWithoutACodeAreTakenFromLibpqsWords) {
  using P = db::ServerProblem;
  auto problem = [](std::string message, bool passwordMissing = false) {
    return db::problemOf({.message = std::move(message), .sqlState = "", .passwordMissing = passwordMissing});
  };
  auto coded = [](std::string sqlState) {
    return db::problemOf({.message = "", .sqlState = std::move(sqlState), .passwordMissing = false});
  };
  EXPECT_EQ(problem("connection to server at \"h\", port 1 failed: Connection refused"), P::kRefused);
  EXPECT_EQ(problem("connection to server on socket \"/run/postgresql/.s.PGSQL.5432\" failed: No such file or "
                    "directory"),
            P::kRefused);
  EXPECT_EQ(problem("timeout expired"), P::kTimedOut);
  EXPECT_EQ(problem("could not translate host name \"nosuch\" to address: Name or service not known"), P::kUnreachable);
  EXPECT_EQ(problem("connection to server at \"h\" failed: No route to host"), P::kUnreachable);
  EXPECT_EQ(problem("connection to server at \"h\" failed: fe_sendauth: no password supplied"), P::kPasswordMissing);
  EXPECT_EQ(problem("anything", true), P::kPasswordMissing);
  EXPECT_EQ(problem("server closed the connection unexpectedly\n\tThis probably means ..."), P::kLost);
  EXPECT_EQ(problem("syntax error at or near \"x\""), P::kUnknown);
  EXPECT_EQ(coded("53300"), P::kTooManyConnections);
  EXPECT_EQ(coded("57P03"), P::kShuttingDown);
  EXPECT_EQ(coded("08006"), P::kLost);

  EXPECT_EQ(db::explainedFailure({.message = "odd failure\n", .sqlState = "", .passwordMissing = false}, "\nthen"),
            "请把括号中的信息告诉数据库管理员。\nthen\n（odd failure）");
}

// ------------------------------------------------------------ on a server

// Message boxes the library shows, recorded.
class RecordingDesktop : public rt::Desktop {
 public:
  rt::PressedButton messageBox(const std::string& textGb, const std::string&, uint32_t, void*) override {
    messages.push_back(rt::gbToUtf8(textGb));
    return rt::PressedButton::Ok;
  }
  bool fileDialog(const rt::FileDialogRequest&, std::string&) override { return false; }
  int32_t popupMenu(const std::vector<rt::PopupEntry>&, int32_t, int32_t) override { return 0; }
  void cursorPosition(int32_t& x, int32_t& y) override { x = y = 0; }
  void shellExecute(const std::string&, const std::string&, const std::string&, const std::string&, int32_t) override {}
  void beep(uint32_t, uint32_t) override {}
  std::vector<std::string> messages;
};

// A desk whose server does not answer (nothing listens on the port).
class UnreachableServer : public DatabaseUnits {
 protected:
  void SetUp() override {
    DatabaseUnits::SetUp();
    if (!rt::hasDesktop()) {
      rt::setDesktop(&desktop_);
      installed_ = true;
    }
  }
  void TearDown() override {
    if (installed_) rt::setDesktop(nullptr);
    DatabaseUnits::TearDown();
  }
  RecordingDesktop desktop_;
  bool installed_ = false;
};

TEST_F(UnreachableServer, IsReportedOnceAndEveryActionAnswersFalse) {
  ASSERT_TRUE(installed_);
  std::ofstream(folder_ / "database.ini", std::ios::binary)
      << "[\xCA\xFD\xBE\xDD\xBF\xE2]\r\n\xC1\xAC\xBD\xD3=host=127.0.0.1 port=1 dbname=none connect_timeout=2\r\n";
  EXPECT_FALSE(openAccess(folder_ / "hj.mdb"));
  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_TRUE(desktop_.messages[0].starts_with("无法连接数据库服务器：数据库服务器没有运行")) << desktop_.messages[0];
  EXPECT_NE(desktop_.messages[0].find("（connection to server at \"127.0.0.1\", port 1 failed: Connection refused"),
            std::string::npos)
      << "libpq's text follows for the administrator: " << desktop_.messages[0];
  EXPECT_FALSE(execute("delete from student"));
  EXPECT_FALSE(ask(rt::cmd::kBeginTrans, {connectionRef()}));
  ASSERT_TRUE(bind());
  EXPECT_FALSE(openRecords("select * from student"));
  EXPECT_EQ(desktop_.messages.size(), 1u) << "not again for every action";
  EXPECT_FALSE(fs::exists(folder_ / "hj.mdb")) << "no file made in its place";
}

class OnServer : public DatabaseUnits {
 protected:
  void SetUp() override {
    DatabaseUnits::SetUp();
    JX_REQUIRE_TEST_SERVER();
    makeServerRecords();
    nameServerIn(folder_.path());
    ASSERT_TRUE(openAccess(folder_ / "hj.mdb")) << "a desk needs no hj.mdb of its own";
    ASSERT_TRUE(bind());
    if (!rt::hasDesktop()) {
      rt::setDesktop(&desktop_);
      installed_ = true;
    }
  }
  void TearDown() override {
    if (installed_) rt::setDesktop(nullptr);
    DatabaseUnits::TearDown();
  }
  bool insert(const std::string& name, const std::string& identity) {
    return execute(rt::utf8ToGb("insert into student(姓名,身份证号码) values ('" + name + "','" + identity + "')"));
  }
  // Ends every server connection of the library under test (they name
  // themselves so), as a server restart or a network failure would.
  static void dropLibraryConnections() {
    onServer(
        "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = 'jiaxiao' AND pid <> "
        "pg_backend_pid()");
  }
  // Whether a message tells of the drop in Chinese with the server's text.
  // The server's own word on it ("terminating connection ...") arrives
  // only when the desk reads it before the socket's end.
  static bool toldTheDrop(const std::string& message) {
    return (message.starts_with("数据库连接已断开：与数据库服务器的连接中断了") ||
            message.starts_with("数据库连接已断开：数据库服务器正在关闭或重新启动")) &&
           (message.find("（server closed the connection unexpectedly") != std::string::npos ||
            message.find("（terminating connection due to administrator command") != std::string::npos);
  }
  RecordingDesktop desktop_;
  bool installed_ = false;
};

TEST_F(OnServer, TheIdentityNumberIsUniqueButMayStayEmpty) {
  EXPECT_TRUE(insert("甲", "110101199001011234"));
  EXPECT_FALSE(insert("乙", "110101199001011234"));
  EXPECT_TRUE(insert("丙", ""));
  EXPECT_TRUE(insert("丁", ""));
  EXPECT_EQ(onServer("SELECT string_agg(姓名, ',' ORDER BY jx_row) FROM student"), "甲,丙,丁");
}

TEST_F(OnServer, ADroppedConnectionIsReportedOnceAndTheNextActionConnectsAgain) {
  ASSERT_TRUE(insert("甲", "1"));
  dropLibraryConnections();
  EXPECT_FALSE(insert("乙", "2"));
  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_TRUE(toldTheDrop(desktop_.messages[0])) << desktop_.messages[0];
  EXPECT_TRUE(insert("丙", "3")) << "the next action connects again";
  EXPECT_EQ(onServer("SELECT string_agg(姓名, ',' ORDER BY jx_row) FROM student"), "甲,丙")
      << "the statement that failed was not sent again";
  ASSERT_TRUE(openRecords("select * from student"));
  EXPECT_EQ(recordCount(), 2);
}

// A read changes nothing, so it may be sent again on a new connection;
// inside a transaction the drop ended, it may not.
TEST_F(OnServer, AReadThatLostItsConnectionRunsAgainSilently) {
  ASSERT_TRUE(insert("甲", "1"));
  dropLibraryConnections();
  ASSERT_TRUE(openRecords("select * from student"));
  EXPECT_EQ(recordCount(), 1);
  EXPECT_TRUE(desktop_.messages.empty()) << desktop_.messages[0];

  ASSERT_TRUE(ask(rt::cmd::kBeginTrans, {connectionRef()}));
  ASSERT_TRUE(execute("delete from student where 身份证号码 = '1'"_gb));
  dropLibraryConnections();
  EXPECT_FALSE(openRecords("select * from student"));
  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_TRUE(toldTheDrop(desktop_.messages[0])) << desktop_.messages[0];
  EXPECT_FALSE(ask(rt::cmd::kRollbackTrans, {connectionRef()}));
  ASSERT_TRUE(openRecords("select * from student"));
  EXPECT_EQ(recordCount(), 1) << "the delete went with its transaction";
}

// A transaction that the drop ended stays ended: its later statements do
// not run on their own on a new connection.
TEST_F(OnServer, AStatementOfATransactionTheDropEndedNeverRunsOutsideIt) {
  ASSERT_TRUE(insert("甲", "1"));
  ASSERT_TRUE(ask(rt::cmd::kBeginTrans, {connectionRef()}));
  ASSERT_TRUE(execute("delete from student where 身份证号码 = '1'"_gb));
  dropLibraryConnections();
  EXPECT_FALSE(insert("甲改", "1"));
  EXPECT_FALSE(insert("甲改", "1")) << "still inside the ended transaction";
  EXPECT_FALSE(ask(rt::cmd::kCommitTrans, {connectionRef()}));
  EXPECT_EQ(onServer("SELECT string_agg(姓名, ',') FROM student"), "甲") << "neither half applied";
  EXPECT_TRUE(insert("乙", "2")) << "after the transaction's end the next action connects again";
  EXPECT_EQ(desktop_.messages.size(), 1u);
}

// What an office is told when the server refuses the desk: the reason in
// Chinese with what to do, libpq's text after it.
TEST_F(OnServer, RefusalsAreExplainedInChinese) {
  struct Case {
    std::string conninfo, explanation, original;
  };
  const std::string server = testServer();
  for (const Case& refused : {
           Case{server + " password=wrong", "无法连接数据库服务器：数据库用户名或密码不对。",
                "password authentication failed for user"},
           Case{server + " dbname=jx_none", "无法连接数据库服务器：数据库服务器上没有这个数据库。",
                "database \"jx_none\" does not exist"},
       }) {
    SCOPED_TRACE(refused.conninfo);
    desktop_.messages.clear();
    TempFolder other;
    std::ofstream(other.path() / "database.ini", std::ios::binary) << "\xEF\xBB\xBF[数据库]\n连接=" << refused.conninfo;
    EXPECT_FALSE(openAccess(other.path() / "hj.mdb"));
    ASSERT_EQ(desktop_.messages.size(), 1u);
    const std::string& message = desktop_.messages[0];
    EXPECT_TRUE(message.starts_with(refused.explanation)) << message;
    EXPECT_NE(message.find("（connection to server at"), std::string::npos) << message;
    EXPECT_NE(message.find(refused.original), std::string::npos) << message;
    EXPECT_EQ(message.find("28P01"), std::string::npos) << "the code is not shown: " << message;
    EXPECT_EQ(message.find("3D000"), std::string::npos) << message;
    EXPECT_EQ(message.find("LOCATION"), std::string::npos) << message;
  }
}

TEST_F(OnServer, ADeskSeesWhatAnotherDeskCommittedAtItsNextRead) {
  ASSERT_TRUE(insert("甲", "1"));
  ASSERT_TRUE(openRecords("select * from student"));
  EXPECT_EQ(recordCount(), 1);
  onServer("insert into student(姓名,身份证号码) values ('乙','2')");
  EXPECT_EQ(recordCount(), 1) << "an open record set is a snapshot";
  ASSERT_TRUE(openRecords("select * from student"));
  EXPECT_EQ(recordCount(), 2);
  ASSERT_TRUE(openRecords("SELECT * FROM student WHERE 姓名 like '%乙%'"));
  EXPECT_EQ(recordCount(), 1);
}

// Two desks (two processes, each with its own connection) register the same
// numbers, replace the same learners and delete some at once. Every number
// ends with at most one row, each registration is won by exactly one desk,
// and every replacement leaves one whole row of one desk.
TEST_F(OnServer, TwoDesksAtOnceLoseAndDuplicateNothing) {
  constexpr int kNumbers = 120;
  constexpr int kDesks = 2;
  auto desk = [&](int deskNumber) -> int {
    db::Connection connection;
    if (!connection.openAccess(rt::utf8ToGb((folder_ / "hj.mdb").string()), kKey)) return 2;
    int won = 0;
    for (int i = 0; i < kNumbers; ++i) {
      std::string sql = "insert into student(姓名,身份证号码) values ('d" + std::to_string(deskNumber) + "','" +
                        std::to_string(i) + "')";
      if (connection.executeSql(rt::utf8ToGb(sql), std::nullopt)) ++won;
    }
    // The replacement as the modification does it: delete and insert in
    // one transaction, which a failed insert rolls back.
    for (int i = 0; i < kNumbers; ++i) {
      std::string number = std::to_string(i);
      if (!connection.beginTransaction()) return 3;
      bool ok = connection.executeSql(rt::utf8ToGb("delete from student where 身份证号码= '" + number + "'"), {}) &&
                connection.executeSql(rt::utf8ToGb("insert into student(姓名,身份证号码,电话号码) values ('m" +
                                                   std::to_string(deskNumber) + "','" + number + "','" +
                                                   std::to_string(deskNumber) + "')"),
                                      {});
      if (!ok || !connection.commitTransaction()) connection.rollbackTransaction();
      if (i % 3 == 0) connection.executeSql(rt::utf8ToGb("delete from student where 身份证号码= '" + number + "'"), {});
    }
    return won >= 0 && won <= kNumbers ? 100 + won % 100 : 4;
  };
  std::vector<pid_t> children;
  for (int d = 0; d < kDesks; ++d) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(desk(d));
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) >= 100) << "the desk failed: " << status;
  }
  EXPECT_EQ(onServer("SELECT count(*) FROM (SELECT 身份证号码 FROM student GROUP BY 1 HAVING count(*) > 1) d"), "0");
  int expected = 0;
  for (int i = 0; i < kNumbers; ++i) expected += i % 3 != 0;
  EXPECT_EQ(onServer("SELECT count(*) FROM student"), std::to_string(expected))
      << "every number deleted by neither desk is still there";
  EXPECT_EQ(onServer("SELECT count(*) FROM student WHERE CAST(身份证号码 AS int) % 3 = 0"), "0");
  EXPECT_EQ(onServer("SELECT count(*) FROM student WHERE 姓名 NOT IN ('m0', 'm1', 'd0', 'd1') OR "
                     "(姓名 = 'm0' AND 电话号码 <> '0') OR (姓名 = 'm1' AND 电话号码 <> '1')"),
            "0")
      << "every row is one desk's whole row";
}

}  // namespace
}  // namespace dbtest
