#include "backup/make_backup.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "backup/archive_check.h"
#include "backup/records_part.h"
#include "backup/sha256.h"
#include "backup/zip_archive.h"
#include "runtime/folder_lock.h"

namespace backup {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgramVersion = JX_PROGRAM_VERSION;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

struct Failure {
  std::string why;
};

std::string fileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool isPresent(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

// The connection string of the folder's database.ini, when it names a server.
std::optional<std::string> serverOf(const fs::path& folder) {
  fs::path settings = folder / std::string(kServerSettingsEntry);
  if (!isPresent(settings)) return std::nullopt;
  return db::serverSettingOf(fileBytes(settings));
}

class BackupWork {
  using Stage = BackupReport::Stage;

 public:
  explicit BackupWork(const BackupRequest& request) : request_(request), access_(accessOf(request.folder)) {}

  BackupReport run() {
    BackupReport report;
    try {
      report.archive = make(report);
      report.ok = true;
    } catch (const Failure& failure) {
      report.cancelled = request_.control.cancelled();
      report.why = failure.why;
      report.stage = stage_;
    }
    return report;
  }

 private:
  void check(bool ok, const std::string& why) {
    if (!ok) throw Failure{why};
    if (request_.control.cancelled()) throw Failure{"cancelled"};
    request_.control.tick();
  }

  fs::path make(BackupReport& report) {
    Manifest& manifest = report.manifest;
    std::string why;
    const fs::path& folder = request_.folder;
    std::error_code error;
    check(fs::is_directory(folder, error), folder.string() + " is not a program folder");
    // A restore that is putting files in place holds the folder.
    bool busy = false;
    auto hold =
        rt::FolderLock::take(folder.string(), rt::FolderLock::Kind::kShared, rt::FolderLock::Wait::kNo, &busy, &why);
    check(hold || !busy, "a restore is putting files in place in " + folder.string() + "; try again afterwards");
    fs::path destination = prepareDestination();
    removeLeftovers(folder);
    removeLeftovers(destination);
    auto work = WorkFolder::make(folder, "backup", &why);
    if (!work) work = WorkFolder::make(destination, "backup", &why);
    check(work.has_value(), why);

    stage_ = Stage::kRecords;
    manifest.time = readableTime(request_.time);
    manifest.programVersion = kProgramVersion;
    manifest.folderName = folderNameOf(folder.string());
    std::vector<EntrySource> entries = stageRecords(work->path(), manifest);
    stage_ = Stage::kFiles;
    stageFolderFiles(work->path(), entries);
    for (const EntrySource& entry : entries) {
      auto digest = digestOfFile(entry.file, &why);
      check(digest.has_value(), why);
      manifest.files.push_back({entry.name, digest->size, digest->sha256});
    }
    stage_ = Stage::kArchive;
    return writeChecked(destination, entries, manifest);
  }

  fs::path prepareDestination() {
    std::string why;
    if (!request_.destination.empty()) {
      std::error_code error;
      if (!fs::is_directory(request_.destination, error))
        check(ensureFolder(request_.destination, Access{}, &why), why);
      return request_.destination;
    }
    fs::path destination = backupFolderOf(request_.folder);
    check(ensureFolder(destination, access_, &why), why);
    return destination;
  }

  std::vector<EntrySource> stageRecords(const fs::path& work, Manifest& manifest) {
    std::string why;
    std::optional<RowCounts> counts;
    if (auto server = serverOf(request_.folder)) {
      manifest.records = RecordsKind::kServer;
      fs::path dump = work / std::string(kServerDumpEntry);
      counts = dumpServerRecords(*server, dump, request_.control, &why);
      check(counts.has_value(), why);
      check(applyAccess(dump, false, access_, &why), why);
    } else {
      manifest.records = RecordsKind::kFile;
      fs::path source = request_.folder / std::string(kDatabaseEntry);
      check(isPresent(source), source.string() + " does not exist");
      counts = copyRecordsFile(source, work / std::string(kDatabaseEntry), access_, request_.control, &why);
      check(counts.has_value(), why);
    }
    manifest.rows = std::move(*counts);
    return {{std::string(manifest.recordsEntry()), work / std::string(manifest.recordsEntry()), false}};
  }

  // The folder's small files are copied first, so that the archive and its
  // manifest describe the same bytes while the program appends to the log.
  void stageFolderFiles(const fs::path& work, std::vector<EntrySource>& entries) {
    std::string why;
    for (std::string_view name : kFolderFiles) {
      fs::path file = request_.folder / std::string(name);
      if (!isPresent(file)) continue;
      fs::path staged = work / std::string(name);
      if (name == kServerSettingsEntry && holdsPassword(file)) {
        writeWithoutPassword(file, staged);
      } else {
        check(copyFile(file, staged, access_, false, request_.control, &why), why);
      }
      entries.push_back({std::string(name), staged, true});
    }
  }

  static bool holdsPassword(const fs::path& settings) {
    auto conninfo = db::serverSettingOf(fileBytes(settings));
    return conninfo && hasPassword(*conninfo);
  }

  // The password never enters an archive: a database.ini that holds one is
  // archived with the connection string alone (UTF-8 with its mark).
  void writeWithoutPassword(const fs::path& settings, const fs::path& staged) {
    auto conninfo = db::serverSettingOf(fileBytes(settings));
    std::string text = std::string(kUtf8Mark) + "[" + std::string(db::kServerSection) + "]\r\n" +
                       std::string(db::kServerKey) + "=" + withoutPassword(*conninfo) + "\r\n";
    std::ofstream out(staged, std::ios::binary);
    out << text;
    out.close();
    std::string why;
    check(out.good(), "cannot write " + staged.string());
    check(applyAccess(staged, false, access_, &why), why);
  }

  fs::path writeChecked(const fs::path& destination, const std::vector<EntrySource>& entries,
                        const Manifest& manifest) {
    std::string why;
    const std::string name = archiveName(manifest.folderName, request_.time);
    const fs::path part = temporaryPath(destination, name + ".part");
    struct RemovePart {
      const fs::path& path;
      ~RemovePart() { unlink(path.c_str()); }
    } removePart{part};
    check(writeArchive(part, entries, manifestText(manifest), request_.control, &why), why);
    check(applyAccess(part, false, access_, &why), why);
    check(syncFile(part, &why), why);
    stage_ = Stage::kCheck;
    auto written = checkArchive(part, nullptr, access_, request_.control, &why);
    check(written.has_value(), "the written archive does not read back: " + why);
    // The name is given only to a complete, checked archive, and never
    // replaces another one.
    // Past this point the backup is made: it is no longer cancelled.
    const fs::path archive = destination / name;
    if (link(part.c_str(), archive.c_str()) != 0)
      throw Failure{"cannot name the archive " + archive.string() + ": " + systemText(errno)};
    if (!syncFolder(destination, &why)) {
      unlink(archive.c_str());
      throw Failure{why};
    }
    return archive;
  }

  const BackupRequest& request_;
  Access access_;
  Stage stage_ = Stage::kFolder;
};

}  // namespace

fs::path backupFolderOf(const fs::path& programFolder) { return programFolder / std::string(kBackupFolder); }

BackupReport makeBackup(const BackupRequest& request) { return BackupWork(request).run(); }

}  // namespace backup
