// The list export as the user makes it, for the export benchmark and its
// memory probe: 学员管理 > 导出数据 on the page 学员信息 with the save dialog
// answered; and, for the baselines, the cells the student list shows (its
// running number and the fifteen fields of each learner, UTF-8) read from
// the registry's database directly.
#pragma once

#include <filesystem>
#include <string>

#include "bench/support/program.h"
#include "bench/support/registry.h"
#include "bench/support/sheet_export.h"

namespace bench::list_export {

inline void exportThroughWindow(const std::filesystem::path& file) {
  desktop().answerFileDialog(file.string());
  chooseMenu("学员管理", "导出数据");
  if (lastMessage() != "导出成功!") fail("the export said \"" + lastMessage() + "\"");
  desktop().reset();
}

// The rows of `select * from student` in the list's column order, with the
// running number first; `rows` receives their number.
inline sheet_export::Texts registryCells(const std::filesystem::path& folder, int32_t& rows) {
  DirectDatabase database(folder);
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database.get(), "select * from student", -1, &raw, nullptr) != SQLITE_OK)
    fail(sqlite3_errmsg(database.get()));
  db::StatementHandle statement(raw);
  sheet_export::Texts cells;
  rows = 0;
  while (sqlite3_step(raw) == SQLITE_ROW) {
    cells.add(std::to_string(++rows));
    for (int c = 0; c < sqlite3_column_count(raw); ++c) {
      const auto* text = sqlite3_column_text(raw, c);
      cells.add(text ? reinterpret_cast<const char*>(text) : "");
    }
  }
  return cells;
}

}  // namespace bench::list_export
