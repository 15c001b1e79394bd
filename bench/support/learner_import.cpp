#include "bench/support/learner_import.h"

#include <xlsxwriter.h>

#include <fstream>
#include <map>

#include "bench/support/program.h"
#include "bench/support/registry.h"
#include "bench/support/sheet_export.h"
#include "tools/program_folder.h"

namespace bench::learner_import {
namespace {

namespace fs = std::filesystem;

constexpr size_t kFields = 15;

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

void writeXlsx(const fs::path& file, const Rows& rows) {
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  lxw_workbook* workbook = workbook_new_opt(file.c_str(), &options);
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  lxw_format* text = workbook_add_format(workbook);
  format_set_num_format(text, "@");
  std::vector<std::string> headers = sheet_export::headers();
  for (size_t c = 0; c < headers.size(); ++c)
    worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), headers[c].c_str(), text);
  for (size_t r = 0; r < rows.size(); ++r) {
    auto row = static_cast<lxw_row_t>(r + 1);
    worksheet_write_string(sheet, row, 0, std::to_string(r + 1).c_str(), text);
    for (size_t c = 0; c < kFields; ++c)
      if (!rows[r][c].empty())
        worksheet_write_string(sheet, row, static_cast<lxw_col_t>(c + 1), rows[r][c].c_str(), text);
  }
  if (workbook_close(workbook) != LXW_NO_ERROR) fail("libxlsxwriter could not write " + file.string());
}

void writeCsv(const fs::path& file, const Rows& rows) {
  std::ofstream out(file, std::ios::binary);
  std::vector<std::string> headers = sheet_export::headers();
  for (size_t c = 0; c < headers.size(); ++c) out << (c ? "," : "") << headers[c];
  out << "\r\n";
  for (size_t r = 0; r < rows.size(); ++r) {
    out << r + 1;
    for (const std::string& field : rows[r]) out << ',' << csvField(field);
    out << "\r\n";
  }
  if (!out) fail("cannot write " + file.string());
}

}  // namespace

Rows registryRows(const fs::path& registry) {
  DirectDatabase database(registry);
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database.get(), "SELECT * FROM student ORDER BY rowid", -1, &raw, nullptr) != SQLITE_OK)
    fail(sqlite3_errmsg(database.get()));
  db::StatementHandle statement(raw);
  Rows rows;
  while (sqlite3_step(raw) == SQLITE_ROW) {
    std::vector<std::string>& row = rows.emplace_back();
    for (size_t c = 0; c < kFields; ++c) {
      const auto* text = sqlite3_column_text(raw, static_cast<int>(c));
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
  }
  return rows;
}

const fs::path& sourceFile(int32_t learners, const std::string& extension) {
  static std::map<std::pair<int32_t, std::string>, fs::path> files;
  auto key = std::pair{learners, extension};
  if (auto found = files.find(key); found != files.end()) return found->second;
  fs::path file = registryFolder(learners).parent_path() / ("import-" + std::to_string(learners) + "." + extension);
  if (!fs::exists(file)) {
    Rows rows = registryRows(registryFolder(learners));
    fs::path part = file.string() + ".part." + extension;
    if (extension == "xlsx")
      writeXlsx(part, rows);
    else
      writeCsv(part, rows);
    fs::rename(part, file);
  }
  return files.emplace(key, file).first->second;
}

const fs::path& emptyFolder(const std::string& name) {
  static std::map<std::string, fs::path> folders;
  if (auto found = folders.find(name); found != folders.end()) return found->second;
  admin::FolderRequest request;
  request.folder = registryFolder(1000).parent_path() / ("import-" + name);
  request.replaceDatabase = true;
  admin::Report report = admin::makeProgramFolder(request);
  if (!report.ok) fail(report.message);
  return folders.emplace(name, request.folder).first->second;
}

void importThroughWindow(const fs::path& file, int32_t learners) {
  desktop().answerFileDialog(file.string());
  chooseMenu("学员管理", "导入数据");
  std::string expected = "已导入 " + std::to_string(learners) + " 名学员。";
  if (lastMessage() != expected) fail("the import said \"" + lastMessage() + "\"");
  desktop().reset();
}

void emptyRegistry(const fs::path& folder) {
  executeOnProgramConnection("DELETE FROM student");
  std::ofstream(folder / "log.log", std::ios::trunc);
}

void insertDirectly(const fs::path& folder, const Rows& rows) {
  DirectDatabase database(folder);
  execute(database.get(), "BEGIN");
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database.get(), "INSERT INTO student VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &raw,
                         nullptr) != SQLITE_OK)
    fail(sqlite3_errmsg(database.get()));
  db::StatementHandle insert(raw);
  for (const auto& row : rows) {
    sqlite3_reset(raw);
    for (size_t c = 0; c < kFields; ++c)
      sqlite3_bind_text(raw, static_cast<int>(c + 1), row[c].data(), static_cast<int>(row[c].size()), SQLITE_STATIC);
    if (sqlite3_step(raw) != SQLITE_DONE) fail(sqlite3_errmsg(database.get()));
  }
  execute(database.get(), "COMMIT");
}

void deleteDirectly(const fs::path& folder) {
  DirectDatabase database(folder);
  execute(database.get(), "DELETE FROM student");
}

}  // namespace bench::learner_import
