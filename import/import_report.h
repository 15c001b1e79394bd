// The report of an import: a workbook that keeps every row the import
// refused as the file had it (each cell as text), with the row's number in
// the file and the reason, under the header row of the file. Its columns
// keep the file's headers, so a corrected report can be imported in turn
// (its two added columns are ignored then).
//
// The report holds names and identity numbers: only its owner may read it,
// and it is written as every save of the engine is (a new file renamed into
// place, never through a link planted under its name).
#pragma once

#include <string>
#include <string_view>

#include "import/learner_check.h"

namespace learner_import {

// The headers of the two columns the report adds.
inline constexpr std::string_view kRowNumberHeader = "原行号";
inline constexpr std::string_view kReasonHeader = "未导入原因";

// "<folder>/<source name without its extension>_未导入.xlsx" (native UTF-8
// paths); the folder is the source's own when `folder` is empty.
std::string reportPath(std::string_view sourcePath, std::string_view folder = {});

// Writes the refused rows of the plan; false and a reason (English) when
// the file could not be written.
bool writeReport(const ImportPlan& plan, const std::string& path, std::string& error);

// Writes the report beside the source, or into `fallbackFolder` when that
// fails (a folder the user may not write); the path written, empty when
// neither could be.
std::string writeReportBesideOr(const ImportPlan& plan, std::string_view sourcePath, std::string_view fallbackFolder,
                                std::string& error);

}  // namespace learner_import
