// The registration-form template table.xlsx of a program folder: six
// worksheets laid out for the cells the program fills when it prints a
// learner's forms (the application form, the record card and the training
// record of each of the vehicle classes C2, C1, B2 and A1). A school may
// replace the file with its own, keeping the sheets in this order and the
// filled cells where they are.
#pragma once

#include <filesystem>
#include <string>

#include "tools/outcome.h"

namespace admin {

inline constexpr const char* kFormTemplateFileName = "table.xlsx";

// Writes the template (always the same bytes) to `file`, replacing it.
Report writeFormTemplate(const std::filesystem::path& file);

// Writes table.xlsx into the folder unless one is there; a school's own
// template is kept.
Report makeFormTemplateIfMissing(const std::filesystem::path& folder);

}  // namespace admin
