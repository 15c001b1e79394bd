// Workbooks at the engine's read limits (sheet/engine/read_limits.h) for the
// memory benchmark of reading: of each shape the largest file the limits
// admit, and one that fills every table at once until the memory limit
// refuses it. `share` scales a shape down (1: at the limits), so that a quick
// run reads small ones.
#pragma once

#include <zip.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/support/registry.h"

namespace bench::limit_workbooks {

enum class Shape {
  kRows,        // 800 000 rows of one number each
  kCells,       // 4 194 304 number cells
  kTexts,       // a million cells with 64 MB of text
  kEverything,  // the file, the shared strings and the model all near their limits, refused at the end
};

inline const char* nameOf(Shape shape) {
  switch (shape) {
    case Shape::kRows: return "rows";
    case Shape::kCells: return "cells";
    case Shape::kTexts: return "texts";
    case Shape::kEverything: return "everything";
  }
  return "";
}

// Texts of 20 characters from a small set: they compress as names and
// addresses do, about five times.
class TextMaker {
 public:
  std::string next(int characters) {
    static const char* const kCharacters[] = {"张", "王", "李", "赵", "河", "北", "省", "市",
                                              "区", "路", "号", "学", "驾", "校", "东", "西"};
    std::string text;
    for (int i = 0; i < characters; ++i) text += kCharacters[random_() % 16];
    return text;
  }

 private:
  std::mt19937 random_{21};
};

inline void write(Shape shape, double share, const std::filesystem::path& file) {
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  auto scaled = [&](double count) { return static_cast<int64_t>(count * share); };
  TextMaker texts;
  std::string sheet = "<worksheet><sheetData>", strings;
  switch (shape) {
    case Shape::kRows:
      for (int64_t r = 0; r < scaled(800'000); ++r) sheet += "<row><c><v>1</v></c></row>";
      break;
    case Shape::kCells:
      for (int64_t r = 0; r < scaled(256); ++r) {
        sheet += "<row>";
        for (int c = 0; c < 16384; ++c) sheet += "<c><v>1</v></c>";
        sheet += "</row>";
      }
      break;
    case Shape::kTexts:
      for (int64_t r = 0; r < scaled(100'000); ++r) {
        sheet += "<row>";
        for (int c = 0; c < 10; ++c) sheet += "<c t=\"inlineStr\"><is><t>" + texts.next(20) + "</t></is></c>";
        sheet += "</row>";
      }
      break;
    case Shape::kEverything: {
      const int64_t items = scaled(1'000'000);
      strings = "<sst>";
      for (int64_t i = 0; i < items; ++i) strings += "<si><t>" + texts.next(10) + "</t></si>";
      strings += "</sst>";
      std::mt19937 pick(7);
      for (int64_t r = 0; r < scaled(600'000); ++r) {
        sheet += "<row>";
        for (int c = 0; c < 4; ++c) sheet += "<c t=\"s\"><v>" + std::to_string(pick() % items) + "</v></c>";
        sheet += "</row>";
      }
      break;
    }
  }
  sheet += "</sheetData></worksheet>";
  std::string relationships =
      "<Relationships><Relationship Id=\"s1\" Type=\"" + rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>" +
      (strings.empty() ? ""
                       : "<Relationship Id=\"t\" Type=\"" + rel + "/sharedStrings\" Target=\"sharedStrings.xml\"/>") +
      "</Relationships>";
  std::vector<std::pair<std::string, std::string>> parts = {
      {"_rels/.rels", "<Relationships><Relationship Id=\"r\" Type=\"" + rel +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml",
       "<workbook xmlns:r=\"" + rel + "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"s1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels", relationships},
      {"xl/worksheets/sheet1.xml", sheet},
  };
  if (!strings.empty()) parts.emplace_back("xl/sharedStrings.xml", strings);
  int error = 0;
  zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) fail("cannot make " + file.string());
  for (const auto& [name, bytes] : parts) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
  }
  if (zip_close(archive) != 0) fail("cannot write " + file.string());
}

}  // namespace bench::limit_workbooks
