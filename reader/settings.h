// The library's own settings file, sdtapi.ini, beside the library file.
//
//   [ports]
//   ; port number = device path (any number; overrides the built-in names)
//   1001 = /dev/serial/by-id/usb-reader-if00-port0
//   [photo]
//   ; the photo decoder plug-in (sdtapi_photo.h); a relative path is taken
//   ; from the folder of this file
//   decoder = libcardphoto.so
//   function = sdtapi_decode_photo
//
// The file is UTF-8 text read by the rules of base/ini.h (names ignore ASCII
// case, the first line of a key counts, quotes around a value go), and lines
// that start with "#" are comments too, as is whatever follows a ";" or "#"
// after a blank on a value's line. Only a regular file of at most
// base::kSettingsFileLimit bytes is read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace sdt {

inline constexpr std::string_view kSettingsFileName = "sdtapi.ini";

struct PhotoDecoderSetting {
  std::filesystem::path library;
  std::string function;
};

struct ReaderSettings {
  std::map<int32_t, std::string> ports;
  std::optional<PhotoDecoderSetting> photoDecoder;
};

// Settings from the file's text; relative decoder paths are taken from `folder`.
ReaderSettings parseSettings(std::string_view text, const std::filesystem::path& folder);
// The settings file in `folder`; empty settings when it cannot be read.
ReaderSettings readSettings(const std::filesystem::path& folder);

// The device of a port: the settings' mapping, else 1-16 are /dev/ttyS0 to
// /dev/ttyS15 and 1001-1016 /dev/ttyUSB0 to /dev/ttyUSB15; nothing otherwise.
std::optional<std::string> devicePath(const ReaderSettings& settings, int32_t port);

}  // namespace sdt
