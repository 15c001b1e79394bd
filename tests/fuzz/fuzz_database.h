// A database file for the fuzz targets that run statements: on a memory file
// system where there is one, without a key (the key's derivation would cost
// more than a whole run of a statement), removed when the process ends.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "db/sqlite.h"
#include "tests/support/temp_folder.h"

namespace fuzz {

// A database file in a folder of its own, in memory where the system has
// /dev/shm: a fuzz run writes it thousands of times.
class DatabaseFile {
 public:
  DatabaseFile() : folder_("jx-fuzz", memoryFolder()) {}
  std::string path() const { return folder_.file("fuzz.db"); }

 private:
  static std::filesystem::path memoryFolder() {
    std::error_code error;
    return std::filesystem::is_directory("/dev/shm", error) ? std::filesystem::path("/dev/shm")
                                                            : std::filesystem::temp_directory_path();
  }

  jxtest::TempFolder folder_;
};

inline void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
  }
}

// A cell as the engine stores it: nothing for NULL, else the storage class
// and the bytes (texts and blobs as they are, numbers as their text).
struct Cell {
  int type = SQLITE_NULL;
  std::string bytes;
  bool operator==(const Cell&) const = default;
};
using Row = std::vector<Cell>;

// Every row of a statement with its parameters bound as texts.
inline std::optional<std::vector<Row>> rowsOf(sqlite3* database, const std::string& sqlUtf8,
                                              const std::vector<std::string>& textParameters = {}) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database, sqlUtf8.data(), static_cast<int>(sqlUtf8.size()), &raw, nullptr) != SQLITE_OK)
    return std::nullopt;
  db::StatementHandle statement(raw);
  for (size_t i = 0; i < textParameters.size(); ++i)
    sqlite3_bind_text(raw, static_cast<int>(i + 1), textParameters[i].data(),
                      static_cast<int>(textParameters[i].size()), SQLITE_TRANSIENT);
  std::vector<Row> rows;
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    Row row;
    for (int c = 0; c < sqlite3_column_count(raw); ++c) {
      Cell cell;
      cell.type = sqlite3_column_type(raw, c);
      if (cell.type == SQLITE_BLOB) {
        const void* blob = sqlite3_column_blob(raw, c);
        cell.bytes.assign(static_cast<const char*>(blob), static_cast<size_t>(sqlite3_column_bytes(raw, c)));
      } else if (cell.type != SQLITE_NULL) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, c));
        cell.bytes.assign(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(raw, c)));
      }
      row.push_back(std::move(cell));
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) return std::nullopt;
  return rows;
}

inline void run(sqlite3* database, const std::string& sqlUtf8) {
  std::string error;
  if (!db::runScript(database, sqlUtf8.c_str(), &error)) {
    std::fprintf(stderr, "%s: %s\n", sqlUtf8.c_str(), error.c_str());
    std::abort();
  }
}

}  // namespace fuzz
