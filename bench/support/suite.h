// What the benchmark programs share: the registry sizes, registration of a
// benchmark per size (manual timing, milliseconds) and the checks that a
// timed gesture did what it should (a broken setup stops the program; no
// check is about time).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <utility>

#include "bench/support/program.h"
#include "bench/support/registry.h"

namespace bench {

inline constexpr int32_t kSizes[] = {1000, 10000, 100000};
// The targets hold for the largest registry, the school the benchmarks are
// about; at the smaller sizes the fixed cost of a gesture (event dispatch,
// painting the list) outweighs the rows, and the ratios are shown only.
inline constexpr int32_t kTargetSize = 100000;

// Registers `name/learners`; fn(state, learners) times each iteration itself.
template <typename Fn>
benchmark::internal::Benchmark* addBenchmark(const std::string& name, int32_t learners, Fn fn) {
  return benchmark::RegisterBenchmark((name + "/" + std::to_string(learners)).c_str(),
                                      [fn = std::move(fn), learners](benchmark::State& state) { fn(state, learners); })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
}

// A target (a counter "target_..." that bench/run.sh reads) at the target size.
inline void setTarget(benchmark::State& state, int32_t learners, const std::string& name, double value) {
  if (learners == kTargetSize) state.counters["target_" + name] = value;
}

// A value between single quotes, its own quotes doubled.
inline std::string sqlLiteral(const std::string& value) {
  std::string text = "'";
  for (char c : value) {
    if (c == '\'') text += '\'';
    text += c;
  }
  return text + "'";
}

// The statement of a search: the rows of `table` whose column contains `value`.
inline std::string likeStatement(const std::string& table, const std::string& column, const std::string& value) {
  return "SELECT * FROM " + table + " WHERE " + column + " like " + sqlLiteral("%" + value + "%");
}

// The learner the selective searches, the modification, the deletion and the
// exam benchmarks pick: the middle one of the table.
inline int32_t middle(int32_t learners) { return learners / 2; }

inline void requireRows(const std::string& what, int64_t shown, int64_t expected) {
  if (shown != expected)
    fail(what + ": the list shows " + std::to_string(shown) + " rows, the database has " + std::to_string(expected));
}

// The last message box said this; the records of the desktop are forgotten.
inline void requireMessage(const std::string& what, const std::string& expected) {
  if (lastMessage() != expected) fail(what + " showed \"" + lastMessage() + "\", not \"" + expected + "\"");
  desktop().reset();
}

}  // namespace bench
