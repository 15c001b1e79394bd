#include "db/server_settings.h"

#include <libpq-fe.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>

#include "base/ini.h"
#include "base/regular_file.h"
#include "runtime/encoding.h"

namespace db {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// Connection settings that name a file the client library reads.
constexpr std::array<std::string_view, 6> kFileSettings = {"sslcert", "sslkey",    "sslrootcert",
                                                           "sslcrl",  "sslcrldir", "passfile"};

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

std::vector<std::pair<std::string, std::string>> serverFileSettings(const std::string& connection) {
  std::vector<std::pair<std::string, std::string>> files;
  char* error = nullptr;
  std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> options(PQconninfoParse(connection.c_str(), &error),
                                                                       PQconninfoFree);
  PQfreemem(error);
  if (!options) return files;
  for (const PQconninfoOption* option = options.get(); option->keyword; ++option) {
    if (!option->val || !*option->val) continue;
    std::string_view key = option->keyword;
    if (std::find(kFileSettings.begin(), kFileSettings.end(), key) != kFileSettings.end())
      files.emplace_back(key, option->val);
  }
  return files;
}

}  // namespace db
