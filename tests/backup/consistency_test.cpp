// A backup is one committed moment of the records, whatever other processes
// do meanwhile, and a backup cut off at any point leaves no archive under
// its name.
#include <signal.h>
#include <sys/wait.h>

#include <gmock/gmock.h>

#include "backup/archive_check.h"
#include "backup/backup_folder.h"
#include "backup/make_backup.h"
#include "backup_test_support.h"

namespace backuptest {
namespace {

// The records of an archive, extracted and checked as a restore checks them.
TableRows archivedRows(const fs::path& archive, const fs::path& scratch) {
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  std::string why;
  auto manifest = backup::checkArchive(archive, &scratch, backup::Access{}, {}, &why);
  EXPECT_TRUE(manifest) << why;
  return manifest ? tableRows(scratch / "hj.mdb") : TableRows{};
}

// Another process that registers learners one after another until stopped,
// each with a booking in the same transaction, as the program does a
// registration and its booking: in every committed moment the registry
// holds as many new learners as new bookings.
class Registrations {
  static constexpr useconds_t kPauseMicroseconds = 20000;

 public:
  explicit Registrations(const fs::path& database) {
    child_ = fork();
    if (child_ != 0) return;
    db::DatabaseHandle handle =
        db::openDatabase(database.string(), db::records::kPassword, db::OpenMode::kExistingOnly);
    for (int i = 0; handle; ++i) {
      std::string identity = "9" + std::to_string(100000000000000000LL + i);
      std::string sql = "BEGIN IMMEDIATE; INSERT INTO student (姓名, 身份证号码) VALUES ('新学员', '" + identity +
                        "'); INSERT INTO one (身份证号码, 考试时间) VALUES ('" + identity +
                        "', '2031年1月1日'); COMMIT;";
      if (!db::runScript(handle.get(), sql.c_str())) db::runScript(handle.get(), "ROLLBACK");
      // Far faster than any office, but not a lock held without a break.
      usleep(kPauseMicroseconds);
    }
    _exit(1);
  }
  ~Registrations() {
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
  }

 private:
  pid_t child_ = -1;
};

TEST(ConsistencyTest, AnotherProcessWritingMeanwhileLeavesACopyOfOneCommittedMoment) {
  SchoolFolder school(200);
  const TableRows before = tableRows(school.database());
  {
    // An open write transaction with rows not yet committed.
    db::DatabaseHandle writer =
        db::openDatabase(school.database().string(), db::records::kPassword, db::OpenMode::kExistingOnly);
    ASSERT_TRUE(
        db::runScript(writer.get(), "BEGIN IMMEDIATE; DELETE FROM student; INSERT INTO two VALUES ('x','y','z');"));
    backup::BackupRequest request;
    request.folder = school.path();
    backup::BackupReport made = backup::makeBackup(request);
    ASSERT_TRUE(made.ok) << made.why;
    EXPECT_EQ(archivedRows(made.archive, school.beside("a")), before);
  }
  Registrations registering(school.database());
  for (int i = 0; i < 3; ++i) {
    backup::BackupRequest request;
    request.folder = school.path();
    request.destination = school.beside("moments");
    request.time = backup::Clock::now() + std::chrono::seconds(i);
    backup::BackupReport made = backup::makeBackup(request);
    ASSERT_TRUE(made.ok) << made.why;
    TableRows rows = archivedRows(made.archive, school.beside("b"));
    int64_t newLearners = rowCount(rows, "student") - rowCount(before, "student");
    EXPECT_EQ(rowCount(rows, "one") - rowCount(before, "one"), newLearners);
    EXPECT_GE(newLearners, 0);
  }
}

// The backup runs in a child that is killed at its k-th step (between any
// two writes), for k = 1, 2, ... until a backup completes.
TEST(ConsistencyTest, AKillAtAnyPointLeavesNoArchiveUnderItsName) {
  SchoolFolder school;
  const auto time = backup::Clock::now();
  const fs::path archive = school.backups() / backup::archiveName("school", time);
  int kills = 0;
  for (int k = 1;; ++k) {
    pid_t child = fork();
    if (child == 0) {
      int steps = 0;
      backup::BackupRequest request;
      request.folder = school.path();
      request.time = time;
      request.control.step = [&] {
        if (++steps == k) raise(SIGKILL);
      };
      _exit(backup::makeBackup(request).ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFEXITED(status)) {
      ASSERT_EQ(WEXITSTATUS(status), 0) << "the backup failed after " << kills << " kills";
      break;
    }
    ++kills;
    ASSERT_FALSE(fs::exists(archive)) << "an archive under its name after a kill at step " << k;
  }
  EXPECT_GT(kills, 10);
  std::printf("a backup was killed at %d points\n", kills);
  std::string why;
  ASSERT_TRUE(backup::checkArchive(archive, nullptr, backup::Access{}, {}, &why)) << why;

  // The next backup clears what the killed ones left.
  backup::BackupRequest request;
  request.folder = school.path();
  request.time = time + std::chrono::seconds(1);
  ASSERT_TRUE(backup::makeBackup(request).ok);
  for (const fs::path& folder : {school.path(), school.backups()})
    for (const auto& entry : fs::directory_iterator(folder))
      EXPECT_FALSE(entry.path().filename().string().starts_with(".jxbak-")) << entry.path();
  EXPECT_EQ(backup::archivesByAge(school.backups()).size(), 2u);
}

}  // namespace
}  // namespace backuptest
