// The settings file of a program folder (systeminfo.ini, GB18030): the
// reader's port, the vehicle classes and the coaches with their plates and
// telephones. Each setting sits in a section whose one key has its name.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backup/automatic.h"

namespace admin {

inline constexpr std::string_view kSettingsFileName = "systeminfo.ini";
inline constexpr std::string_view kLogFileName = "log.log";

inline constexpr std::string_view kPortSection = "端口设置";
inline constexpr std::string_view kVehicleClassSection = "车型信息设置";
inline constexpr std::string_view kCoachNameSection = "教练姓名设置";
inline constexpr std::string_view kCoachPlateSection = "教练车牌设置";
inline constexpr std::string_view kCoachPhoneSection = "教练电话设置";
// How many daily automatic backups the program keeps in 备份/ (0: none made).
inline constexpr std::string_view kKeptBackupsSection = "自动备份保留份数";
inline constexpr char kListSeparator = '|';

struct Coach {
  std::string name, phone, plate;  // UTF-8; phone and plate may be empty
};

struct Settings {
  int port = 0;
  int keptBackups = backup::kDefaultKeptBackups;
  std::vector<std::string> vehicleClasses;  // UTF-8
  std::vector<Coach> coaches;
};

// The settings a new program folder starts with.
Settings sampleSettings();

// The file's text in GB18030.
std::string settingsFileText(const Settings& settings);

// Reads the lists back as the program reads them (missing sections read as
// empty lists); nothing when the file cannot be read or is not a regular
// file of at most base::kSettingsFileLimit bytes.
std::optional<Settings> readSettingsFile(const std::filesystem::path& file);

// Splits a list at every separator; a separator at the very end adds no element.
std::vector<std::string> splitList(std::string_view value);

}  // namespace admin
