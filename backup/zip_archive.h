// The archive file itself (libzip): writing one from staged files and a
// manifest, reading its entries back with their sizes and SHA-256 sums.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backup/files.h"
#include "backup/sha256.h"

typedef struct zip zip_t;

namespace backup {

struct EntrySource {
  std::string name;
  std::filesystem::path file;
  // Encrypted pages and the server's dump (compressed already) are stored
  // as they are; texts are deflated.
  bool compress = false;
};

// Writes a new archive at `path` (replacing a file there) with the files
// and the manifest as its last entry. libzip builds it under a temporary
// name beside `path` and renames it when complete.
bool writeArchive(const std::filesystem::path& path, const std::vector<EntrySource>& entries,
                  const std::string& manifestText, const Control& control, std::string* why);

class ArchiveReader {
 public:
  // Opens an archive for reading, checking its central directory against
  // the entries' headers; nothing, with the reason, for a file that is not
  // a sound zip archive.
  static std::optional<ArchiveReader> open(const std::filesystem::path& path, std::string* why);

  const std::vector<std::string>& names() const { return names_; }
  // An entry of at most `limit` bytes, whole.
  std::optional<std::string> readSmall(const std::string& name, size_t limit, std::string* why) const;
  // Streams an entry through SHA-256 (libzip checks its CRC on the way) and,
  // when `target` is given, into that new file with the access's file mode.
  std::optional<FileDigest> read(const std::string& name, const std::filesystem::path* target, const Access& access,
                                 const Control& control, std::string* why) const;

 private:
  struct Close {
    void operator()(zip_t* archive) const;
  };
  explicit ArchiveReader(zip_t* archive);
  std::unique_ptr<zip_t, Close> archive_;
  std::vector<std::string> names_;
};

}  // namespace backup
