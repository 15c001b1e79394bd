#include "backup/archive_check.h"

#include <set>

#include "backup/files.h"
#include "backup/names.h"
#include "backup/records_part.h"
#include "backup/zip_archive.h"

namespace backup {
namespace {

std::optional<Manifest> manifestOf(const ArchiveReader& archive, std::string* why) {
  std::string reason;
  auto text = archive.readSmall(std::string(kManifestEntry), kLargestManifest, &reason);
  if (!text) {
    refuse(why, reason + " (not a backup of this program)");
    return std::nullopt;
  }
  auto manifest = parseManifest(*text, &reason);
  if (!manifest) refuse(why, reason);
  return manifest;
}

// Exactly the manifest and the files it lists, each once.
bool holdsListedFiles(const ArchiveReader& archive, const Manifest& manifest, std::string* why) {
  std::set<std::string> seen;
  for (const std::string& name : archive.names()) {
    if (!seen.insert(name).second) return refuse(why, "it holds " + name + " twice");
    if (name != kManifestEntry && !manifest.file(name))
      return refuse(why, "it holds " + name + ", which its manifest does not list");
  }
  for (const ArchivedFile& file : manifest.files)
    if (!seen.contains(file.name)) return refuse(why, "its " + file.name + " is missing");
  return true;
}

bool recordsMatch(const Manifest& manifest, const std::filesystem::path& folder, const Control& control,
                  std::string* why) {
  std::filesystem::path records = folder / std::string(manifest.recordsEntry());
  std::string reason;
  auto counts = manifest.records == RecordsKind::kFile ? checkRecordsFile(records, control, &reason)
                                                       : checkServerDump(records, control, &reason);
  if (!counts) return refuse(why, reason);
  if (*counts != manifest.rows)
    return refuse(why, "its records hold other counts than its manifest (" + countsText(*counts) + ")");
  return true;
}

}  // namespace

std::optional<Manifest> readManifest(const std::filesystem::path& archive, std::string* why) {
  auto reader = ArchiveReader::open(archive, why);
  if (!reader) return std::nullopt;
  return manifestOf(*reader, why);
}

std::optional<Manifest> checkArchive(const std::filesystem::path& archive, const std::filesystem::path* into,
                                     const Access& access, const Control& control, std::string* why) {
  auto reader = ArchiveReader::open(archive, why);
  if (!reader) return std::nullopt;
  auto manifest = manifestOf(*reader, why);
  if (!manifest || !holdsListedFiles(*reader, *manifest, why)) return std::nullopt;
  for (const ArchivedFile& file : manifest->files) {
    std::filesystem::path target = into ? *into / file.name : std::filesystem::path();
    std::string reason;
    auto digest = reader->read(file.name, into ? &target : nullptr, access, control, &reason);
    if (!digest) {
      refuse(why, reason);
      return std::nullopt;
    }
    if (digest->size != file.size || digest->sha256 != file.sha256) {
      refuse(why, "its " + file.name + " is not the file its manifest describes (size or SHA-256 differs)");
      return std::nullopt;
    }
  }
  if (into && !recordsMatch(*manifest, *into, control, why)) return std::nullopt;
  return manifest;
}

}  // namespace backup
