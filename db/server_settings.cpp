#include "db/server_settings.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "runtime/encoding.h"

namespace db {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\r";

std::string_view trimmed(std::string_view text) {
  size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(kBlanks);
  return text.substr(begin, end - begin + 1);
}

}  // namespace

std::optional<std::string> serverSettingOf(std::string_view fileBytes) {
  std::string text =
      fileBytes.starts_with(kUtf8Mark) ? std::string(fileBytes.substr(kUtf8Mark.size())) : rt::gbToUtf8(fileBytes);
  bool inSection = false;
  std::string_view rest = text;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = trimmed(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      inSection = line.back() == ']' && trimmed(line.substr(1, line.size() - 2)) == kServerSection;
      continue;
    }
    size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos || trimmed(line.substr(0, equals)) != kServerKey) continue;
    std::string_view value = trimmed(line.substr(equals + 1));
    if (value.empty()) return std::nullopt;
    return std::string(value);
  }
  return std::nullopt;
}

std::optional<std::string> serverNamedBeside(const std::string& databasePathNative) {
  std::filesystem::path file = std::filesystem::path(databasePathNative).parent_path() / kServerSettingsFile;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return serverSettingOf(bytes);
}

}  // namespace db
