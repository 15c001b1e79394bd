#include "backup/restore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include "backup/archive_check.h"
#include "backup/make_backup.h"
#include "backup/records_part.h"
#include "db/records_database.h"
#include "db/server_settings.h"
#include "db/sqlite.h"
#include "runtime/folder_lock.h"

namespace backup {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

struct Refusal {
  std::string why;
};

bool isPresent(const fs::path& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() != fs::file_type::not_found && !error;
}

std::string fileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every name a restore may replace: the records, their journal and the
// folder's small files.
std::vector<std::string> replaceableNames() {
  std::vector<std::string> names = {std::string(kDatabaseEntry), std::string(kJournalFile)};
  for (std::string_view name : kFolderFiles) names.emplace_back(name);
  return names;
}

class RestoreWork {
 public:
  explicit RestoreWork(const RestoreRequest& request) : request_(request) {}

  RestoreReport run() {
    try {
      prepare();
      auto lock = lockFolder();
      auto work = WorkFolder::make(request_.folder, "restore", &reason_);
      require(work.has_value(), reason_);
      check(work->path());
      if (report_.manifest.records == RecordsKind::kServer) restoreServer(work->path());
      replaceFiles(work->path());
      report_.ok = true;
    } catch (const Refusal& refusal) {
      report_.why = refusal.why;
      // A folder made for a restore that was refused goes again.
      std::error_code ignored;
      if (madeFolder_ && !report_.ok) fs::remove(request_.folder, ignored);
    }
    return report_;
  }

 private:
  void require(bool ok, const std::string& why) {
    if (!ok) throw Refusal{why};
    if (request_.control.cancelled()) throw Refusal{"cancelled"};
  }

  void prepare() {
    std::error_code error;
    require(fs::is_regular_file(request_.archive, error), request_.archive.string() + " is not a backup file");
    if (!fs::exists(request_.folder, error)) {
      fs::path parent = fs::absolute(request_.folder, error).parent_path();
      fs::create_directories(parent, error);
      require(ensureFolder(request_.folder, Access{}, &reason_), reason_);
      madeFolder_ = true;
    }
    require(fs::is_directory(request_.folder, error), request_.folder.string() + " is not a folder");
    access_ = accessOf(request_.folder);
  }

  rt::FolderLock lockFolder() {
    bool busy = false;
    auto lock = rt::FolderLock::take(request_.folder.string(), rt::FolderLock::Kind::kExclusive,
                                     rt::FolderLock::Wait::kNo, &busy, &reason_);
    require(!busy,
            "the program is running on " + request_.folder.string() + " (or another restore is); close it first");
    require(lock.has_value(), "cannot lock " + request_.folder.string() + ": " + reason_);
    removeLeftovers(request_.folder);
    return std::move(*lock);
  }

  void check(const fs::path& work) {
    auto manifest = checkArchive(request_.archive, &work, access_, request_.control, &reason_);
    require(manifest.has_value(), request_.archive.string() + " cannot be restored: " + reason_);
    report_.manifest = std::move(*manifest);
  }

  void restoreServer(const fs::path& work) {
    const fs::path settings = work / std::string(kServerSettingsEntry);
    std::optional<std::string> target = request_.server;
    if (!target) target = db::serverSettingOf(fileBytes(settings));
    require(target.has_value(), "the backup's " + std::string(kServerSettingsEntry) + " names no server");
    report_.server = withoutPassword(*target);
    if (request_.server) nameServer(settings, report_.server);
    auto counts = restoreServerDump(work / std::string(kServerDumpEntry), *target, request_.control, &reason_);
    require(counts.has_value(), "the records could not be restored on the server: " + reason_);
    require(*counts == report_.manifest.rows,
            "the server holds other counts than the backup after the restore (" + countsText(*counts) + ")");
  }

  // The restored folder names the database the records went to.
  void nameServer(const fs::path& settings, const std::string& conninfo) {
    unlink(settings.c_str());
    std::ofstream out(settings, std::ios::binary);
    out << kUtf8Mark << "[" << db::kServerSection << "]\r\n" << db::kServerKey << "=" << conninfo << "\r\n";
    out.close();
    require(out.good() && applyAccess(settings, false, access_, &reason_), "cannot write " + settings.string());
  }

  // A journal left by a program that was cut off belongs to the current
  // records: opening them lets the engine roll it back, so the old file is
  // whole on its own before anything else happens.
  void settleCurrentRecords() {
    const fs::path records = request_.folder / std::string(kDatabaseEntry);
    if (!isPresent(request_.folder / std::string(kJournalFile)) || !isPresent(records)) return;
    db::openDatabase(records.string(), db::records::kPassword, db::OpenMode::kExistingOnly);
  }

  // A new folder, also when another restore of the same second made one.
  fs::path makeSetAsideFolder() {
    const fs::path backups = backupFolderOf(request_.folder);
    require(ensureFolder(backups, access_, &reason_), reason_);
    const std::string name = std::string(kBeforeRestorePrefix) + stampText(request_.time);
    fs::path folder = backups / name;
    for (int attempt = 2; mkdir(folder.c_str(), access_.folder) != 0; ++attempt) {
      require(errno == EEXIST, "cannot make " + folder.string() + ": " + systemText(errno));
      folder = backups / (name + "-" + std::to_string(attempt));
    }
    require(applyAccess(folder, true, access_, &reason_), reason_);
    return folder;
  }

  // A hard link keeps the file where it is until its replacement arrives;
  // across file systems it is copied.
  void keepAside(const fs::path& file, const fs::path& aside) {
    if (link(file.c_str(), aside.c_str()) == 0) return;
    require(errno == EXDEV || errno == EPERM, "cannot keep " + file.string() + ": " + systemText(errno));
    require(copyFile(file, aside, access_, true, Control{}, &reason_), reason_);
  }

  void replaceFiles(const fs::path& work) {
    settleCurrentRecords();
    std::vector<std::string> present;
    for (const std::string& name : replaceableNames())
      if (isPresent(request_.folder / name)) present.push_back(name);
    if (!present.empty()) {
      report_.setAside = makeSetAsideFolder();
      for (const std::string& name : present) keepAside(request_.folder / name, report_.setAside / name);
      require(syncFolder(report_.setAside, &reason_), reason_);
    }
    // From here on both versions are kept whole: there is no going back,
    // only forward.
    for (const std::string& name : present) {
      if (report_.manifest.file(name) || name == kDatabaseEntry) continue;
      unlink((request_.folder / name).c_str());
      report_.removed.push_back(name);
    }
    std::vector<const ArchivedFile*> order;
    for (const ArchivedFile& file : report_.manifest.files)
      if (file.name != kServerDumpEntry && file.name != kDatabaseEntry) order.push_back(&file);
    if (const ArchivedFile* records = report_.manifest.file(kDatabaseEntry)) order.push_back(records);
    for (const ArchivedFile* file : order) {
      const fs::path target = request_.folder / file->name;
      if (rename((work / file->name).c_str(), target.c_str()) != 0)
        throw Refusal{"cannot put " + target.string() + " in place: " + systemText(errno) +
                      (report_.setAside.empty() ? "" : "; the replaced files are in " + report_.setAside.string())};
      report_.restored.push_back(file->name);
    }
    if (report_.manifest.records == RecordsKind::kServer && isPresent(request_.folder / std::string(kDatabaseEntry))) {
      unlink((request_.folder / std::string(kDatabaseEntry)).c_str());
      report_.removed.push_back(std::string(kDatabaseEntry));
    }
    syncFolder(request_.folder, &reason_);
  }

  const RestoreRequest& request_;
  Access access_;
  RestoreReport report_;
  std::string reason_;
  bool madeFolder_ = false;
};

}  // namespace

RestoreReport restoreBackup(const RestoreRequest& request) { return RestoreWork(request).run(); }

}  // namespace backup
