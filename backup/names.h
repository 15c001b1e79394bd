// What a backup of a program folder holds and how its files are named.
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "db/records_database.h"
#include "db/server_settings.h"

namespace backup {

using Clock = std::chrono::system_clock;

// Backups made by the program and, unless told otherwise, by the admin tool
// go into this subfolder of the program folder.
inline constexpr std::string_view kBackupFolder = "备份";
inline constexpr std::string_view kArchiveSuffix = ".jxbak";

// The entries of an archive, all at its top level.
inline constexpr std::string_view kManifestEntry = "manifest.ini";
inline constexpr std::string_view kDatabaseEntry = db::records::kFileName;  // the file's records
inline constexpr std::string_view kServerDumpEntry = "database.pgdump";     // the server's records
inline constexpr std::string_view kServerSettingsEntry = db::kServerSettingsFile;
// The program folder's own files, kept as they are when they exist.
inline constexpr std::array<std::string_view, 4> kFolderFiles = {"systeminfo.ini", "log.log", "table.xlsx",
                                                                 db::kServerSettingsFile};
// The engine's rollback journal beside the records file.
inline constexpr std::string_view kJournalFile = "hj.mdb-journal";

// Temporary files and folders of a backup or restore in progress are named
// ".jxbak-<process id>-..." so that those of a process that has ended can be
// told from those of one still at work.
inline constexpr std::string_view kTemporaryPrefix = ".jxbak-";
// Where a restore puts the files it replaces: 备份/before-restore-<time>/.
inline constexpr std::string_view kBeforeRestorePrefix = "before-restore-";

// Local time as "YYYYMMDD-HHMMSS", "YYYYMMDD" and "YYYY-MM-DD HH:MM:SS".
std::string stampText(Clock::time_point time);
std::string dayText(Clock::time_point time);
std::string readableTime(Clock::time_point time);

// "<folder name>-YYYYMMDD-HHMMSS.jxbak".
std::string archiveName(std::string_view folderName, Clock::time_point time);
// The "YYYYMMDD-HHMMSS" of a file name of that form; nothing for any other.
std::optional<std::string> stampOfArchive(std::string_view fileName);

// The last component of a folder path, also for a path that ends in "/".
std::string folderNameOf(const std::string& folderUtf8);

}  // namespace backup
