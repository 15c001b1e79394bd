// Reading the file a user hands the import, by the extension of its name:
// .xlsx (the spreadsheet engine), .xls (our BIFF8 reader) or .csv (libcsv), in any
// case. Only a regular file within the size bound is read, and it is read
// once, through one descriptor, so it cannot change between the checks and
// the reading.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "import/table.h"

namespace learner_import {

// The largest file the import reads, of any type.
inline constexpr size_t kMaxFileBytes = size_t{128} << 20;

enum class FileType { kUnknown, kXlsx, kXls, kCsv };
FileType fileTypeOf(std::string_view path);

// The table of the file's first worksheet (native UTF-8 path); null and the
// reason when there is none.
std::unique_ptr<Table> readTableFile(const std::string& path, ReadError& error, const TableLimits& limits = {});

// What the user is told about a failure (UTF-8, Chinese, one sentence).
std::string failureMessage(const ReadError& error);

}  // namespace learner_import
