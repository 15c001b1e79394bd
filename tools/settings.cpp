#include "tools/settings.h"

#include <fstream>
#include <map>
#include <sstream>

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

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// section -> value of the key of the same name
std::map<std::string, std::string, std::less<>> parseIni(std::string_view utf8) {
  std::map<std::string, std::string, std::less<>> values;
  std::string section;
  std::istringstream lines{std::string(utf8)};
  for (std::string raw; std::getline(lines, raw);) {
    std::string_view line = trimmed(raw);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = std::string(trimmed(line.substr(1, line.size() - 2)));
      continue;
    }
    size_t equals = line.find('=');
    if (equals == std::string_view::npos || trimmed(line.substr(0, equals)) != section) continue;
    values.emplace(section, std::string(trimmed(line.substr(equals + 1))));
  }
  return values;
}

std::string valueOf(const std::map<std::string, std::string, std::less<>>& values, std::string_view section) {
  auto it = values.find(section);
  return it == values.end() ? std::string() : it->second;
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
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  auto values = parseIni(rt::gbToUtf8(bytes.str()));
  Settings settings;
  settings.port = std::atoi(valueOf(values, kPortSection).c_str());
  settings.vehicleClasses = splitList(valueOf(values, kVehicleClassSection));
  std::vector<std::string> names = splitList(valueOf(values, kCoachNameSection));
  std::vector<std::string> plates = splitList(valueOf(values, kCoachPlateSection));
  std::vector<std::string> phones = splitList(valueOf(values, kCoachPhoneSection));
  for (size_t i = 0; i < names.size(); ++i)
    settings.coaches.push_back({names[i], i < phones.size() ? phones[i] : "", i < plates.size() ? plates[i] : ""});
  return settings;
}

}  // namespace admin
