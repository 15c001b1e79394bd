// Saving a workbook under a file name: the format follows the name's
// extension, and the file appears under its name only once it is complete.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sheet/engine/workbook.h"

namespace sheet {

enum class FileFormat { kXlsx, kXls };

struct SaveTarget {
  std::string path;  // UTF-8, the name the file gets
  FileFormat format = FileFormat::kXlsx;
  // Only the file's owner may read and write it (0600, whatever the process
  // gives new files): for files that hold personal data.
  bool ownerOnly = false;
};

// ".xls" (any case) is the Excel 97-2003 format and ".xlsx" the workbook
// format; any other name, with or without an extension, gets ".xlsx" added
// ("tem" -> "tem.xlsx"), so the file always carries the extension of what it
// holds.
SaveTarget saveTargetFor(std::string_view pathUtf8);

// Writes the workbook to a temporary file in the target's folder and renames
// it over the target when complete: a failed save leaves no file or the old
// one, never part of a new one. No link planted in the folder is ever
// written through (file_replacement.h). A workbook read from an .xlsx file is saved
// as .xlsx by rewriting its package (package_writer.h); a new one through
// libxlsxwriter (xlsx_writer.h); .xls through the BIFF8 writer (xls_writer.h).
// False and a reason (English) on failure.
bool saveWorkbook(const Workbook& workbook, const SaveTarget& target, std::string& error);

// The name of a save's temporary file beside the target: hidden, the
// target's name, eight hex digits, ".tmp" (".tem.xlsx.0badf00d.tmp").
std::string temporaryNameFor(std::string_view targetFileName, uint32_t random);
// Whether a file name is one that a save's temporary file of a workbook
// (.xlsx or .xls) takes: what a save cut off by a crash leaves behind.
bool isSaveTemporaryName(std::string_view fileName);

}  // namespace sheet
