// The student records on a database server shared by several desks, through
// the real main window: start-up and the full fill of the student list
// beside the same gestures on the encrypted file (the "_baseline" twin), and
// the searches beside their statement sent to the server directly.
// JX_TEST_SERVER names a throw-away server database that this program may
// empty (bench/run.sh starts one with pg_virtualenv); without it every
// benchmark here is skipped, saying so.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "bench/support/suite.h"
#include "db/schema.h"
#include "db/server_dialect.h"
#include "db/server_provider.h"
#include "db/texts.h"
#include "tools/server_records.h"

namespace bench {
namespace {

namespace fs = std::filesystem;
using benchmark::State;

const char* server() { return std::getenv("JX_TEST_SERVER"); }

// A copy of the registry folder whose records were moved onto the server
// (the server holds one registry at a time: the last one asked for).
const fs::path& serverFolder(int32_t learners) {
  static std::map<int32_t, fs::path> folders;
  static int32_t onServer = -1;
  fs::path& folder = folders[learners];
  if (onServer == learners) return folder;
  const fs::path& source = registryFolder(learners);
  folder = source.parent_path() / (source.filename().string() + "-server");
  fs::remove_all(folder);
  fs::copy(source, folder, fs::copy_options::recursive);
  std::string error;
  db::ServerConnectionHandle connection = db::connectToServer(server(), &error);
  if (!connection) fail("cannot connect to the benchmark server: " + error);
  db::ServerResult wiped(PQexec(connection.get(), "DROP SCHEMA public CASCADE; CREATE SCHEMA public;"));
  if (PQresultStatus(wiped.get()) != PGRES_COMMAND_OK) fail(PQresultErrorMessage(wiped.get()));
  for (const admin::Report& report : {admin::initServer(server()), admin::moveToServer(folder, server())})
    if (!report.ok) fail(report.message);
  onServer = learners;
  return folder;
}

// The folder of a benchmark: on the server, or the encrypted file itself.
const fs::path* folderFor(State& state, bool onServer, int32_t learners) {
  if (!onServer) return &registryFolder(learners);
  if (!server()) {
    state.SkipWithError("no database server: JX_TEST_SERVER names one (bench/run.sh starts one)");
    return nullptr;
  }
  return &serverFolder(learners);
}

void startup(State& state, bool onServer, int32_t learners) {
  const fs::path* folder = folderFor(state, onServer, learners);
  if (!folder) return;
  for (auto _ : state) {
    closeProgram();
    state.SetIterationTime(secondsOf([&] { startProgram(*folder); }));
  }
  requireRows("start-up", rowCount(ui::超级列表框1), learners);
  setTarget(state, learners, "ratio", 3);
}

// The full fill after a change (a statement that changes no row), as after
// every registration, modification and deletion.
void fill(State& state, bool onServer, int32_t learners) {
  const fs::path* folder = folderFor(state, onServer, learners);
  if (!folder) return;
  ensureProgram(*folder);
  typeInto(ui::编辑框1, "");
  auto once = [&](bool timed) {
    executeOnProgramConnection("UPDATE student SET 姓名 = 姓名 WHERE 1 = 0");
    double seconds = secondsOf([] { doubleClick(ui::编辑框1); });
    if (timed) state.SetIterationTime(seconds);
  };
  once(false);
  for (auto _ : state) once(true);
  requireRows("full fill", rowCount(ui::超级列表框1), learners);
  setTarget(state, learners, "ratio", 3);
}

struct Search {
  const char* name;
  const rt::api::Unit& control;
  LearnerField field;
  bool selective;
};

// A learner's own value, or a common family name.
std::string searchedPattern(const Search& search, int32_t learners) {
  if (!search.selective) return "王";
  return learnerAt(DirectDatabase(registryFolder(learners)).get(), middle(learners))[search.field];
}

void search(State& state, const Search& search, int32_t learners) {
  const fs::path* folder = folderFor(state, true, learners);
  if (!folder) return;
  std::string pattern = searchedPattern(search, learners);
  ensureProgram(*folder);
  typeInto(search.control, pattern);
  doubleClick(search.control);  // warm
  for (auto _ : state) state.SetIterationTime(secondsOf([&] { doubleClick(search.control); }));
  int32_t rows = rowCount(ui::超级列表框1);
  if (search.selective && rows < 1) fail(std::string(search.name) + " found nothing");
  typeInto(search.control, "");
  state.counters["rows"] = rows;
  if (search.selective) setTarget(state, learners, "ms", 50);
}

// The baseline of a search: the program's statement as the server gets it,
// sent on a connection of the benchmark's own, every value of every row
// read as text.
void rawSearch(State& state, const Search& search, int32_t learners) {
  if (!folderFor(state, true, learners)) return;
  std::string pattern = searchedPattern(search, learners);
  std::string column(db::records::studentTable().columns[search.field]);
  std::string sql =
      db::serverStatement("SELECT * FROM student WHERE " + db::quotedIdentifier(column) + " like '%" + pattern + "%'",
                          [](std::string_view) { return true; });
  std::string error;
  db::ServerConnectionHandle connection = db::connectToServer(server(), &error);
  if (!connection) fail("cannot connect to the benchmark server: " + error);
  int rows = 0;
  auto once = [&] {
    db::ServerResult result(PQexec(connection.get(), sql.c_str()));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) fail(PQresultErrorMessage(result.get()));
    rows = PQntuples(result.get());
    size_t bytes = 0;
    for (int row = 0; row < rows; ++row)
      for (int field = 0; field < PQnfields(result.get()); ++field)
        bytes += std::strlen(PQgetvalue(result.get(), row, field));
    benchmark::DoNotOptimize(bytes);
  };
  once();  // warm
  for (auto _ : state) state.SetIterationTime(secondsOf(once));
  state.counters["rows"] = rows;
}

const Search kSearches[] = {
    {"server_search_name_few", ui::编辑框1, kName, true},
    {"server_search_identity_few", ui::编辑框2, kIdentity, true},
    {"server_search_phone_few", ui::编辑框3, kPhone, true},
    {"server_search_name_many", ui::编辑框1, kName, false},
};

// The smallest registry for smoke runs, and the school the figures are about.
constexpr int32_t kServerSizes[] = {1000, kTargetSize};

[[maybe_unused]] const bool kRegistered = [] {
  for (int32_t learners : kServerSizes) {
    for (bool onServer : {true, false}) {
      std::string twin = onServer ? "" : "_baseline";
      addBenchmark("server_startup" + twin, learners, [onServer](State& s, int32_t n) { startup(s, onServer, n); });
      addBenchmark("server_fill" + twin, learners, [onServer](State& s, int32_t n) { fill(s, onServer, n); });
      for (const Search& each : kSearches)
        addBenchmark(each.name + twin, learners, [&each, onServer](State& s, int32_t n) {
          if (onServer) {
            search(s, each, n);
          } else {
            rawSearch(s, each, n);
          }
        });
    }
  }
  return true;
}();

}  // namespace
}  // namespace bench
