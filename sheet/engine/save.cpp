#include "sheet/engine/save.h"

#include <fcntl.h>
#include <unistd.h>

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
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
    fs::path candidate = folder / ("." + target.filename().string() + suffix);
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
