#include "backup/automatic.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "backup/backup_folder.h"
#include "backup/files.h"
#include "backup/make_backup.h"
#include "db/server_settings.h"

namespace backup {
namespace {

namespace fs = std::filesystem;

// The worker yields to the program: a higher nice value for its CPU time
// and the lowest best-effort class for its disk reads and writes.
constexpr int kWorkerNiceness = 10;
constexpr int kIoPriorityWhoThread = 1;  // IOPRIO_WHO_PROCESS: a thread id
constexpr int kIoPriorityClassBestEffort = 2;
constexpr int kIoPriorityClassShift = 13;
constexpr int kIoPriorityLowest = 7;
constexpr size_t kLargestNote = 4096;
constexpr int kMostKeptBackups = 100000;

void lowerPriority() {
  const auto thread = static_cast<id_t>(syscall(SYS_gettid));
  setpriority(PRIO_PROCESS, thread, kWorkerNiceness);
  syscall(SYS_ioprio_set, kIoPriorityWhoThread, thread,
          (kIoPriorityClassBestEffort << kIoPriorityClassShift) | kIoPriorityLowest);
}

// The reason the clerk reads: what failed in Chinese, the detail as the
// system or the engine gave it.
std::string reasonOf(const BackupReport& report) {
  using Stage = BackupReport::Stage;
  const char* what = "";
  switch (report.stage) {
    case Stage::kFolder: what = "备份文件夹无法使用"; break;
    case Stage::kRecords: what = "无法复制数据库"; break;
    case Stage::kFiles: what = "无法复制程序文件夹中的文件"; break;
    case Stage::kArchive: what = "无法写入备份文件"; break;
    case Stage::kCheck: what = "写入的备份文件未通过检查"; break;
  }
  return std::string(what) + "（" + report.why + "）";
}

// A folder with neither the records file nor a server named has nothing to
// lose (the program shows an empty list there).
bool hasRecords(const fs::path& folder) {
  const fs::path records = folder / std::string(kDatabaseEntry);
  std::error_code error;
  return fs::exists(records, error) || db::serverNamedBeside(records.string());
}

fs::path noteOf(const fs::path& folder) { return backupFolderOf(folder) / std::string(kFailureNote); }

}  // namespace

int keptBackupsOf(std::string_view setting) {
  while (!setting.empty() && (setting.front() == ' ' || setting.front() == '\t')) setting.remove_prefix(1);
  while (!setting.empty() && (setting.back() == ' ' || setting.back() == '\t' || setting.back() == '\r'))
    setting.remove_suffix(1);
  int kept = 0;
  auto [end, error] = std::from_chars(setting.data(), setting.data() + setting.size(), kept);
  if (setting.empty() || error != std::errc() || end != setting.data() + setting.size() || kept < 0 ||
      kept > kMostKeptBackups)
    return kDefaultKeptBackups;
  return kept;
}

AutomaticBackup& AutomaticBackup::instance() {
  static AutomaticBackup backups;
  return backups;
}

AutomaticBackup::~AutomaticBackup() { stop(); }

bool AutomaticBackup::start(const fs::path& folder, int keep) {
  std::lock_guard lock(mutex_);
  if (keep <= 0 || running_) return false;
  if (worker_.joinable()) worker_.join();
  cancel_ = false;
  running_ = true;
  Clock::time_point now = clock_ ? clock_() : Clock::now();
  worker_ = std::thread(&AutomaticBackup::work, this, folder, keep, now);
  return true;
}

void AutomaticBackup::work(fs::path folder, int keep, Clock::time_point now) {
  lowerPriority();
  const fs::path backups = backupFolderOf(folder);
  if (hasRecords(folder) && !hasBackupOfDay(backups, now)) {
    BackupRequest request{folder, {}, now, Control{&cancel_, {}}};
    BackupReport report = makeBackup(request);
    std::string why;
    if (report.ok && !keepNewest(backups, static_cast<size_t>(keep), &why))
      fail(folder, "旧的备份无法删除（" + why + "）");
    else if (!report.ok && !report.cancelled)
      fail(folder, reasonOf(report));
  }
  running_ = false;
}

void AutomaticBackup::fail(const fs::path& folder, const std::string& reason) {
  std::fprintf(stderr, "jiaxiao: 自动备份失败：%s\n", reason.c_str());
  std::lock_guard lock(mutex_);
  failure_ = reason;
  // Kept for the next start as well, when 备份/ can take it.
  writeWholeFile(noteOf(folder), reason, accessOf(folder), nullptr);
}

std::optional<std::string> AutomaticBackup::takeFailure(const fs::path& folder) {
  std::lock_guard lock(mutex_);
  const fs::path note = noteOf(folder);
  std::optional<std::string> failure = std::exchange(failure_, std::nullopt);
  std::error_code error;
  if (!failure && fs::is_regular_file(note, error) && fs::file_size(note, error) <= kLargestNote) {
    std::ifstream in(note, std::ios::binary);
    failure = std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::remove(note, error);
  return failure;
}

void AutomaticBackup::stop() {
  cancel_ = true;
  wait();
  cancel_ = false;
}

// The worker takes the lock to note a failure: it is joined outside it.
void AutomaticBackup::wait() {
  std::thread finishing;
  {
    std::lock_guard lock(mutex_);
    finishing = std::move(worker_);
  }
  if (finishing.joinable()) finishing.join();
}

void AutomaticBackup::setClock(std::function<Clock::time_point()> clock) {
  std::lock_guard lock(mutex_);
  clock_ = std::move(clock);
}

}  // namespace backup
