#include "reader/settings.h"

#include <charconv>

#include "base/ini.h"
#include "base/regular_file.h"

namespace sdt {

namespace {

constexpr int32_t kFirstSerialPort = 1;
constexpr int32_t kFirstUsbPort = 1001;
constexpr int32_t kPortsPerKind = 16;
constexpr std::string_view kPortsSection = "ports";
constexpr std::string_view kPhotoSection = "photo";
constexpr std::string_view kDecoderKey = "decoder";
constexpr std::string_view kFunctionKey = "function";

std::optional<int32_t> numberOf(std::string_view text) {
  int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

ReaderSettings parseSettings(std::string_view text, const std::filesystem::path& folder) {
  constexpr base::ini::Options kFormat{
      .characters = base::ini::Characters::kUtf8, .hashComments = true, .trailingComments = true};
  ReaderSettings settings;
  for (const base::ini::Entry& entry : base::ini::sectionEntries(text, kPortsSection, kFormat))
    if (auto port = numberOf(entry.key); port && !entry.value.empty()) settings.ports.emplace(*port, entry.value);
  std::string_view decoderFile = base::ini::findValue(text, kPhotoSection, kDecoderKey, kFormat).value_or("");
  std::string_view decoderFunction = base::ini::findValue(text, kPhotoSection, kFunctionKey, kFormat).value_or("");
  if (!decoderFile.empty() && !decoderFunction.empty()) {
    std::filesystem::path library(decoderFile);
    if (library.is_relative()) library = folder / library;
    settings.photoDecoder = PhotoDecoderSetting{library, std::string(decoderFunction)};
  }
  return settings;
}

ReaderSettings readSettings(const std::filesystem::path& folder) {
  std::optional<std::string> text = base::readRegularFile(folder / kSettingsFileName);
  return text ? parseSettings(*text, folder) : ReaderSettings{};
}

std::optional<std::string> devicePath(const ReaderSettings& settings, int32_t port) {
  if (auto mapped = settings.ports.find(port); mapped != settings.ports.end()) return mapped->second;
  if (port >= kFirstSerialPort && port < kFirstSerialPort + kPortsPerKind)
    return "/dev/ttyS" + std::to_string(port - kFirstSerialPort);
  if (port >= kFirstUsbPort && port < kFirstUsbPort + kPortsPerKind)
    return "/dev/ttyUSB" + std::to_string(port - kFirstUsbPort);
  return std::nullopt;
}

}  // namespace sdt
