// What the export and printing tests share: learners with the identity
// numbers that matter, the menu entries, workbooks read back by independent
// readers, and the layout lines of printed PDF files.
#pragma once

#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/desktop.h"
#include "runtime/qt/window_manager.h"
#include "tests/sheet/sheet_support.h"
#include "tests/support/app_fixture.h"

namespace exchangetest {

using namespace jxtest;
namespace fs = std::filesystem;

inline constexpr uint32_t kInformationMessage = rt::mb::kIconInformation | rt::mb::kTaskModal;
inline constexpr uint32_t kErrorMessage = rt::mb::kIconStop | rt::mb::kTaskModal;
inline constexpr uint32_t kPlainMessage = rt::mb::kTaskModal;
inline const std::string kDefaultCaption = "信息：";

inline const std::string kExportDialogFilter = "Excel表格（*.xls;*.xlsx）|*.xlsx;*.xls||";

// An 18-character number ending in X, and a 15-character one.
inline const std::string kNumberWithX = "11010519491231002X";
inline const std::string kShortNumber = "110105491231002";

inline void chooseExport() { chooseMenu("学员管理", "导出数据"); }
inline void choosePrint() { chooseMenu("学员管理", "打印报名表"); }

inline bool progressWindowLoaded() { return rt::WindowManager::instance().find(ui::kProgressWindow) != nullptr; }

// Every file name in a folder.
inline std::vector<std::string> filesIn(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The lines of `pdftotext -layout`.
inline std::vector<std::string> layoutLines(const fs::path& pdf) {
  std::vector<std::string> lines;
  std::istringstream in(sheettest::pdfFacts(pdf).text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// The printed line that holds `label`; empty when none does.
inline std::string lineWith(const std::vector<std::string>& lines, const std::string& label) {
  for (const std::string& line : lines)
    if (line.find(label) != std::string::npos) return line;
  return {};
}

// The words of a printed line, split at blanks (one or more).
inline std::vector<std::string> wordsOf(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

}  // namespace exchangetest
