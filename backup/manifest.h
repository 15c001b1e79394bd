// manifest.ini, the archive's table of contents (UTF-8): when and by which
// program it was made, where the records were, the row count of each table
// and each file's size and SHA-256.
//
//   [备份]
//   格式=1
//   时间=2024-05-01 08:30:00
//   程序版本=1.0
//   文件夹=school
//   数据库=文件                 (or 服务器)
//   [行数]
//   student=1200
//   one=3600 ...
//   [文件]
//   hj.mdb=52428800 <64 hexadecimal digits>
//   systeminfo.ini=812 <...>
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace backup {

enum class RecordsKind { kFile, kServer };

struct ArchivedFile {
  std::string name;
  uint64_t size = 0;
  std::string sha256;
};

// The rows of each table of the records database, in the schema's order.
using RowCounts = std::vector<std::pair<std::string, int64_t>>;

struct Manifest {
  std::string time;  // local, "YYYY-MM-DD HH:MM:SS"
  std::string programVersion;
  std::string folderName;
  RecordsKind records = RecordsKind::kFile;
  RowCounts rows;
  std::vector<ArchivedFile> files;  // the manifest itself is not among them

  const ArchivedFile* file(std::string_view name) const;
  int64_t rowsOf(std::string_view table) const;
  // The entry that holds the records: hj.mdb or the server's dump.
  std::string_view recordsEntry() const;
};

std::string manifestText(const Manifest& manifest);

// Reads a manifest this program wrote; nothing, with the reason, for
// anything else: another format number, a table or a size missing, a file
// this program never puts into an archive, a name given twice.
std::optional<Manifest> parseManifest(std::string_view text, std::string* why);

// "student 1200, one 3600, ..."
std::string countsText(const RowCounts& counts);

}  // namespace backup
