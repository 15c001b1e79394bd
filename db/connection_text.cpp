#include "db/connection_text.h"

namespace db {

std::string buildConnectionText(std::string_view path, std::string_view password) {
  std::string text;
  text.reserve(kProviderPrefix.size() + path.size() + kPasswordKey.size() + password.size() + 1);
  text.append(kProviderPrefix).append(path);
  if (!password.empty()) text.append(kPasswordKey).append(password).append(kPasswordTerminator);
  return text;
}

std::optional<DataSource> parseConnectionText(std::string_view text) {
  if (!text.starts_with(kProviderPrefix)) return std::nullopt;
  std::string_view rest = text.substr(kProviderPrefix.size());
  // The path may hold ';' of its own, so only the password key ends it; a
  // password ends at the text's final terminator.
  size_t key = rest.find(kPasswordKey);
  if (key == std::string_view::npos) return DataSource{std::string(rest), {}};
  std::string_view password = rest.substr(key + kPasswordKey.size());
  if (password.ends_with(kPasswordTerminator)) password.remove_suffix(kPasswordTerminator.size());
  return DataSource{std::string(rest.substr(0, key)), std::string(password)};
}

}  // namespace db
