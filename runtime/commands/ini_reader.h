// The settings command: one value of a settings file, read by the rules of
// base/ini.h, cut to the program's value buffer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rt::ini {

// The value buffer of a read: at most this many bytes minus the terminator.
inline constexpr size_t kValueBufferBytes = 10240;

// The value as the settings command reads it: the file's value, or `fallback`
// (its trailing blanks dropped) when the file, section or key is missing;
// either one cut to fit the value buffer without splitting a double-byte
// character. An empty path, section or key (after leading bytes 1..32 are
// skipped) gives the empty text whatever the fallback. Only a regular file
// of at most base::kSettingsFileLimit bytes is read; any other counts as
// missing.
std::string readValue(std::string_view pathGb, std::string_view sectionGb, std::string_view keyGb,
                      std::string_view fallbackGb);

}  // namespace rt::ini
