#include "sheet/engine/save.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "sheet/engine/package_writer.h"
#include "sheet/engine/xls_writer.h"
#include "sheet/engine/xlsx_writer.h"

namespace sheet {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kXlsx = ".xlsx";
constexpr std::string_view kXls = ".xls";
constexpr int kTemporaryNameAttempts = 100;
constexpr const char* kTemporarySuffix = ".tmp";

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char a = text[text.size() - suffix.size() + i];
    if ((a >= 'A' && a <= 'Z' ? a | 0x20 : a) != suffix[i]) return false;
  }
  return true;
}

// A new empty file beside the target (created exclusively, with the
// permissions the process gives new files); its path, or empty.
std::string makeTemporary(const fs::path& target) {
  std::random_device seed;
  std::mt19937 random(seed());
  fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    fs::path candidate = folder / temporaryNameFor(target.filename().string(), static_cast<uint32_t>(random()));
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return candidate.string();
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

}  // namespace

std::string temporaryNameFor(std::string_view targetFileName, uint32_t random) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%08x%s", static_cast<unsigned>(random), kTemporarySuffix);
  return "." + std::string(targetFileName) + suffix;
}

bool isSaveTemporaryName(std::string_view name) {
  constexpr size_t kRandomDigits = 8;
  const std::string_view suffix = kTemporarySuffix;
  // "." target "." digits suffix, the target a workbook's name.
  if (name.size() < 1 + kRandomDigits + 1 + suffix.size() || name.front() != '.' || !name.ends_with(suffix))
    return false;
  std::string_view rest = name.substr(1, name.size() - 1 - suffix.size());
  std::string_view digits = rest.substr(rest.size() - kRandomDigits);
  for (char c : digits)
    if (!std::isxdigit(static_cast<unsigned char>(c)) || std::isupper(static_cast<unsigned char>(c))) return false;
  std::string_view target = rest.substr(0, rest.size() - kRandomDigits);
  if (!target.ends_with('.')) return false;
  target.remove_suffix(1);
  auto named = [target](std::string_view extension) {
    return target.size() > extension.size() && endsWithNoCase(target, extension);
  };
  return named(kXlsx) || named(kXls);
}

SaveTarget saveTargetFor(std::string_view path) {
  if (endsWithNoCase(path, kXlsx)) return {std::string(path), FileFormat::kXlsx};
  if (endsWithNoCase(path, kXls)) return {std::string(path), FileFormat::kXls};
  return {std::string(path) + std::string(kXlsx), FileFormat::kXlsx};
}

bool saveWorkbook(const Workbook& workbook, const SaveTarget& target, std::string& error) {
  if (target.path.empty() || target.path.back() == '/') {
    error = "no file name";
    return false;
  }
  std::string temporary = makeTemporary(target.path);
  if (temporary.empty()) {
    error = "cannot create a file in the folder of " + target.path + ": " + std::strerror(errno);
    return false;
  }
  bool written = false;
  if (target.format == FileFormat::kXls)
    written = writeXls(workbook, temporary, error);
  else if (workbook.source)
    written = rewriteXlsx(workbook, temporary, error);
  else
    written = writeNewXlsx(workbook, temporary, error);
  if (written && std::rename(temporary.c_str(), target.path.c_str()) != 0) {
    error = "cannot put the file in place: " + std::string(std::strerror(errno));
    written = false;
  }
  if (!written) std::remove(temporary.c_str());
  return written;
}

}  // namespace sheet
