// database.ini: a program folder whose records live on a database server
// holds this file beside (or instead of) hj.mdb:
//
//   [数据库]
//   连接=host=192.168.1.10 dbname=jiaxiao user=desk1
//
// The value is a libpq connection string or URI. The password is never
// written here: libpq reads it from ~/.pgpass or the file PGPASSFILE names.
// The file is read as GB18030, like systeminfo.ini; a file that starts with
// the UTF-8 byte order mark is read as UTF-8 (a GB18030 text never starts
// with those three bytes, so either reading is unambiguous). The rules are
// those of every settings file (base/ini.h), with '#' comment lines as well;
// only a regular file of at most base::kSettingsFileLimit bytes is read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace db {

inline constexpr std::string_view kServerSettingsFile = "database.ini";
inline constexpr std::string_view kServerSection = "数据库";  // UTF-8
inline constexpr std::string_view kServerKey = "连接";

// The connection string (UTF-8) of the file's text; nothing when the text
// names no server (no such section or key, or an empty value).
std::optional<std::string> serverSettingOf(std::string_view fileBytes);

// The connection string of the database.ini in the folder of the records
// file at this native path; nothing when there is no such file or it names
// no server.
std::optional<std::string> serverNamedBeside(const std::string& databasePathNative);

// The settings of a connection string that name files the client library
// reads (certificates, keys, revocation lists, the password file), as
// keyword and file name; nothing for a string that does not parse.
std::vector<std::pair<std::string, std::string>> serverFileSettings(const std::string& connection);

}  // namespace db
