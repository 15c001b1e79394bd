// How many cells an .xls file makes its reader set aside before it reads a
// single one. libfreexl allocates, for every worksheet, a grid of the rows and
// columns the sheet's DIMENSIONS record declares: a file of a few kilobytes
// can declare 65 536 rows by 256 columns on each of many sheets and so take
// gigabytes. The import therefore reads the compound file itself first
// (header, sector tables, directory, the "Workbook" or "Book" stream, small
// streams from the mini stream) and adds up every DIMENSIONS record of the
// stream; a file it cannot follow to the end is not handed to the library.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace learner_import {

// The cells every DIMENSIONS record of the workbook stream declares, added
// up; nothing when the bytes are not a compound file with a workbook stream
// whose records run cleanly to its end.
std::optional<uint64_t> declaredXlsCells(std::string_view file);

}  // namespace learner_import
