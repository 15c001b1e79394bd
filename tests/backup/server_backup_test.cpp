// A folder whose records are on a server: the backup holds pg_dump's
// custom format and never the password; a restore goes into an empty
// database only. Runs when JX_TEST_SERVER names a throw-away server.
#include <gmock/gmock.h>

#include <cstdlib>

#include "backup/make_backup.h"
#include "backup/records_part.h"
#include "backup/restore.h"
#include "backup/zip_archive.h"
#include "backup_test_support.h"
#include "tests/db/server_fixture.h"

namespace backuptest {
namespace {

using ::testing::HasSubstr;

// The server's rows of every table, in insertion order, as text.
TableRows serverRows(const std::string& conninfo) {
  TableRows rows;
  std::string error;
  db::ServerConnectionHandle connection = db::connectToServer(conninfo, &error);
  EXPECT_TRUE(connection) << error;
  for (const auto& table : db::records::tables()) {
    auto& tableRows = rows[std::string(table.name)];
    db::ServerResult result(
        PQexec(connection.get(), ("SELECT * FROM \"" + std::string(table.name) + "\" ORDER BY jx_row").c_str()));
    for (int r = 0; r < PQntuples(result.get()); ++r) {
      std::vector<std::string> row;
      for (int c = 0; c < PQnfields(result.get()); ++c)
        row.emplace_back(PQgetisnull(result.get(), r, c) ? "<null>" : PQgetvalue(result.get(), r, c));
      tableRows.push_back(std::move(row));
    }
  }
  return rows;
}

class ServerBackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    JX_REQUIRE_TEST_SERVER();
    dbtest::makeServerRecords();
    dbtest::onServer(
        "INSERT INTO student (姓名, 身份证号码) VALUES ('张三', '110101199001011234'), ('李四', '110101199001015678');"
        "INSERT INTO one (身份证号码, 考试时间) VALUES ('110101199001011234', '2024年5月1日');"
        "INSERT INTO graduation (姓名) VALUES ('王五');");
    // The password, when the cluster has one, is written into database.ini
    // to prove that it never reaches the archive.
    conninfo_ = dbtest::testServer();
    if (const char* password = std::getenv("PGPASSWORD"); password && *password) {
      password_ = password;
      conninfo_ += " password=" + password_;
    }
    // Written as the admin tool writes it: UTF-8 with its mark.
    jxtest::TempFolder::write(school_.path() / "database.ini", "\xEF\xBB\xBF[数据库]\n连接=" + conninfo_ + "\n");
  }

  SchoolFolder school_;
  std::string conninfo_;
  std::string password_;
};

TEST_F(ServerBackupTest, ServerRecordsGoBackIntoAnEmptyDatabaseOnly) {
  const TableRows before = serverRows(dbtest::testServer());
  backup::BackupRequest request;
  request.folder = school_.path();
  backup::BackupReport made = backup::makeBackup(request);
  ASSERT_TRUE(made.ok) << made.why;
  EXPECT_EQ(made.manifest.records, backup::RecordsKind::kServer);
  EXPECT_EQ(made.manifest.rowsOf("student"), 2);
  EXPECT_EQ(made.manifest.rowsOf("graduation"), 1);
  EXPECT_FALSE(made.manifest.file("hj.mdb"));
  if (!password_.empty()) {
    std::string why;
    auto archive = backup::ArchiveReader::open(made.archive, &why);
    ASSERT_TRUE(archive) << why;
    EXPECT_THAT(*archive->readSmall("database.ini", 4096, &why), ::testing::Not(HasSubstr(password_)));
    EXPECT_THAT(jxtest::TempFolder::read(made.archive), ::testing::Not(HasSubstr(password_)));
  }

  backup::RestoreRequest restore;
  restore.archive = made.archive;
  restore.folder = school_.path();
  const auto contents = folderContents(school_.path());
  backup::RestoreReport refused = backup::restoreBackup(restore);
  EXPECT_FALSE(refused.ok);
  EXPECT_THAT(refused.why, HasSubstr("already holds records"));
  EXPECT_EQ(folderContents(school_.path()), contents);

  dbtest::wipeServer();
  backup::RestoreReport restored = backup::restoreBackup(restore);
  ASSERT_TRUE(restored.ok) << restored.why;
  EXPECT_EQ(serverRows(dbtest::testServer()), before);
  // The folder names the server again; a registration after the restore
  // continues the row order.
  EXPECT_TRUE(fs::exists(school_.path() / "database.ini"));
  EXPECT_FALSE(fs::exists(school_.path() / "hj.mdb"));
  dbtest::onServer("INSERT INTO student (姓名) VALUES ('赵六')");
  EXPECT_EQ(dbtest::onServer("SELECT 姓名 FROM student ORDER BY jx_row DESC LIMIT 1"), "赵六");
}

TEST_F(ServerBackupTest, AnotherEmptyDatabaseCanBeNamed) {
  backup::BackupRequest request;
  request.folder = school_.path();
  backup::BackupReport made = backup::makeBackup(request);
  ASSERT_TRUE(made.ok) << made.why;
  dbtest::onServer("DROP DATABASE IF EXISTS jx_restored");
  dbtest::onServer("CREATE DATABASE jx_restored");
  std::string target = std::string(dbtest::testServer()) + " dbname=jx_restored";

  backup::RestoreRequest restore;
  restore.archive = made.archive;
  restore.folder = school_.beside("second-desk");
  restore.server = target;
  backup::RestoreReport restored = backup::restoreBackup(restore);
  ASSERT_TRUE(restored.ok) << restored.why;
  EXPECT_EQ(serverRows(target), serverRows(dbtest::testServer()));
  EXPECT_EQ(db::serverNamedBeside((restore.folder / "hj.mdb").string()), backup::withoutPassword(target));
  dbtest::onServer("DROP DATABASE jx_restored");
}

}  // namespace
}  // namespace backuptest
