// Reading a whole small file that the program does not trust to be one: a
// settings file may have been replaced by a pipe that never delivers, a link
// to a device that never ends, or a huge file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace base {

// The largest settings file read (a real one takes a few KiB).
inline constexpr size_t kSettingsFileLimit = size_t{1} << 20;

// The file's bytes when it is a regular file of at most `maxBytes` bytes;
// nothing for a missing or unreadable file, a folder, a pipe, a device or a
// larger file. It never waits for a writer: the file is opened without
// blocking and checked with fstat before anything is read.
std::optional<std::string> readRegularFile(const std::filesystem::path& file, size_t maxBytes = kSettingsFileLimit);

}  // namespace base
