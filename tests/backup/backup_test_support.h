// Program folders for the backup tests: made by the admin tool's own code
// (a real encrypted hj.mdb with demo learners and bookings, the sample
// settings, the form template), with a graduate and a log of a few lines;
// and ways to look at a folder or a records file whole.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "db/records_database.h"
#include "db/schema.h"
#include "db/sqlite.h"
#include "runtime/encoding.h"
#include "tests/support/temp_folder.h"
#include "tools/program_folder.h"

namespace backuptest {

namespace fs = std::filesystem;

inline void runSql(const fs::path& database, const std::string& sqlUtf8) {
  std::string error;
  db::DatabaseHandle handle =
      db::openDatabase(database.string(), db::records::kPassword, db::OpenMode::kExistingOnly, &error);
  ASSERT_TRUE(handle) << error;
  ASSERT_TRUE(db::runScript(handle.get(), sqlUtf8.c_str(), &error)) << error << "\n" << sqlUtf8;
}

// A program folder "school" inside a temporary folder of its own.
class SchoolFolder {
 public:
  explicit SchoolFolder(size_t learners = 20) : root_("jx-backup") {
    folder_ = root_.path() / "school";
    admin::FolderRequest request;
    request.folder = folder_;
    request.withDemoData = true;
    request.learners = learners;
    request.bookings = learners * 2;
    admin::Report report = admin::makeProgramFolder(request);
    EXPECT_TRUE(report.ok) << report.message;
    runSql(database(), "INSERT INTO graduation (姓名, 身份证号码) VALUES ('毕业生', '110101200001011234')");
    jxtest::TempFolder::write(folder_ / "log.log", rt::utf8ToGb("2024年3月3日 添加学员 张三\r\n"));
  }

  const fs::path& path() const { return folder_; }
  fs::path database() const { return folder_ / "hj.mdb"; }
  fs::path backups() const { return folder_ / "备份"; }
  // A place beside the folder (another folder to restore into, say).
  fs::path beside(const std::string& name) const { return root_.path() / name; }

 private:
  jxtest::TempFolder root_;
  fs::path folder_;
};

// Every table's rows in insertion order, every column as text.
using TableRows = std::map<std::string, std::vector<std::vector<std::string>>>;

inline TableRows tableRows(const fs::path& databaseFile) {
  TableRows rows;
  std::string error;
  db::DatabaseHandle database =
      db::openDatabase(databaseFile.string(), db::records::kPassword, db::OpenMode::kExistingOnly, &error);
  EXPECT_TRUE(database) << error;
  if (!database) return rows;
  for (const auto& table : db::records::tables()) {
    std::string sql = "SELECT * FROM \"" + std::string(table.name) + "\" ORDER BY rowid";
    sqlite3_stmt* raw = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(database.get(), sql.c_str(), -1, &raw, nullptr), SQLITE_OK);
    db::StatementHandle statement(raw);
    auto& tableRows = rows[std::string(table.name)];
    while (raw && sqlite3_step(raw) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(raw); ++c) {
        const auto* text = sqlite3_column_text(raw, c);
        row.emplace_back(text ? reinterpret_cast<const char*>(text) : "<null>");
      }
      tableRows.push_back(std::move(row));
    }
  }
  return rows;
}

inline int64_t rowCount(const TableRows& rows, const std::string& table) {
  auto it = rows.find(table);
  return it == rows.end() ? -1 : static_cast<int64_t>(it->second.size());
}

// Every file under the folder (relative path -> bytes), and every folder as
// "<path>/": two snapshots are equal when nothing in the folder changed.
inline std::map<std::string, std::string> folderContents(const fs::path& folder) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    std::string relative = fs::relative(entry.path(), folder).string();
    if (entry.is_directory())
      contents[relative + "/"] = "";
    else
      contents[relative] = jxtest::TempFolder::read(entry.path());
  }
  return contents;
}

inline mode_t modeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// Another process that holds the folder as the running program does, until
// the object goes.
class ProgramHoldingFolder {
 public:
  explicit ProgramHoldingFolder(const fs::path& folder);
  ~ProgramHoldingFolder();
  ProgramHoldingFolder(const ProgramHoldingFolder&) = delete;
  ProgramHoldingFolder& operator=(const ProgramHoldingFolder&) = delete;

 private:
  pid_t child_ = -1;
  int releaseFd_ = -1;
};

}  // namespace backuptest
