// Comma-separated text files: UTF-8 (with or without its byte order mark)
// or GB18030, told apart by the bytes, and read into a table by Debian's
// libcsv in its strict mode, which handles the quoting of RFC 4180 (fields
// in double quotes holding commas, doubled quotes and line breaks) and
// refuses a file whose quotes do not pair up, rather than reading the rest
// of the file into one field as its lenient mode would.
// Every cell is text, kept exactly (no spaces trimmed). Rows are numbered
// as a spreadsheet program shows the file: a blank line is a row, a quoted
// line break is not.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "import/table.h"

namespace learner_import {

// The text of a file as UTF-8: the bytes themselves, without their byte
// order mark, or GB18030 converted into `converted` when they are not UTF-8.
// Nothing when they are neither (a UTF-16 file, say).
std::optional<std::string_view> decodeText(std::string_view bytes, std::string& converted);

// The table of a CSV file's bytes; null and the reason when it breaks the
// limits or is in neither encoding.
std::unique_ptr<Table> readCsv(std::string_view bytes, ReadError& error, const TableLimits& limits = {});

}  // namespace learner_import
