// Checking an archive against its manifest before anything relies on it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "backup/files.h"
#include "backup/manifest.h"

namespace backup {

// The largest manifest read: a few hundred bytes are normal.
inline constexpr size_t kLargestManifest = 64 * 1024;

// Reads the archive's manifest and checks that the archive holds exactly
// the files it lists, each with its size and SHA-256 (libzip checks each
// entry's CRC as well). With `into` (an empty folder), every file is also
// extracted there and the records are checked as they would be used: the
// file opened with the program's key, the engine's integrity check and the
// row counts; the server's dump read through and counted. Nothing, with the
// reason, for an archive that fails any of this.
std::optional<Manifest> checkArchive(const std::filesystem::path& archive, const std::filesystem::path* into,
                                     const Access& access, const Control& control, std::string* why);

// Only the manifest (for listing backups).
std::optional<Manifest> readManifest(const std::filesystem::path& archive, std::string* why);

}  // namespace backup
