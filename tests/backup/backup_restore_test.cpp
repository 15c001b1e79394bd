// A backup and its restore, whole: what the archive holds, the files and
// every table's rows back as they were, the replaced files kept aside, and
// the admin tool's commands around them.
#include <gmock/gmock.h>

#include "backup/archive_check.h"
#include "backup/backup_folder.h"
#include "backup/make_backup.h"
#include "backup/restore.h"
#include "backup_test_support.h"
#include "tests/tools/admin_tool.h"

namespace backuptest {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

backup::BackupReport backupOf(const fs::path& folder, const fs::path& destination = {}) {
  backup::BackupRequest request;
  request.folder = folder;
  request.destination = destination;
  return backup::makeBackup(request);
}

backup::RestoreReport restore(const fs::path& archive, const fs::path& folder) {
  backup::RestoreRequest request;
  request.archive = archive;
  request.folder = folder;
  return backup::restoreBackup(request);
}

const char* const kSmallFiles[] = {"systeminfo.ini", "log.log", "table.xlsx"};

TEST(BackupTest, TheArchiveHoldsTheRecordsTheFilesAndAManifestOfThem) {
  SchoolFolder school;
  backup::BackupReport made = backupOf(school.path());
  ASSERT_TRUE(made.ok) << made.why;

  EXPECT_EQ(made.archive.parent_path(), school.backups());
  const std::string name = made.archive.filename().string();
  ASSERT_TRUE(backup::stampOfArchive(name)) << name;
  EXPECT_EQ(name, "school-" + *backup::stampOfArchive(name) + ".jxbak");
  EXPECT_EQ(modeOf(made.archive), 0600);
  EXPECT_EQ(modeOf(school.backups()), 0700);

  std::string why;
  auto manifest = backup::readManifest(made.archive, &why);
  ASSERT_TRUE(manifest) << why;
  TableRows rows = tableRows(school.database());
  for (const auto& [table, count] : manifest->rows) EXPECT_EQ(count, rowCount(rows, table)) << table;
  EXPECT_EQ(manifest->rowsOf("graduation"), 1);
  std::vector<std::string> names;
  for (const auto& file : manifest->files) names.push_back(file.name);
  EXPECT_THAT(names, ElementsAre("hj.mdb", "systeminfo.ini", "log.log", "table.xlsx"));
  EXPECT_EQ(manifest->file("log.log")->size, fs::file_size(school.path() / "log.log"));
  // Nothing of the work is left behind.
  for (const fs::path& folder : {school.path(), school.backups()})
    for (const auto& entry : fs::directory_iterator(folder))
      EXPECT_FALSE(entry.path().filename().string().starts_with(".jxbak-")) << entry.path();
}

TEST(BackupTest, RestoreIntoALostFolderGivesBackEveryRowAndFile) {
  SchoolFolder school;
  backup::BackupReport made = backupOf(school.path(), school.beside("usb"));
  ASSERT_TRUE(made.ok) << made.why;

  const fs::path lost = school.beside("new-school");
  backup::RestoreReport restored = restore(made.archive, lost);
  ASSERT_TRUE(restored.ok) << restored.why;
  EXPECT_TRUE(restored.setAside.empty());
  EXPECT_EQ(tableRows(lost / "hj.mdb"), tableRows(school.database()));
  for (const char* name : kSmallFiles) {
    EXPECT_EQ(jxtest::TempFolder::read(lost / name), jxtest::TempFolder::read(school.path() / name)) << name;
    EXPECT_EQ(modeOf(lost / name), 0600) << name;
  }
  EXPECT_EQ(modeOf(lost), 0700);
}

TEST(BackupTest, RestoreKeepsTheReplacedFilesAndRemovesWhatTheBackupDoesNotHold) {
  SchoolFolder school;
  backup::BackupReport made = backupOf(school.path());
  ASSERT_TRUE(made.ok) << made.why;
  TableRows before = tableRows(school.database());
  runSql(school.database(), "DELETE FROM student; DELETE FROM one;");
  jxtest::TempFolder::write(school.path() / "log.log", "changed since");
  jxtest::TempFolder::write(school.path() / "database.ini", "[数据库]\n连接=host=nowhere\n");
  const auto replaced = folderContents(school.path());

  backup::RestoreReport restored = restore(made.archive, school.path());
  ASSERT_TRUE(restored.ok) << restored.why;
  EXPECT_EQ(tableRows(school.database()), before);
  EXPECT_NE(jxtest::TempFolder::read(school.path() / "log.log"), "changed since");
  EXPECT_FALSE(fs::exists(school.path() / "database.ini"));
  EXPECT_THAT(restored.removed, ElementsAre("database.ini"));
  // The replaced files, byte for byte, in 备份/before-restore-<time>/.
  ASSERT_EQ(restored.setAside.parent_path(), school.backups());
  EXPECT_THAT(restored.setAside.filename().string(), ::testing::StartsWith("before-restore-"));
  for (const char* name : {"hj.mdb", "systeminfo.ini", "log.log", "table.xlsx", "database.ini"})
    EXPECT_EQ(jxtest::TempFolder::read(restored.setAside / name), replaced.at(name)) << name;
  EXPECT_EQ(rowCount(tableRows(restored.setAside / "hj.mdb"), "student"), 0);
}

TEST(BackupTest, RestoreIsRefusedWhileTheProgramHoldsTheFolder) {
  SchoolFolder school;
  backup::BackupReport made = backupOf(school.path());
  ASSERT_TRUE(made.ok) << made.why;
  runSql(school.database(), "DELETE FROM student");
  const auto contents = folderContents(school.path());
  {
    ProgramHoldingFolder program(school.path());
    backup::RestoreReport refused = restore(made.archive, school.path());
    EXPECT_FALSE(refused.ok);
    EXPECT_THAT(refused.why, HasSubstr("the program is running"));
    EXPECT_EQ(folderContents(school.path()), contents);
    // A backup is made while the program runs.
    EXPECT_TRUE(backupOf(school.path(), school.beside("elsewhere")).ok);
  }
  EXPECT_TRUE(restore(made.archive, school.path()).ok);
}

TEST(BackupTest, TheAdminToolBacksUpListsAndRestores) {
  SchoolFolder school;
  using dbtest::runTool;
  dbtest::ToolRun made = runTool("backup " + dbtest::quoted(school.path()));
  ASSERT_EQ(made.status, 0) << made.output;
  std::string archive = made.output.substr(0, made.output.find('\n'));
  EXPECT_EQ(fs::path(archive).parent_path(), school.backups());
  EXPECT_TRUE(fs::exists(archive));

  dbtest::ToolRun listed = runTool("backups " + dbtest::quoted(school.path()));
  EXPECT_EQ(listed.status, 0);
  EXPECT_THAT(listed.output, HasSubstr(archive));
  EXPECT_THAT(listed.output, HasSubstr("learners 20, bookings 40, graduates 1"));

  dbtest::ToolRun restored = runTool("restore " + dbtest::quoted(archive) + " " + dbtest::quoted(school.path()));
  EXPECT_EQ(restored.status, 0) << restored.output;
  EXPECT_THAT(restored.output, HasSubstr("put in place: systeminfo.ini, log.log, table.xlsx, hj.mdb"));
  EXPECT_THAT(restored.output, HasSubstr("before-restore-"));

  dbtest::ToolRun refused =
      runTool("restore " + dbtest::quoted(school.path() / "log.log") + " " + dbtest::quoted(school.path()));
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.output, HasSubstr("nothing was changed"));
}

}  // namespace
}  // namespace backuptest
