#include "backup/names.h"

#include <ctime>
#include <filesystem>

namespace backup {
namespace {

constexpr size_t kStampLength = 15;  // YYYYMMDD-HHMMSS

std::string formatted(Clock::time_point time, const char* format) {
  std::time_t seconds = Clock::to_time_t(time);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  size_t length = std::strftime(text, sizeof text, format, &local);
  return std::string(text, length);
}

bool isDigits(std::string_view text) {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return !text.empty();
}

}  // namespace

std::string stampText(Clock::time_point time) { return formatted(time, "%Y%m%d-%H%M%S"); }
std::string dayText(Clock::time_point time) { return formatted(time, "%Y%m%d"); }
std::string readableTime(Clock::time_point time) { return formatted(time, "%Y-%m-%d %H:%M:%S"); }

std::string archiveName(std::string_view folderName, Clock::time_point time) {
  return std::string(folderName) + "-" + stampText(time) + std::string(kArchiveSuffix);
}

std::optional<std::string> stampOfArchive(std::string_view fileName) {
  if (!fileName.ends_with(kArchiveSuffix)) return std::nullopt;
  fileName.remove_suffix(kArchiveSuffix.size());
  if (fileName.size() < kStampLength + 1 || fileName.starts_with(".")) return std::nullopt;
  std::string_view stamp = fileName.substr(fileName.size() - kStampLength);
  if (fileName[fileName.size() - kStampLength - 1] != '-' || stamp[8] != '-' || !isDigits(stamp.substr(0, 8)) ||
      !isDigits(stamp.substr(9)))
    return std::nullopt;
  return std::string(stamp);
}

std::string folderNameOf(const std::string& folderUtf8) {
  std::filesystem::path path(folderUtf8);
  std::string name = path.filename().string();
  if (name.empty() || name == ".") name = path.parent_path().filename().string();
  if (name.empty() || name == "." || name == "..")
    name = std::filesystem::weakly_canonical(std::filesystem::absolute(path)).filename().string();
  return name.empty() ? std::string("school") : name;
}

}  // namespace backup
