// The workbook stream of an Excel 97-2003 file (.xls): the compound file
// that holds it (header, sector tables, directory, the mini stream for small
// streams) read by hand. Every sector and chain is checked against the file:
// a loop, a sector outside the file or a stream longer than its chain gives
// nothing, never a read outside the bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace learner_import {

// The data of the "Workbook" stream (BIFF8), else of the "Book" stream (the
// older BIFF5); nothing when the bytes are not a compound file holding one
// that can be read to its end.
std::optional<std::string> workbookStream(std::string_view file);

}  // namespace learner_import
