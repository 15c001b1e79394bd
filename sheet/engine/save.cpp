#include "sheet/engine/save.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sheet/engine/file_replacement.h"
#include "sheet/engine/package_writer.h"
#include "sheet/engine/xls_writer.h"
#include "sheet/engine/xlsx_writer.h"

namespace sheet {
namespace {

constexpr std::string_view kXlsx = ".xlsx";
constexpr std::string_view kXls = ".xls";
constexpr const char* kTemporarySuffix = ".tmp";

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char a = text[text.size() - suffix.size() + i];
    if ((a >= 'A' && a <= 'Z' ? a | 0x20 : a) != suffix[i]) return false;
  }
  return true;
}

}  // namespace

std::string temporaryNameFor(std::string_view targetFileName, uint32_t random) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%08x%s", static_cast<unsigned>(random), kTemporarySuffix);
  std::string name = ".";
  name.append(targetFileName).append(suffix);
  return name;
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
  // Files with personal data are made for the owner alone.
  FileReplacement file(target.path, target.ownerOnly ? 0600u : 0666u);
  if (!file.valid()) {
    error = "cannot create a file in the folder of " + target.path + ": " + std::strerror(errno);
    return false;
  }
  // The writers open the file by the descriptor's name, never the folder's.
  const std::string path = file.descriptorPath();
  bool written = false;
  if (target.format == FileFormat::kXls)
    written = writeXls(workbook, path, error);
  else if (workbook.source)
    written = rewriteXlsx(workbook, path, error);
  else
    written = writeNewXlsx(workbook, path, error);
  return written && file.commit(error);
}

}  // namespace sheet
