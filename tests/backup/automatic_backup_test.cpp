// The daily automatic backup: once a day, the newest N kept, off at 0, a
// failure kept until it is taken once, a backup in progress stopped without
// leaving anything.
#include <gmock/gmock.h>

#include "backup/automatic.h"
#include "backup/backup_folder.h"
#include "backup/files.h"
#include "backup/make_backup.h"
#include "backup_test_support.h"

namespace backuptest {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr auto kDay = std::chrono::hours(24);

class AutomaticBackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    now_ = backup::Clock::now();
    automatic().setClock([this] { return now_; });
  }
  void TearDown() override {
    automatic().stop();
    automatic().setClock(nullptr);
    automatic().takeFailure(school_.path());
  }

  static backup::AutomaticBackup& automatic() { return backup::AutomaticBackup::instance(); }

  // The program starting on the folder, its backup run to the end.
  bool startAndFinish(int keep) {
    bool started = automatic().start(school_.path(), keep);
    automatic().wait();
    return started;
  }
  size_t archives() const { return backup::archivesByAge(school_.backups()).size(); }

  SchoolFolder school_;
  backup::Clock::time_point now_;
};

TEST_F(AutomaticBackupTest, OnceADayAndTheNewestKept) {
  ASSERT_TRUE(startAndFinish(3));
  EXPECT_EQ(archives(), 1u);
  ASSERT_TRUE(startAndFinish(3));  // the same day: nothing more
  EXPECT_EQ(archives(), 1u);

  std::vector<fs::path> expected;
  for (int day = 1; day <= 4; ++day) {
    now_ += kDay;
    ASSERT_TRUE(startAndFinish(3));
    expected.push_back(school_.backups() / backup::archiveName("school", now_));
  }
  expected.erase(expected.begin());
  EXPECT_EQ(backup::archivesByAge(school_.backups()), expected);
  EXPECT_FALSE(automatic().takeFailure(school_.path()));
}

TEST_F(AutomaticBackupTest, RetentionCountsOnlyArchivesNamedWithATime) {
  fs::create_directories(school_.backups() / "before-restore-20240101-000000");
  for (const char* name : {"school-20240101-000000.jxbak", "school-20240102-000000.jxbak", "notes.jxbak",
                           "school-20240103-000000.jxbak", ".jxbak-1-school-20240104-000000.jxbak.part"})
    jxtest::TempFolder::write(school_.backups() / name, "x");
  std::string why;
  ASSERT_TRUE(backup::keepNewest(school_.backups(), 1, &why)) << why;
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(school_.backups())) left.push_back(entry.path().filename());
  EXPECT_THAT(left, ::testing::UnorderedElementsAre("before-restore-20240101-000000", "school-20240103-000000.jxbak",
                                                    "notes.jxbak", ".jxbak-1-school-20240104-000000.jxbak.part"));
}

TEST_F(AutomaticBackupTest, ZeroTurnsItOffAndTheSettingIsReadStrictly) {
  EXPECT_FALSE(startAndFinish(0));
  EXPECT_FALSE(fs::exists(school_.backups()));
  EXPECT_EQ(backup::keptBackupsOf(""), 14);
  EXPECT_EQ(backup::keptBackupsOf(" 0 "), 0);
  EXPECT_EQ(backup::keptBackupsOf("30\r"), 30);
  EXPECT_EQ(backup::keptBackupsOf("三十"), 14);
  EXPECT_EQ(backup::keptBackupsOf("-1"), 14);
}

TEST_F(AutomaticBackupTest, AFailureIsKeptUntilTakenOnce) {
  jxtest::TempFolder::write(school_.backups(), "a file where the backups go");
  ASSERT_TRUE(startAndFinish(14));
  auto failure = automatic().takeFailure(school_.path());
  ASSERT_TRUE(failure);
  EXPECT_THAT(*failure, StartsWith("备份文件夹无法使用（"));
  EXPECT_THAT(*failure, HasSubstr("is not a folder"));
  EXPECT_FALSE(automatic().takeFailure(school_.path()));

  // A failure an earlier run noted in 备份/ is taken at the next start.
  fs::remove(school_.backups());
  fs::create_directories(school_.backups());
  jxtest::TempFolder::write(school_.backups() / std::string(backup::kFailureNote), "无法复制数据库（disk full）");
  EXPECT_EQ(automatic().takeFailure(school_.path()), "无法复制数据库（disk full）");
  EXPECT_FALSE(fs::exists(school_.backups() / std::string(backup::kFailureNote)));
}

// 备份/ of a folder shared with a group may hold a link where the note goes.
TEST_F(AutomaticBackupTest, TheFailureNoteIsNeverWrittenThroughALink) {
  fs::create_directories(school_.backups());
  const fs::path elsewhere = school_.path() / "elsewhere.txt";
  jxtest::TempFolder::write(elsewhere, "kept");
  const fs::path note = school_.backups() / std::string(backup::kFailureNote);
  fs::create_symlink(elsewhere, note);
  std::string why;
  EXPECT_FALSE(backup::writeWholeFile(note, "无法复制数据库", backup::accessOf(school_.path()), &why));
  EXPECT_EQ(jxtest::TempFolder::read(elsewhere), "kept");
}

TEST_F(AutomaticBackupTest, AFolderWithoutRecordsHasNothingToBackUp) {
  fs::remove(school_.database());
  ASSERT_TRUE(startAndFinish(14));
  EXPECT_EQ(archives(), 0u);
  EXPECT_FALSE(automatic().takeFailure(school_.path()));
}

TEST_F(AutomaticBackupTest, StoppedMidwayItLeavesNothing) {
  SchoolFolder large(5000);
  ASSERT_TRUE(automatic().start(large.path(), 14));
  automatic().stop();
  EXPECT_TRUE(backup::archivesByAge(large.backups()).empty());
  for (const fs::path& folder : {large.path(), large.backups()}) {
    if (!fs::exists(folder)) continue;
    for (const auto& entry : fs::directory_iterator(folder))
      EXPECT_FALSE(entry.path().filename().string().starts_with(".jxbak-")) << entry.path();
  }
  EXPECT_FALSE(automatic().takeFailure(large.path()));
}

}  // namespace
}  // namespace backuptest
