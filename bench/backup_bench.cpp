// Backups at scale. A backup of the registry (the records copied under a
// read transaction, checked, archived with the folder's files,
// synced and read back) and a restore of it (the archive checked whole,
// extracted, the records checked again, put in place) against copying the
// records file with cp and running the engine's integrity check on the copy;
// and the start-up of the program when the day's automatic backup is due
// against a start-up when it is not (the backup runs beside the window and
// must not hold up its first paint).
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "backup/automatic.h"
#include "backup/backup_folder.h"
#include "backup/make_backup.h"
#include "backup/restore.h"
#include "bench/support/suite.h"
#include "db/records_database.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr double kBackupRatioTarget = 2;
constexpr double kRestoreRatioTarget = 2;
constexpr double kStartupRatioTarget = 1.2;
constexpr int32_t kKeptBackups = 2;

void runCp(const fs::path& from, const fs::path& to) {
  std::string source = from.string(), target = to.string();
  char* arguments[] = {const_cast<char*>("cp"), source.data(), target.data(), nullptr};
  pid_t child = 0;
  int status = 0;
  if (posix_spawnp(&child, "cp", nullptr, nullptr, arguments, environ) != 0 || waitpid(child, &status, 0) != child ||
      !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    fail("cp failed");
}

void integrityCheck(const fs::path& file) {
  std::string error;
  db::DatabaseHandle database =
      db::openDatabase(file.string(), db::records::kPassword, db::OpenMode::kExistingOnly, &error);
  if (!database) fail("cannot open the copy: " + error);
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database.get(), "PRAGMA integrity_check", -1, &raw, nullptr) != SQLITE_OK)
    fail(sqlite3_errmsg(database.get()));
  db::StatementHandle statement(raw);
  if (sqlite3_step(raw) != SQLITE_ROW ||
      std::string(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0))) != "ok")
    fail("the copy fails the integrity check");
}

backup::BackupReport backupInto(const fs::path& folder, const fs::path& destination, int second) {
  backup::BackupRequest request;
  request.folder = folder;
  request.destination = destination;
  request.time = backup::Clock::now() + std::chrono::seconds(second);
  backup::BackupReport made = backup::makeBackup(request);
  if (!made.ok) fail("the backup failed: " + made.why);
  return made;
}

void backupOfRegistry(benchmark::State& state, int32_t learners) {
  const fs::path& folder = registryFolder(learners);
  jxtest::TempFolder scratch("jx-backup-bench");
  int made = 0;
  for (auto _ : state) {
    state.SetIterationTime(secondsOf([&] { backupInto(folder, scratch.path(), made); }));
    for (const fs::path& archive : backup::archivesByAge(scratch.path())) fs::remove(archive);
    ++made;
  }
  state.counters["db_mb"] = static_cast<double>(fs::file_size(folder / "hj.mdb")) / (1024.0 * 1024.0);
  setTarget(state, learners, "ratio", kBackupRatioTarget);
}

// cp of hj.mdb and the integrity check of the copy: the least a checked
// copy of the records costs.
void copyAndCheck(benchmark::State& state, int32_t learners) {
  const fs::path& folder = registryFolder(learners);
  jxtest::TempFolder scratch("jx-backup-bench");
  const fs::path copy = scratch.path() / "hj.mdb";
  for (auto _ : state) {
    state.SetIterationTime(secondsOf([&] {
      runCp(folder / "hj.mdb", copy);
      integrityCheck(copy);
    }));
    fs::remove(copy);
  }
}

void restoreOfRegistry(benchmark::State& state, int32_t learners) {
  const fs::path& folder = registryFolder(learners);
  jxtest::TempFolder scratch("jx-backup-bench");
  const fs::path archive = backupInto(folder, scratch.path(), 0).archive;
  const fs::path target = scratch.path() / "restored";
  for (auto _ : state) {
    backup::RestoreRequest request;
    request.archive = archive;
    request.folder = target;
    backup::RestoreReport restored;
    state.SetIterationTime(secondsOf([&] { restored = backup::restoreBackup(request); }));
    if (!restored.ok) fail("the restore failed: " + restored.why);
    fs::remove_all(target);
  }
}

// Start-up to the painted main window while the day's backup starts beside
// it (`due`), or with today's backup already made.
void startupWithAutomaticBackup(benchmark::State& state, int32_t learners, bool due) {
  const fs::path& folder = registryFolder(learners);
  const fs::path backups = backup::backupFolderOf(folder);
  setKeptBackups(folder, kKeptBackups);
  auto& automatic = backup::AutomaticBackup::instance();
  if (!due) {  // today's backup, made untimed
    closeProgram();
    startProgram(folder);
    automatic.wait();
  }
  for (auto _ : state) {
    closeProgram();
    automatic.stop();
    if (due) fs::remove_all(backups);
    state.SetIterationTime(secondsOf([&] { startProgram(folder); }));
    automatic.wait();
    if (!backup::hasBackupOfDay(backups, backup::Clock::now())) fail("the automatic backup made no archive");
  }
  requireRows("start-up", rowCount(ui::超级列表框1), learners);
  closeProgram();
  setKeptBackups(folder, 0);
  fs::remove_all(backups);
  setTarget(state, learners, "ratio", kStartupRatioTarget);
}

[[maybe_unused]] const bool registered = [] {
  for (int32_t learners : kSizes) {
    addBenchmark("backup", learners, backupOfRegistry);
    addBenchmark("backup_baseline", learners, copyAndCheck);
    addBenchmark("restore", learners, restoreOfRegistry);
    addBenchmark("restore_baseline", learners, copyAndCheck);
    addBenchmark("startup_backup_due", learners,
                 [](benchmark::State& s, int32_t n) { startupWithAutomaticBackup(s, n, true); });
    addBenchmark("startup_backup_due_baseline", learners,
                 [](benchmark::State& s, int32_t n) { startupWithAutomaticBackup(s, n, false); });
  }
  return true;
}();

}  // namespace
}  // namespace bench
