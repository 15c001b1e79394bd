// The daily automatic backup as the program starts it, the message of one
// that failed, and the hold the running program keeps on its folder.
#include <gmock/gmock.h>

#include "backup/automatic.h"
#include "backup/backup_folder.h"
#include "records_test_support.h"
#include "runtime/folder_lock.h"

namespace {

using namespace recordstest;

class AutomaticBackupTest : public AppTest {
 protected:
  static std::filesystem::path backups() { return AppFolder::path() / "备份"; }
  static void finishBackup() { backup::AutomaticBackup::instance().wait(); }
  void restartProgram() {
    rt::closeAllWindows();
    settle();
    startProgram();
  }
};

TEST_F(AutomaticBackupTest, TheFirstStartOfTheDayBacksTheFolderUpBesideTheWindow) {
  createDatabase(threeStudents());
  writeSettings("[自动备份保留份数]\n自动备份保留份数=5\n");
  startProgram();
  EXPECT_EQ(rowCount(ui::超级列表框1), 3);
  finishBackup();
  auto made = backup::listBackups(backups());
  ASSERT_EQ(made.size(), 1u);
  ASSERT_TRUE(made[0].manifest) << made[0].problem;
  EXPECT_EQ(made[0].manifest->rowsOf("student"), 3);

  restartProgram();
  finishBackup();
  EXPECT_EQ(backup::archivesByAge(backups()).size(), 1u);
  EXPECT_TRUE(messages().empty());
}

TEST_F(AutomaticBackupTest, ZeroTurnsItOff) {
  startProgram();  // the tests' settings say 0
  finishBackup();
  EXPECT_FALSE(std::filesystem::exists(backups()));
}

TEST_F(AutomaticBackupTest, AFailureIsShownOnceAtTheSettingsOrAtTheNextStart) {
  writeSettings("[自动备份保留份数]\n自动备份保留份数=14\n");
  writeFileBytes("备份", "a file where the backups go");
  startProgram();
  finishBackup();
  EXPECT_TRUE(messages().empty()) << "the window is not held up";

  chooseMenu("选项", "参数设置");
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_THAT(lastMessage().text, ::testing::StartsWith("自动备份失败：备份文件夹无法使用（"));
  chooseMenu("选项", "参数设置");
  EXPECT_EQ(messages().size(), 1u) << "shown once";

  // Not shown yet when the program ended: shown at the next start.
  removeFile("备份");
  std::filesystem::create_directories(backups());
  writeFileBytes("备份/自动备份失败.txt", "无法复制数据库（disk full）");
  restartProgram();
  ASSERT_EQ(messages().size(), 2u);
  EXPECT_EQ(lastMessage().text, "自动备份失败：无法复制数据库（disk full）");
}

TEST_F(AutomaticBackupTest, TheRunningProgramHoldsItsFolder) {
  startProgram();
  bool busy = false;
  auto lock = rt::FolderLock::take(AppFolder::path().string(), rt::FolderLock::Kind::kExclusive,
                                   rt::FolderLock::Wait::kNo, &busy);
  EXPECT_FALSE(lock);
  EXPECT_TRUE(busy);
}

}  // namespace
