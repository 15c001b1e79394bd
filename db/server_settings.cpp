#include "db/server_settings.h"

#include <filesystem>

#include "base/ini.h"
#include "base/regular_file.h"
#include "runtime/encoding.h"

namespace db {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

}  // namespace

std::optional<std::string> serverSettingOf(std::string_view fileBytes) {
  // '#' comment lines as in the other configuration files of a server desk.
  constexpr base::ini::Options kFormat{.characters = base::ini::Characters::kUtf8, .hashComments = true};
  std::string text =
      fileBytes.starts_with(kUtf8Mark) ? std::string(fileBytes.substr(kUtf8Mark.size())) : rt::gbToUtf8(fileBytes);
  std::optional<std::string_view> value = base::ini::findValue(text, kServerSection, kServerKey, kFormat);
  if (!value || value->empty()) return std::nullopt;
  return std::string(*value);
}

std::optional<std::string> serverNamedBeside(const std::string& databasePathNative) {
  std::filesystem::path file = std::filesystem::path(databasePathNative).parent_path() / kServerSettingsFile;
  std::optional<std::string> bytes = base::readRegularFile(file);
  if (!bytes) return std::nullopt;
  return serverSettingOf(*bytes);
}

}  // namespace db
