// Reading one value of a settings file in the private-profile format:
//
//   ; comment
//   [section]
//   key = value
//
// We read these files ourselves: no library of the system gives exactly the
// behaviour programs written for this format rely on:
// - section and key names compare ignoring ASCII letter case; blanks around
//   names and values are dropped; the first key line in file order under a
//   matching section header wins;
// - lines whose first non-blank byte is ';' are comments; a line without '='
//   is a key with an empty value; lines before the first header belong to no
//   section;
// - a value enclosed in one pair of matching quotes (' or ") loses them;
// - every other byte, GB18030 characters included, passes unchanged.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rt::ini {

// The value buffer of a read: at most this many bytes minus the terminator.
inline constexpr size_t kValueBufferBytes = 10240;

// The value of `key` in `section` of the file content, or nothing when the
// section or the key is missing. Not truncated.
std::optional<std::string> findValue(std::string_view content, std::string_view section, std::string_view key);

// The value as the settings command reads it: the file's value, or `fallback`
// (its trailing blanks dropped) when the file, section or key is missing;
// either one cut to fit the value buffer without splitting a double-byte
// character. An empty path, section or key (after leading bytes 1..32 are
// skipped) gives the empty text whatever the fallback.
std::string readValue(std::string_view pathGb, std::string_view sectionGb, std::string_view keyGb,
                      std::string_view fallbackGb);

}  // namespace rt::ini
