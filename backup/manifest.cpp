#include "backup/manifest.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "backup/names.h"
#include "backup/sha256.h"
#include "db/schema.h"

namespace backup {
namespace {

constexpr std::string_view kFormat = "1";
constexpr std::string_view kHeadSection = "备份";
constexpr std::string_view kRowsSection = "行数";
constexpr std::string_view kFilesSection = "文件";
constexpr std::string_view kFormatKey = "格式";
constexpr std::string_view kTimeKey = "时间";
constexpr std::string_view kVersionKey = "程序版本";
constexpr std::string_view kFolderKey = "文件夹";
constexpr std::string_view kRecordsKey = "数据库";
constexpr std::string_view kRecordsInFile = "文件";
constexpr std::string_view kRecordsOnServer = "服务器";

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

template <typename Number>
std::optional<Number> numberOf(std::string_view text) {
  Number value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty() || text.front() == '-')
    return std::nullopt;
  return value;
}

bool isArchiveEntryName(std::string_view name) {
  if (name == kDatabaseEntry || name == kServerDumpEntry) return true;
  return std::find(kFolderFiles.begin(), kFolderFiles.end(), name) != kFolderFiles.end();
}

bool isTableName(std::string_view name) {
  for (const auto& table : db::records::tables())
    if (table.name == name) return true;
  return false;
}

struct Reader {
  Manifest manifest;
  std::set<std::string, std::less<>> seen;  // "section/key"
  std::string why;

  bool refuse(std::string reason) {
    why = std::move(reason);
    return false;
  }

  bool take(std::string_view section, std::string_view key, std::string_view value) {
    if (section != kHeadSection && section != kRowsSection && section != kFilesSection) return true;
    std::string id = std::string(section) + "/" + std::string(key);
    if (!seen.insert(id).second) return refuse("the manifest names " + std::string(key) + " twice");
    if (section == kHeadSection) return takeHead(key, value);
    if (section == kRowsSection) return takeRows(key, value);
    return takeFile(key, value);
  }

  bool takeHead(std::string_view key, std::string_view value) {
    if (key == kFormatKey && value != kFormat)
      return refuse("the manifest has format " + std::string(value) + ", which this program does not read");
    if (key == kTimeKey) manifest.time = value;
    if (key == kVersionKey) manifest.programVersion = value;
    if (key == kFolderKey) manifest.folderName = value;
    if (key == kRecordsKey) {
      if (value == kRecordsInFile)
        manifest.records = RecordsKind::kFile;
      else if (value == kRecordsOnServer)
        manifest.records = RecordsKind::kServer;
      else
        return refuse("the manifest names an unknown kind of records: " + std::string(value));
    }
    return true;
  }

  bool takeRows(std::string_view table, std::string_view value) {
    if (!isTableName(table)) return refuse("the manifest counts an unknown table " + std::string(table));
    auto rows = numberOf<int64_t>(value);
    if (!rows) return refuse("the manifest's count of " + std::string(table) + " is not a number");
    manifest.rows.emplace_back(table, *rows);
    return true;
  }

  bool takeFile(std::string_view name, std::string_view value) {
    if (!isArchiveEntryName(name)) return refuse("the manifest lists a file no backup holds: " + std::string(name));
    size_t blank = value.find(' ');
    auto size = blank == std::string_view::npos ? std::nullopt : numberOf<uint64_t>(value.substr(0, blank));
    std::string_view digest = blank == std::string_view::npos ? std::string_view() : trimmed(value.substr(blank + 1));
    if (!size || !isSha256Text(digest))
      return refuse("the manifest's line for " + std::string(name) + " is not a size and a SHA-256");
    manifest.files.push_back({std::string(name), *size, std::string(digest)});
    return true;
  }

  bool complete() {
    if (!seen.contains(std::string(kHeadSection) + "/" + std::string(kFormatKey)))
      return refuse("the manifest has no format number");
    RowCounts ordered;
    for (const auto& table : db::records::tables()) {
      int64_t rows = manifest.rowsOf(table.name);
      if (rows < 0) return refuse("the manifest has no count for table " + std::string(table.name));
      ordered.emplace_back(table.name, rows);
    }
    manifest.rows = std::move(ordered);
    if (!manifest.file(manifest.recordsEntry()))
      return refuse("the manifest lists no " + std::string(manifest.recordsEntry()));
    if (manifest.records == RecordsKind::kServer && !manifest.file(kServerSettingsEntry))
      return refuse("the manifest of a server's records lists no " + std::string(kServerSettingsEntry));
    return true;
  }
};

}  // namespace

const ArchivedFile* Manifest::file(std::string_view name) const {
  for (const ArchivedFile& file : files)
    if (file.name == name) return &file;
  return nullptr;
}

int64_t Manifest::rowsOf(std::string_view table) const {
  for (const auto& [name, count] : rows)
    if (name == table) return count;
  return -1;
}

std::string_view Manifest::recordsEntry() const {
  return records == RecordsKind::kFile ? kDatabaseEntry : kServerDumpEntry;
}

std::string manifestText(const Manifest& manifest) {
  std::string text;
  auto line = [&](std::string_view key, std::string_view value) {
    text.append(key).append("=").append(value).append("\n");
  };
  text.append("[").append(kHeadSection).append("]\n");
  line(kFormatKey, kFormat);
  line(kTimeKey, manifest.time);
  line(kVersionKey, manifest.programVersion);
  line(kFolderKey, manifest.folderName);
  line(kRecordsKey, manifest.records == RecordsKind::kFile ? kRecordsInFile : kRecordsOnServer);
  text.append("[").append(kRowsSection).append("]\n");
  for (const auto& [table, rows] : manifest.rows) line(table, std::to_string(rows));
  text.append("[").append(kFilesSection).append("]\n");
  for (const ArchivedFile& file : manifest.files) line(file.name, std::to_string(file.size) + " " + file.sha256);
  return text;
}

std::optional<Manifest> parseManifest(std::string_view text, std::string* why) {
  Reader reader;
  std::string section;
  bool ok = true;
  while (ok && !text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = trimmed(line.substr(1, line.size() - 2));
      continue;
    }
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      ok = reader.refuse("the manifest has a line that is not key=value");
      break;
    }
    ok = reader.take(section, trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
  }
  if (ok) ok = reader.complete();
  if (!ok) {
    if (why) *why = reader.why;
    return std::nullopt;
  }
  return std::move(reader.manifest);
}

std::string countsText(const RowCounts& counts) {
  std::string text;
  for (const auto& [table, rows] : counts) {
    if (!text.empty()) text += ", ";
    text += table + " " + std::to_string(rows);
  }
  return text;
}

}  // namespace backup
