// The connection text of a database connection: the provider text the
// application has always built, from which this library takes the data
// source and the password. All texts here are GB18030 bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace db {

inline constexpr std::string_view kProviderPrefix = "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=";
inline constexpr std::string_view kPasswordKey = ";Jet OLEDB:Database Password=";
inline constexpr std::string_view kPasswordTerminator = ";";

// Prefix + path unchanged; the password key, password and terminator only
// when a password is given.
std::string buildConnectionText(std::string_view path, std::string_view password);

struct DataSource {
  std::string path;      // as written in the text (GB18030, '\' allowed)
  std::string password;  // empty: the file has no key
};

// The inverse of buildConnectionText; nothing for a text of another form.
std::optional<DataSource> parseConnectionText(std::string_view text);

}  // namespace db
