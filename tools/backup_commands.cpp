#include "tools/backup_commands.h"

#include <cstdio>

#include "backup/backup_folder.h"
#include "backup/make_backup.h"
#include "backup/restore.h"

namespace admin {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

int failed(const std::string& why) {
  std::fprintf(stderr, "jiaxiao-admin: %s\n", why.c_str());
  return kExitFailure;
}

// "learners 1200, bookings 3600, graduates 0": the student table, the four
// exam tables together, the graduates.
std::string countsSummary(const backup::Manifest& manifest) {
  int64_t bookings =
      manifest.rowsOf("one") + manifest.rowsOf("two") + manifest.rowsOf("three") + manifest.rowsOf("four");
  return "learners " + std::to_string(manifest.rowsOf("student")) + ", bookings " + std::to_string(bookings) +
         ", graduates " + std::to_string(manifest.rowsOf("graduation"));
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

int backupFolder(const std::filesystem::path& folder, const std::filesystem::path& destination) {
  backup::BackupReport report = backup::makeBackup({folder, destination, backup::Clock::now(), {}});
  if (!report.ok) return failed("no backup was made: " + report.why);
  std::printf("%s\n", report.archive.string().c_str());
  return kExitOk;
}

int listFolderBackups(const std::filesystem::path& folder) {
  const std::filesystem::path backups = backup::backupFolderOf(folder);
  std::vector<backup::ListedBackup> listed = backup::listBackups(backups);
  if (listed.empty()) {
    std::printf("no backups in %s\n", backups.string().c_str());
    return kExitOk;
  }
  for (const backup::ListedBackup& entry : listed) {
    std::string what =
        entry.manifest ? entry.manifest->time + "  " + countsSummary(*entry.manifest) : "damaged: " + entry.problem;
    std::printf("%s  %8.1f MB  %s\n", entry.path.string().c_str(), static_cast<double>(entry.size) / kBytesPerMegabyte,
                what.c_str());
  }
  return kExitOk;
}

int restoreFolder(const std::filesystem::path& archive, const std::filesystem::path& folder,
                  const std::optional<std::string>& server) {
  backup::RestoreReport report = backup::restoreBackup({archive, folder, server, backup::Clock::now(), {}});
  if (!report.ok) return failed(report.why + "; nothing was changed in " + folder.string());
  std::printf("restored %s (made %s: %s) into %s\n", archive.string().c_str(), report.manifest.time.c_str(),
              countsSummary(report.manifest).c_str(), folder.string().c_str());
  if (!report.server.empty()) std::printf("the records are on the server: %s\n", report.server.c_str());
  std::printf("put in place: %s\n", joined(report.restored).c_str());
  if (!report.removed.empty()) std::printf("removed (not in the backup): %s\n", joined(report.removed).c_str());
  if (!report.setAside.empty()) std::printf("the files it replaced are in %s\n", report.setAside.string().c_str());
  return kExitOk;
}

}  // namespace admin
