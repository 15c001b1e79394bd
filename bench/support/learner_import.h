// The learner import as the user makes it, for the import benchmark and its
// memory probe: 学员管理 > 导入数据 with the open dialog answered and the
// question confirmed, into a program folder with an empty registry; the
// files it imports (the registry's learners under the export's headers, as
// .xlsx written by libxlsxwriter and as UTF-8 CSV); and the baseline, the
// same rows inserted with one prepared SQLCipher statement in one
// transaction.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace bench::learner_import {

// The learners of a registry's folder in table order: fifteen fields (UTF-8) each.
using Rows = std::vector<std::vector<std::string>>;
Rows registryRows(const std::filesystem::path& registry);

// The import's source files of that size, made once per run: "xlsx" or "csv".
const std::filesystem::path& sourceFile(int32_t learners, const std::string& extension);
// A program folder with an empty registry, made once per run under this name.
const std::filesystem::path& emptyFolder(const std::string& name);

// Through the window: the program must be running on an empty folder.
void importThroughWindow(const std::filesystem::path& file, int32_t learners);
// Empties the registry of the running program and its log again (untimed).
void emptyRegistry(const std::filesystem::path& folder);
// The baseline: every row inserted into the folder's records directly; and
// the rows taken out again.
void insertDirectly(const std::filesystem::path& folder, const Rows& rows);
void deleteDirectly(const std::filesystem::path& folder);

}  // namespace bench::learner_import
