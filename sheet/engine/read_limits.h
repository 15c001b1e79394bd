// What a workbook read from a file may hold, and why a read failed.
//
// A file is hostile until read: a few kilobytes of compressed XML can declare
// millions of cells or strings. The limits bound the model by what a form
// template or a list can need: a list of 100 000 learners exported by this
// program (17 columns with the header, 1.7 million cells, 5.5 MB) is read
// within them, its model taking some 65 MB, and any file they admit is read
// in less than 200 MB (bench/sheet_bench.cpp measures both). Beyond them the
// file is refused (ReadFailure::kBeyondLimits); the declared sizes of the
// package are never trusted, the bytes are counted as they inflate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sheet {

struct ReadLimits {
  // --- the package ---
  size_t maxPackageBytes = size_t{32} << 20;  // the file itself, kept while the workbook is open
  size_t maxEntries = 10000;                  // parts in the package
  // A part read whole into a tree (the workbook, relationships, styles,
  // theme), uncompressed. Sheets and shared strings are read as they inflate.
  size_t maxPartBytes = size_t{4} << 20;
  // Every part read, uncompressed: at most this much, and at most
  // kInflationAllowance plus maxInflation times the size of the file (real
  // packages inflate some 10 to 30 times; the allowance lets small files be
  // any file).
  size_t maxTotalBytes = size_t{1} << 30;
  size_t maxInflation = 200;
  // --- the model, all sheets together ---
  size_t maxSheets = 256;
  size_t maxCells = size_t{4} << 20;       // cells (a value or a format of their own)
  size_t maxRows = size_t{1} << 20;        // rows that have cells or settings of their own
  size_t maxTextBytes = size_t{64} << 20;  // UTF-8 bytes of the cells' texts
  size_t maxMerges = 16384;                // merged ranges
  // What the cells, rows and texts of all sheets take in memory together.
  size_t maxModelBytes = size_t{96} << 20;
  // --- the tables the sheets refer to ---
  size_t maxSharedStrings = size_t{2} << 20;       // items of the shared-string table
  size_t maxSharedStringBytes = size_t{32} << 20;  // their UTF-8 bytes
  size_t maxStyleEntries = 65536;                  // cell formats, and each of fonts, fills, borders, number formats
};

inline constexpr size_t kInflationAllowance = size_t{16} << 20;

enum class ReadFailure : uint8_t {
  kNone,
  kUnreadable,    // the file cannot be opened or read
  kMalformed,     // not a workbook package, or a part is not what it should be
  kBeyondLimits,  // a workbook, but larger than ReadLimits admits
};

struct ReadError {
  ReadFailure failure = ReadFailure::kNone;
  std::string reason;  // English, for diagnostics
};

}  // namespace sheet
