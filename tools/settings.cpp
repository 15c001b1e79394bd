#include "tools/settings.h"

#include <cstdlib>

#include "base/ini.h"
#include "base/regular_file.h"
#include "runtime/encoding.h"

namespace admin {
namespace {

std::string joinList(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) text += kListSeparator;
    text += items[i];
  }
  return text;
}

template <typename Field>
std::vector<std::string> coachList(const Settings& settings, Field field) {
  std::vector<std::string> items;
  for (const Coach& coach : settings.coaches) items.push_back(coach.*field);
  return items;
}

void writeSection(std::string& text, std::string_view name, std::string_view value) {
  text.append("[").append(name).append("]\n").append(name).append("=").append(value).append("\n");
}

// The value of the key that has its section's name, as the program reads it
// (base/ini.h: names ignore ASCII case, quotes around the value go), in UTF-8.
std::string valueOf(std::string_view fileGb, std::string_view sectionUtf8) {
  std::string section = rt::utf8ToGb(sectionUtf8);
  return rt::gbToUtf8(base::ini::findValue(fileGb, section, section).value_or(""));
}

}  // namespace

Settings sampleSettings() {
  Settings settings;
  settings.port = 1;
  settings.vehicleClasses = {"C1", "C2", "B2", "A1", "A2", "D"};
  settings.coaches = {
      {"王建国", "13901234567", "京B1023学"}, {"李秀英", "13812345678", "京B1187学"},
      {"张志强", "13698765432", "京B2046学"}, {"刘海涛", "15011112222", "京B2315学"},
      {"陈丽华", "18600001234", "京B3372学"}, {"杨明", "13511223344", "京B4408学"},
  };
  return settings;
}

std::string settingsFileText(const Settings& settings) {
  std::string text;
  writeSection(text, kPortSection, std::to_string(settings.port));
  writeSection(text, kVehicleClassSection, joinList(settings.vehicleClasses));
  writeSection(text, kCoachNameSection, joinList(coachList(settings, &Coach::name)));
  writeSection(text, kCoachPlateSection, joinList(coachList(settings, &Coach::plate)));
  writeSection(text, kCoachPhoneSection, joinList(coachList(settings, &Coach::phone)));
  writeSection(text, kKeptBackupsSection, std::to_string(settings.keptBackups));
  return rt::utf8ToGb(text);
}

std::vector<std::string> splitList(std::string_view value) {
  std::vector<std::string> items;
  while (!value.empty()) {
    size_t at = value.find(kListSeparator);
    items.emplace_back(value.substr(0, at));
    if (at == std::string_view::npos) break;
    value.remove_prefix(at + 1);
  }
  return items;
}

std::optional<Settings> readSettingsFile(const std::filesystem::path& file) {
  std::optional<std::string> bytes = base::readRegularFile(file);
  if (!bytes) return std::nullopt;
  Settings settings;
  settings.port = std::atoi(valueOf(*bytes, kPortSection).c_str());
  settings.vehicleClasses = splitList(valueOf(*bytes, kVehicleClassSection));
  std::vector<std::string> names = splitList(valueOf(*bytes, kCoachNameSection));
  std::vector<std::string> plates = splitList(valueOf(*bytes, kCoachPlateSection));
  std::vector<std::string> phones = splitList(valueOf(*bytes, kCoachPhoneSection));
  for (size_t i = 0; i < names.size(); ++i)
    settings.coaches.push_back({names[i], i < phones.size() ? phones[i] : "", i < plates.size() ? plates[i] : ""});
  return settings;
}

}  // namespace admin
