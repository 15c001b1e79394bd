// The student records at scale, through the real main window: start-up, the
// full fill of the student list, the seven searches, registration,
// modification, deletion, graduation and the graduates' page. Each operation has a baseline that does the
// same reads (and writes) with direct SQLCipher calls on a connection opened
// the way the program opens its own.
//
// Every benchmark uses manual timing: only the user's gesture and what it
// sets off (handler, database, list, the view catching up) is timed; typing
// into the form and putting the registry back as it was are not.
#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

#include "bench/support/suite.h"

namespace bench {
namespace {

using benchmark::State;

// ------------------------------------------------------------- start-up

// The runtime's start-up and the main window up to its first paint: the
// creation handler opens the database and lists the whole registry. The
// file's key is derived at the first start and kept by the database library
// for the process, as for the baseline's opens (a school's first start pays
// one derivation, some 14 ms).
void startup(State& state, int32_t learners) {
  const auto& folder = registryFolder(learners);
  for (auto _ : state) {
    closeProgram();
    state.SetIterationTime(secondsOf([&] { startProgram(folder); }));
  }
  requireRows("start-up", rowCount(ui::超级列表框1), learners);
  state.counters["rows"] = learners;
  setTarget(state, learners, "ratio", 3);
}

void startupBaseline(State& state, int32_t learners) {
  const auto& folder = registryFolder(learners);
  for (auto _ : state) {
    state.SetIterationTime(secondsOf([&] {
      DirectDatabase database(folder);
      benchmark::DoNotOptimize(readRows(database.get(), "select * from student"));
    }));
  }
}

// ------------------------------------------------------------ full fill

// Double-clicking the empty name box lists every student: the full fill.
// As after every registration, modification and deletion, the database has
// just changed, so the fill reads the table from the file (through the
// page cache); the change itself is an untimed statement that changes no row.
void studentFill(State& state, int32_t learners) {
  ensureProgram(registryFolder(learners));
  typeInto(ui::编辑框1, "");
  auto fill = [&](bool timed) {
    executeOnProgramConnection("UPDATE student SET 姓名 = 姓名 WHERE 0");
    double seconds = secondsOf([] { doubleClick(ui::编辑框1); });
    if (timed) state.SetIterationTime(seconds);
  };
  fill(false);  // warm
  for (auto _ : state) fill(true);
  requireRows("full fill", rowCount(ui::超级列表框1), learners);
  state.counters["rows"] = learners;
  setTarget(state, learners, "ratio", 3);
}

// The same with the database unchanged since the last fill: the connection
// answers the statement from the table it kept.
void studentFillAgain(State& state, int32_t learners) {
  ensureProgram(registryFolder(learners));
  typeInto(ui::编辑框1, "");
  doubleClick(ui::编辑框1);  // warm
  for (auto _ : state) state.SetIterationTime(secondsOf([] { doubleClick(ui::编辑框1); }));
  requireRows("full fill", rowCount(ui::超级列表框1), learners);
  state.counters["rows"] = learners;
}

void studentFillBaseline(State& state, int32_t learners) {
  DirectDatabase database(registryFolder(learners));
  readRows(database.get(), "select * from student");  // warm
  for (auto _ : state)
    state.SetIterationTime(
        secondsOf([&] { benchmark::DoNotOptimize(readRows(database.get(), "select * from student")); }));
}

// -------------------------------------------------------------- searches

struct Search {
  const char* name;
  rt::api::Unit control;
  const char* column;
  // The pattern typed, from the middle learner: few rows, many rows.
  std::function<std::string(const LearnerFields&)> selective;
  std::function<std::string(const LearnerFields&)> unselective;
};

std::string yearOf(const std::string& date) { return date.substr(0, date.find("年") + std::string("年").size()); }

const std::vector<Search>& searches() {
  static const std::vector<Search> all = {
      {"search_name", ui::编辑框1, "姓名", [](const LearnerFields& f) { return f[kName]; },
       [](const LearnerFields&) { return std::string("王"); }},
      {"search_identity", ui::编辑框2, "身份证号码", [](const LearnerFields& f) { return f[kIdentity]; },
       [](const LearnerFields&) { return std::string("19"); }},
      {"search_phone", ui::编辑框3, "电话号码", [](const LearnerFields& f) { return f[kPhone]; },
       [](const LearnerFields&) { return std::string("13"); }},
      {"search_registered", ui::编辑框4, "报名日期", [](const LearnerFields& f) { return f[kRegistered]; },
       [](const LearnerFields& f) { return yearOf(f[kRegistered]); }},
      {"search_vehicle", ui::组合框1, "车型", [](const LearnerFields&) { return std::string("A1"); },
       [](const LearnerFields&) { return std::string("C1"); }},
      // An emptied coach box is not "所有教练": the like search with the
      // empty pattern lists every student.
      {"search_coach2", ui::组合框2, "科二教练", [](const LearnerFields& f) { return f[kCoach2]; },
       [](const LearnerFields&) { return std::string(); }},
      {"search_coach3", ui::组合框5, "科三教练", [](const LearnerFields& f) { return f[kCoach3]; },
       [](const LearnerFields&) { return std::string(); }},
  };
  return all;
}

std::string searchPattern(const Search& search, bool selective, int32_t learners) {
  DirectDatabase database(registryFolder(learners));
  LearnerFields probe = learnerAt(database.get(), middle(learners));
  return selective ? search.selective(probe) : search.unselective(probe);
}

void runSearch(State& state, const Search& search, bool selective, int32_t learners) {
  std::string pattern = searchPattern(search, selective, learners);
  std::string sql = likeStatement("student", search.column, pattern);
  int64_t expected = readRows(DirectDatabase(registryFolder(learners)).get(), sql).rows;
  ensureProgram(registryFolder(learners));
  typeInto(search.control, pattern);
  doubleClick(search.control);  // warm
  for (auto _ : state) state.SetIterationTime(secondsOf([&] { doubleClick(search.control); }));
  requireRows(search.name, rowCount(ui::超级列表框1), expected);
  typeInto(search.control, "");
  state.counters["rows"] = static_cast<double>(expected);
  setTarget(state, learners, "ratio", 1.5);
}

void runSearchBaseline(State& state, const Search& search, bool selective, int32_t learners) {
  std::string sql = likeStatement("student", search.column, searchPattern(search, selective, learners));
  DirectDatabase database(registryFolder(learners));
  readRows(database.get(), sql);  // warm
  for (auto _ : state)
    state.SetIterationTime(secondsOf([&] { benchmark::DoNotOptimize(readRows(database.get(), sql)); }));
}

// ------------------------------------------- registration, modification, deletion

// After an untimed step changed the registry back, the list is filled again
// (untimed), as the list always shows the registry after the last change
// when the user starts the next operation.
void showRegistry() {
  typeInto(ui::编辑框1, "");
  doubleClick(ui::编辑框1);
}

// A learner that is not in the registry, its number made from `serial`.
LearnerFields newLearner(int64_t serial) {
  std::string number = std::to_string(serial);
  std::string identity = "990101" + std::string(12 - number.size(), '0') + number;
  return {"测试学员",    "男",          "汉",     "1990年01月01日", "河北省石家庄市长安区建设北大街1号",
          identity,      "13900000000", "C1",     "2025年1月1日",   "王建国",
          "13901234567", "京B1023学",   "李秀英", "13812345678",    "京B1187学"};
}

const rt::api::Unit kFormFields[] = {ui::编辑框1, ui::编辑框5, ui::编辑框7, ui::编辑框8, ui::编辑框9,
                                     ui::编辑框2, ui::编辑框3, ui::组合框1, ui::编辑框4, ui::组合框2,
                                     ui::组合框3, ui::组合框4, ui::组合框5, ui::组合框6, ui::组合框7};

void typeForm(const LearnerFields& fields) {
  for (size_t i = 0; i < fields.size(); ++i) typeInto(kFormFields[i], fields[i]);
}

std::string insertLearnerSql(const LearnerFields& fields) {
  std::string sql = "INSERT INTO student VALUES (";
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) sql += ',';
    sql += sqlLiteral(fields[i]);
  }
  return sql + ")";
}

std::string deleteLearnerSql(const std::string& identity) {
  return "DELETE FROM student WHERE 身份证号码 = " + sqlLiteral(identity);
}

// Click on 添加 with a complete form of a new learner: duplicate scan,
// insert, full fill, log entry, message, the new row selected and shown.
// The learner is deleted again afterwards, untimed.
void registration(State& state, int32_t learners) {
  ensureProgram(registryFolder(learners));
  int64_t serial = 0;
  auto registerOne = [&](bool timed) {
    LearnerFields fields = newLearner(++serial);
    typeForm(fields);
    double seconds = secondsOf([] { click(ui::添加); });
    if (timed) state.SetIterationTime(seconds);
    requireMessage("registration", "添加记录成功！");
    executeOnProgramConnection(deleteLearnerSql(fields[kIdentity]));
    showRegistry();
  };
  registerOne(false);  // warm
  for (auto _ : state) registerOne(true);
  state.counters["rows"] = learners;
  setTarget(state, learners, "fill_ratio", 1.5);
}

void registrationBaseline(State& state, int32_t learners) {
  DirectDatabase database(registryFolder(learners));
  int64_t serial = 0;
  readRows(database.get(), "select * from student");  // warm
  for (auto _ : state) {
    LearnerFields fields = newLearner(++serial);
    state.SetIterationTime(secondsOf([&] {
      benchmark::DoNotOptimize(readRows(database.get(), "select * from student"));
      execute(database.get(), insertLearnerSql(fields));
      benchmark::DoNotOptimize(readRows(database.get(), "select * from student"));
    }));
    execute(database.get(), deleteLearnerSql(fields[kIdentity]));
  }
}

// Click on 修改 after a click on the middle row and a new telephone number:
// delete and insert in one transaction, log entry, full fill, message.
void modification(State& state, int32_t learners) {
  ensureProgram(registryFolder(learners));
  int64_t serial = 0;
  auto modifyOne = [&](bool timed) {
    clickStudentRow(middle(learners));
    typeInto(ui::编辑框3, "1370000" + std::to_string(1000 + ++serial % 9000));
    double seconds = secondsOf([] { click(ui::修改); });
    if (timed) state.SetIterationTime(seconds);
    requireMessage("modification", "修改学员信息成功！");
  };
  modifyOne(false);  // warm
  for (auto _ : state) modifyOne(true);
  requireRows("modification", rowCount(ui::超级列表框1), learners);
  state.counters["rows"] = learners;
  setTarget(state, learners, "fill_ratio", 1.5);
}

void modificationBaseline(State& state, int32_t learners) {
  DirectDatabase database(registryFolder(learners));
  LearnerFields fields = learnerAt(database.get(), middle(learners));
  readRows(database.get(), "select * from student");  // warm
  for (auto _ : state) {
    state.SetIterationTime(secondsOf([&] {
      execute(database.get(), "BEGIN IMMEDIATE");
      execute(database.get(), deleteLearnerSql(fields[kIdentity]));
      execute(database.get(), insertLearnerSql(fields));
      execute(database.get(), "COMMIT");
      benchmark::DoNotOptimize(readRows(database.get(), "select * from student"));
    }));
  }
}

const char* const kExamTables[] = {"one", "two", "three", "four"};

// The statements that put a learner and the learner's bookings back as they
// are stored (NULL stays NULL).
std::vector<std::string> restoreStatements(sqlite3* database, const std::string& identity) {
  std::vector<std::string> statements;
  auto collect = [&](const std::string& table) {
    std::string sql = "SELECT * FROM " + table + " WHERE 身份证号码 = " + sqlLiteral(identity) + " ORDER BY rowid";
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(database, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) fail(sqlite3_errmsg(database));
    db::StatementHandle statement(raw);
    while (sqlite3_step(raw) == SQLITE_ROW) {
      std::string insert = "INSERT INTO " + table + " VALUES (";
      for (int c = 0; c < sqlite3_column_count(raw); ++c) {
        const auto* text = sqlite3_column_text(raw, c);
        if (c) insert += ',';
        insert += text ? sqlLiteral(reinterpret_cast<const char*>(text)) : std::string("NULL");
      }
      statements.push_back(insert + ")");
    }
  };
  collect("student");
  for (const char* table : kExamTables) collect(table);
  return statements;
}

// "删除学员" on the middle row: five deletes in one transaction, log entry,
// full fill, message. The learner and the bookings are put back afterwards
// (at the end of the table), untimed, through the program's connection.
void deletion(State& state, int32_t learners) {
  const auto& folder = registryFolder(learners);
  ensureProgram(folder);
  auto deleteOne = [&](bool timed) {
    clickStudentRow(middle(learners));
    std::string identity = fieldText(ui::编辑框2);
    std::vector<std::string> restore = restoreStatements(DirectDatabase(folder).get(), identity);
    double seconds = secondsOf([] { chooseMenu("学员管理", "删除学员"); });
    if (timed) state.SetIterationTime(seconds);
    requireMessage("deletion", "删除学员数据成功！");
    executeOnProgramConnection("BEGIN");
    for (const std::string& statement : restore) executeOnProgramConnection(statement);
    executeOnProgramConnection("COMMIT");
    showRegistry();
  };
  deleteOne(false);  // warm
  for (auto _ : state) deleteOne(true);
  state.counters["rows"] = learners;
  setTarget(state, learners, "fill_ratio", 1.5);
}

void deletionBaseline(State& state, int32_t learners) {
  DirectDatabase database(registryFolder(learners));
  readRows(database.get(), "select * from student");  // warm
  for (auto _ : state) {
    std::string identity = learnerAt(database.get(), middle(learners))[kIdentity];
    std::vector<std::string> restore = restoreStatements(database.get(), identity);
    state.SetIterationTime(secondsOf([&] {
      execute(database.get(), "BEGIN IMMEDIATE");
      for (const char* table : kExamTables)
        execute(database.get(), std::string("DELETE FROM ") + table + " WHERE 身份证号码 = " + sqlLiteral(identity));
      execute(database.get(), deleteLearnerSql(identity));
      execute(database.get(), "COMMIT");
      benchmark::DoNotOptimize(readRows(database.get(), "select * from student"));
    }));
    execute(database.get(), "BEGIN");
    for (const std::string& statement : restore) execute(database.get(), statement);
    execute(database.get(), "COMMIT");
  }
}

// ------------------------------------------------------------ graduation

// "学员结业" from the student list's popup on a learner in the middle of the
// list, the question answered Yes: the move in one transaction, log entry,
// full fill, message. The graduate is put back afterwards (at the end of the
// table), untimed. Its baseline is the deletion of a learner through the
// window, the other change that takes a learner out of the registry.
void graduation(State& state, int32_t learners) {
  ensureProgram(registryFolder(learners));
  auto graduateOne = [&](bool timed) {
    clickStudentRow(middle(learners));
    double seconds = secondsOf([] { chooseFromStudentListPopup("学员结业"); });
    if (timed) state.SetIterationTime(seconds);
    requireMessage("graduation", "学员结业成功！");
    executeOnProgramConnection("BEGIN");
    executeOnProgramConnection("INSERT INTO student SELECT * FROM graduation");
    executeOnProgramConnection("DELETE FROM graduation");
    executeOnProgramConnection("COMMIT");
    showRegistry();
  };
  graduateOne(false);  // warm
  for (auto _ : state) graduateOne(true);
  requireRows("graduation", rowCount(ui::超级列表框1), learners);
  state.counters["rows"] = learners;
  setTarget(state, learners, "ratio", 1.2);
}

// Showing the page "结业学员" lists every graduate, right after a change of
// the database (untimed, changing no row), so the rows come from the file.
void graduatesFill(State& state, int32_t learners) {
  ensureProgram(graduatesFolder(learners));
  constexpr int kStudentsPage = 0, kGraduatesPage = 3;
  auto fill = [&](bool timed) {
    showPageQuietly(kStudentsPage);
    executeOnProgramConnection("UPDATE graduation SET 姓名 = 姓名 WHERE 0");
    double seconds = secondsOf([] { showPage(kGraduatesPage); });
    if (timed) state.SetIterationTime(seconds);
  };
  fill(false);  // warm
  for (auto _ : state) fill(true);
  requireRows("graduates' fill", rowCount(ui::超级列表框4), learners);
  state.counters["rows"] = learners;
  setTarget(state, learners, "ratio", 1.5);
}

void graduatesFillBaseline(State& state, int32_t learners) {
  DirectDatabase database(graduatesFolder(learners));
  readRows(database.get(), "select * from graduation");  // warm
  for (auto _ : state)
    state.SetIterationTime(
        secondsOf([&] { benchmark::DoNotOptimize(readRows(database.get(), "select * from graduation")); }));
}

// Size by size, so that the program starts once per registry.
[[maybe_unused]] const bool kRegistered = [] {
  for (int32_t learners : kSizes) {
    addBenchmark("startup", learners, startup);
    addBenchmark("startup_baseline", learners, startupBaseline);
    addBenchmark("student_fill", learners, studentFill);
    addBenchmark("student_fill_baseline", learners, studentFillBaseline);
    addBenchmark("student_fill_again", learners, studentFillAgain);
    addBenchmark("student_fill_again_baseline", learners, studentFillBaseline);
    for (const Search& search : searches()) {
      for (bool selective : {true, false}) {
        std::string name = std::string(search.name) + (selective ? "_few" : "_many");
        addBenchmark(name, learners,
                     [&search, selective](State& state, int32_t n) { runSearch(state, search, selective, n); });
        addBenchmark(name + "_baseline", learners,
                     [&search, selective](State& state, int32_t n) { runSearchBaseline(state, search, selective, n); });
      }
    }
    addBenchmark("register", learners, registration);
    addBenchmark("register_baseline", learners, registrationBaseline);
    addBenchmark("modify", learners, modification);
    addBenchmark("modify_baseline", learners, modificationBaseline);
    addBenchmark("delete", learners, deletion);
    addBenchmark("delete_baseline", learners, deletionBaseline);
    addBenchmark("graduate", learners, graduation);
    addBenchmark("graduate_baseline", learners, deletion);
    addBenchmark("graduates_fill", learners, graduatesFill);
    addBenchmark("graduates_fill_baseline", learners, graduatesFillBaseline);
  }
  return true;
}();

}  // namespace
}  // namespace bench
