#include "reader/settings.h"

#include <charconv>
#include <fstream>
#include <iterator>

namespace sdt {

namespace {

constexpr int32_t kFirstSerialPort = 1;
constexpr int32_t kFirstUsbPort = 1001;
constexpr int32_t kPortsPerKind = 16;
constexpr std::string_view kBlanks = " \t\r";

std::string_view trimmed(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<int32_t> numberOf(std::string_view text) {
  int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

ReaderSettings parseSettings(std::string_view text, const std::filesystem::path& folder) {
  ReaderSettings settings;
  std::string section;
  std::string decoderFile, decoderFunction;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      section =
          std::string(trimmed(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
      continue;
    }
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view key = trimmed(line.substr(0, equals));
    std::string value(trimmed(line.substr(equals + 1)));
    if (section == "ports") {
      if (auto port = numberOf(key); port && !value.empty()) settings.ports[*port] = value;
    } else if (section == "photo") {
      if (key == "decoder") decoderFile = value;
      if (key == "function") decoderFunction = value;
    }
  }
  if (!decoderFile.empty() && !decoderFunction.empty()) {
    std::filesystem::path library(decoderFile);
    if (library.is_relative()) library = folder / library;
    settings.photoDecoder = PhotoDecoderSetting{library, decoderFunction};
  }
  return settings;
}

ReaderSettings readSettings(const std::filesystem::path& folder) {
  std::ifstream in(folder / kSettingsFileName, std::ios::binary);
  if (!in) return {};
  std::string text(std::istreambuf_iterator<char>(in), {});
  return parseSettings(text, folder);
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
