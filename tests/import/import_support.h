// What the import tests share: files made by independent writers (openpyxl,
// LibreOffice when installed, hand-made CSV bytes) in a temporary folder,
// and tables read back as rows of texts.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "import/learner_check.h"
#include "import/read_table.h"
#include "tests/support/temp_folder.h"

namespace importtest {

namespace fs = std::filesystem;
using learner_import::CellKind;
using learner_import::ReadError;
using learner_import::ReadFailure;
using learner_import::Table;

inline const fs::path kScript = fs::path(JX_IMPORT_TEST_DIR) / "make_workbook.py";
inline constexpr int kSkipped = 77;

// Identity numbers with a valid check digit, one of them ending in X.
inline const std::string kValid = "110101199003071233";
inline const std::string kValidX = "11010519491231002X";

inline std::string quotedArgument(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs the script; its exit status (output goes to the test's log).
inline int runScript(const std::string& arguments) {
  int status = std::system(("/usr/bin/python3 " + quotedArgument(kScript.string()) + " " + arguments).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A JSON string literal of UTF-8 text.
inline std::string json(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

// Cells for make_workbook.py: text, a number cell, a date cell, a text-format cell, no cell.
inline std::string text(const std::string& t) { return json(t); }
inline std::string number(const std::string& n) { return "{\"n\": " + n + "}"; }
inline std::string date(const std::string& iso) { return "{\"d\": \"" + iso + "\"}"; }
inline std::string textFormatted(const std::string& t) { return "{\"t\": " + json(t) + "}"; }
inline std::string none() { return "null"; }

using CellRows = std::vector<std::vector<std::string>>;

// An .xlsx written by openpyxl.
inline fs::path writeXlsx(const jxtest::TempFolder& folder, const std::string& name, const CellRows& rows) {
  std::string rowsText = "[";
  for (size_t r = 0; r < rows.size(); ++r) {
    rowsText += r ? ",[" : "[";
    for (size_t c = 0; c < rows[r].size(); ++c) rowsText += (c ? "," : "") + rows[r][c];
    rowsText += "]";
  }
  rowsText += "]";
  fs::path rowsFile = folder / (name + ".json");
  jxtest::TempFolder::write(rowsFile, rowsText);
  fs::path out = folder / name;
  EXPECT_EQ(runScript("xlsx " + quotedArgument(out.string()) + " " + quotedArgument(rowsFile.string())), 0);
  return out;
}

// Every kept row of a table: its number and the texts of its cells.
struct RowTexts {
  uint32_t number;
  std::vector<std::string> cells;
  bool operator==(const RowTexts&) const = default;
};
inline std::vector<RowTexts> rowsOf(const Table& table) {
  std::vector<RowTexts> rows;
  for (size_t i = 0; i < table.rowCount(); ++i) {
    RowTexts row{table.row(i).number, {}};
    for (const Table::Cell& cell : table.cells(table.row(i))) row.cells.emplace_back(table.text(cell));
    rows.push_back(row);
  }
  return rows;
}
inline void PrintTo(const RowTexts& row, std::ostream* out) {
  *out << row.number << ":";
  for (const std::string& cell : row.cells) *out << " [" << cell << "]";
}

inline std::unique_ptr<Table> readFile(const fs::path& file, ReadError& error) {
  return learner_import::readTableFile(file.string(), error);
}

}  // namespace importtest
