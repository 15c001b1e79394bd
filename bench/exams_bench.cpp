// The exams at scale, through the real main window: a booking from the
// student list's popup, a learner's exam history, and the date query on
// subject one for a day with 10, 100 and 1 000 bookings. Baselines run the
// same statements with direct SQLCipher calls.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/support/suite.h"

namespace bench {
namespace {

using benchmark::State;

const char* const kExamTables[] = {"one", "two", "three", "four"};
// Bookings times learners from which a date query takes seconds.
constexpr int64_t kSlowDateQuery = int64_t{1000} * 100000;

std::string middleIdentity(int32_t learners) {
  return learnerAt(DirectDatabase(registryFolder(learners)).get(), middle(learners))[kIdentity];
}

// ------------------------------------------------------------- booking

// "添加科目二" from the popup of the student list with the middle learner
// selected: the insert, the count query, the row of the exam list. The
// booking is deleted again afterwards, untimed.
void booking(State& state, int32_t learners) {
  ensureProgram(registryFolder(learners));
  showPageQuietly(0);
  clickStudentRow(middle(learners));
  auto bookOne = [&](bool timed) {
    int32_t listed = rowCount(ui::超级列表框3);
    double seconds = secondsOf([] { chooseFromStudentListPopup("添加科目二"); });
    if (timed) state.SetIterationTime(seconds);
    requireRows("booking", rowCount(ui::超级列表框3), listed + 1);
    executeOnProgramConnection("DELETE FROM two WHERE rowid = (SELECT max(rowid) FROM two)");
  };
  bookOne(false);  // warm
  for (auto _ : state) bookOne(true);
  state.counters["rows"] = learners * kBookingsPerLearner;
}

void bookingBaseline(State& state, int32_t learners) {
  std::string identity = middleIdentity(learners);
  DirectDatabase database(registryFolder(learners));
  std::string count = likeStatement("two", "身份证号码", identity);
  readRows(database.get(), count);  // warm
  for (auto _ : state) {
    state.SetIterationTime(secondsOf([&] {
      execute(database.get(),
              "insert into two(身份证号码,考试时间) values (" + sqlLiteral(identity) + ",'2025年1月1日')");
      benchmark::DoNotOptimize(readRows(database.get(), count));
    }));
    execute(database.get(), "DELETE FROM two WHERE rowid = (SELECT max(rowid) FROM two)");
  }
}

// ------------------------------------------------------------- history

// A double-click on the middle learner: the learner and the bookings of the
// four subjects found by like patterns, the detail list filled.
void history(State& state, int32_t learners) {
  ensureProgram(registryFolder(learners));
  auto showHistory = [&](bool timed) {
    showPageQuietly(0);
    double seconds = secondsOf([&] { doubleClickStudentRow(middle(learners)); });
    if (timed) state.SetIterationTime(seconds);
    if (rowCount(ui::超级列表框2) == 0) fail("the history lists no booking");
  };
  showHistory(false);  // warm
  for (auto _ : state) showHistory(true);
  state.counters["rows"] = rowCount(ui::超级列表框2);
}

void historyBaseline(State& state, int32_t learners) {
  std::string identity = middleIdentity(learners);
  std::vector<std::string> statements = {likeStatement("student", "身份证号码", identity)};
  for (const char* table : kExamTables) statements.push_back(likeStatement(table, "身份证号码", identity));
  DirectDatabase database(registryFolder(learners));
  auto readAll = [&] {
    for (const std::string& sql : statements) benchmark::DoNotOptimize(readRows(database.get(), sql));
  };
  readAll();  // warm
  for (auto _ : state) state.SetIterationTime(secondsOf(readAll));
}

// ---------------------------------------------------------- date query

// "查 询" on the page "考试详情" with subject one and a day that has
// `bookings` bookings: the bookings, and for each the learner looked up by
// a like pattern on the identity number.
//
// Each query follows a change of the database (an untimed statement that
// changes no row, as a booking or a result change would come before it), so
// nothing the connection kept from earlier reads can answer it: the first
// lookups scan the student table in the file, then the table is fetched and
// kept for the rest.
void dateQuery(State& state, int32_t learners, int32_t bookings) {
  ensureProgram(registryFolder(learners));
  showPage(1);
  chooseComboItem(ui::组合框8, 0);
  typeInto(ui::编辑框6, dateWithBookings(bookings));
  auto query = [&](bool timed) {
    executeOnProgramConnection("UPDATE student SET 姓名 = 姓名 WHERE 0");
    double seconds = secondsOf([] { click(ui::考试查询); });
    if (timed) state.SetIterationTime(seconds);
  };
  query(false);  // warm
  for (auto _ : state) query(true);
  requireRows("date query", rowCount(ui::超级列表框2), bookings);
  state.counters["rows"] = bookings;
  if (bookings == 100) setTarget(state, learners, "ms", 1000);
}

void dateQueryBaseline(State& state, int32_t learners, int32_t bookings) {
  DirectDatabase database(registryFolder(learners));
  std::string byDate = likeStatement("one", "考试时间", dateWithBookings(bookings));
  auto query = [&] {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(database.get(), byDate.c_str(), -1, &raw, nullptr) != SQLITE_OK)
      fail(sqlite3_errmsg(database.get()));
    db::StatementHandle statement(raw);
    while (sqlite3_step(raw) == SQLITE_ROW) {
      std::string identity = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
      for (int c = 1; c < sqlite3_column_count(raw); ++c) benchmark::DoNotOptimize(sqlite3_column_text(raw, c));
      benchmark::DoNotOptimize(readRows(database.get(), likeStatement("student", "身份证号码", identity)));
    }
  };
  query();  // warm
  for (auto _ : state) state.SetIterationTime(secondsOf(query));
}

[[maybe_unused]] const bool kRegistered = [] {
  for (int32_t learners : kSizes) {
    addBenchmark("booking", learners, booking);
    addBenchmark("booking_baseline", learners, bookingBaseline);
    addBenchmark("history", learners, history);
    addBenchmark("history_baseline", learners, historyBaseline);
    for (int32_t bookings : kDateQueryCounts) {
      std::string name = "date_query_" + std::to_string(bookings);
      auto* ours = addBenchmark(name, learners, [bookings](State& state, int32_t n) { dateQuery(state, n, bookings); });
      auto* baseline = addBenchmark(name + "_baseline", learners,
                                    [bookings](State& state, int32_t n) { dateQueryBaseline(state, n, bookings); });
      // Seconds per run on the large registry: measured once, not repeated.
      if (int64_t{bookings} * learners >= kSlowDateQuery) {
        ours->Repetitions(1);
        baseline->Repetitions(1);
      }
    }
  }
  return true;
}();

}  // namespace
}  // namespace bench
