// jx_memory_probe FOLDER program|baseline: one measurement of peak resident
// memory, in a process of its own so that nothing else the benchmarks did
// counts. "program" starts the program headless on the folder and lets the
// main window list the whole registry; "baseline" reads the same rows with
// direct SQLCipher calls and keeps every cell as a string. Both start a Qt
// application first. Prints the peak (VmHWM) in kilobytes.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/support/peak_memory.h"
#include "bench/support/program.h"
#include "bench/support/registry.h"

namespace {

size_t keepRows(const std::filesystem::path& folder, std::vector<std::string>& cells) {
  bench::DirectDatabase database(folder);
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(database.get(), "select * from student", -1, &raw, nullptr) != SQLITE_OK)
    bench::fail(sqlite3_errmsg(database.get()));
  db::StatementHandle statement(raw);
  size_t rows = 0;
  while (sqlite3_step(raw) == SQLITE_ROW) {
    ++rows;
    for (int c = 0; c < sqlite3_column_count(raw); ++c) {
      const auto* text = sqlite3_column_text(raw, c);
      cells.emplace_back(text ? reinterpret_cast<const char*>(text) : "",
                         static_cast<size_t>(sqlite3_column_bytes(raw, c)));
    }
  }
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FOLDER program|baseline\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  const std::filesystem::path folder = argv[1];
  const std::string mode = argv[2];
  std::vector<std::string> cells;
  if (mode == "program") {
    bench::startProgram(folder);
    std::fprintf(stderr, "%d rows listed\n", bench::rowCount(ui::超级列表框1));
  } else if (mode == "baseline") {
    std::fprintf(stderr, "%zu rows kept\n", keepRows(folder, cells));
  } else {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  bench::reportPeakAndExit();
}
