// The independent readers the spreadsheet tests check our files with
// (openpyxl for .xlsx, xlrd for .xls, run through tests/sheet's
// read_workbook.py), the parts of a package and their digests, and the test
// templates other programs make. No Qt: the admin tool's tests use them too.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace sheettest {

namespace fs = std::filesystem;

inline const std::string kPython = "/usr/bin/python3";
inline const fs::path kScripts = JX_SHEET_TEST_DIR;

// A temporary folder, removed with everything in it.
using TempFolder = jxtest::TempFolder;

inline std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs a shell command; its standard output. A failing command fails the test.
inline std::string run(const std::string& command) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << command;
    return {};
  }
  std::string out;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  int status = pclose(pipe);
  if (status != 0) ADD_FAILURE() << command << " failed:\n" << out;
  return out;
}

inline std::string fileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline std::vector<std::string> split(const std::string& line, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(line);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!line.empty() && line.back() == separator) parts.emplace_back();
  return parts;
}

inline std::string unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

struct CellFact {
  std::string type;  // the reader's type name: str, int, float, datetime, bool, error, date
  std::string value;
  std::string format;
};

// What an independent reader finds in a workbook.
struct ReadBack {
  std::vector<std::string> sheets;
  std::map<std::pair<int, std::string>, CellFact> cells;  // (sheet, "A1")
  std::map<std::pair<int, std::string>, double> widths;   // (sheet, column letter)
  std::map<std::pair<int, int>, double> heights;          // (sheet, 1-based row)
  std::map<int, std::vector<std::string>> merges;
  std::map<int, std::string> orientation;
  std::map<int, std::string> margins;
  std::map<int, std::string> printArea;
  std::map<std::pair<int, std::string>, std::string> styles;  // font|fill|border|alignment|number format
  std::string raw;

  const CellFact* cell(int sheet, const std::string& address) const {
    auto it = cells.find({sheet, address});
    return it == cells.end() ? nullptr : &it->second;
  }
  std::string text(int sheet, const std::string& address) const {
    const CellFact* c = cell(sheet, address);
    return c ? c->value : "<none>";
  }
};

inline ReadBack readBack(const fs::path& workbook) {
  ReadBack out;
  out.raw =
      run(kPython + " " + shellQuoted((kScripts / "read_workbook.py").string()) + " " + shellQuoted(workbook.string()));
  std::istringstream lines(out.raw);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> f = split(line, '\t');
    if (f.size() < 3) continue;
    int sheet = std::atoi(f[1].c_str());
    if (f[0] == "sheet")
      out.sheets.push_back(unescape(f[2]));
    else if (f[0] == "cell" && f.size() >= 6)
      out.cells[{sheet, f[2]}] = {f[3], unescape(f[4]), unescape(f[5])};
    else if (f[0] == "width" && f.size() >= 4)
      out.widths[{sheet, f[2]}] = std::atof(f[3].c_str());
    else if (f[0] == "height" && f.size() >= 4)
      out.heights[{sheet, std::atoi(f[2].c_str())}] = std::atof(f[3].c_str());
    else if (f[0] == "merge")
      out.merges[sheet].push_back(f[2]);
    else if (f[0] == "style" && f.size() >= 4)
      out.styles[{sheet, f[2]}] = unescape(f[3]);
    else if (f[0] == "orientation")
      out.orientation[sheet] = f[2];
    else if (f[0] == "margins")
      out.margins[sheet] = line.substr(line.find(f[2]));
    else if (f[0] == "printarea")
      out.printArea[sheet] = unescape(f[2]);
  }
  return out;
}

// Each part of a zip package and the SHA-256 of its uncompressed bytes, read
// with Python's zipfile.
inline std::map<std::string, std::string> partDigests(const fs::path& package) {
  std::string script =
      "import hashlib,sys,zipfile\n"
      "z=zipfile.ZipFile(sys.argv[1])\n"
      "for n in z.namelist(): print(n+'\\t'+hashlib.sha256(z.read(n)).hexdigest())\n";
  std::string out = run(kPython + " -c " + shellQuoted(script) + " " + shellQuoted(package.string()));
  std::map<std::string, std::string> digests;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    auto f = split(line, '\t');
    if (f.size() == 2) digests[f[0]] = f[1];
  }
  return digests;
}

inline std::string partText(const fs::path& package, const std::string& part) {
  std::string script =
      "import sys,zipfile\nsys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]).decode())\n";
  return run(kPython + " -c " + shellQuoted(script) + " " + shellQuoted(package.string()) + " " + shellQuoted(part));
}

// The test templates, made by other programs than ours.
inline fs::path makeFormTemplate(const fs::path& folder) {
  fs::path out = folder / "table.xlsx";
  run(kPython + " " + shellQuoted((kScripts / "make_template.py").string()) + " " + shellQuoted(out.string()));
  return out;
}
inline fs::path makeDesktopStyleWorkbook(const fs::path& folder) {
  fs::path out = folder / "desktop.xlsx";
  run(kPython + " " + shellQuoted((kScripts / "make_excel_style.py").string()) + " " + shellQuoted(out.string()));
  return out;
}

}  // namespace sheettest
