// The registries the benchmarks run on: a program folder per size, made with
// the admin tool's demo data (three bookings per learner) plus the bookings
// the date queries find, and direct SQLCipher access for the baselines.
//
// Folders are made once per size and reused: under $JX_BENCH_DATA when it is
// set (bench/run.sh shares one such folder between all benchmark programs of
// a run), otherwise under a temporary folder removed when the program ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "db/sqlite.h"

namespace bench {

inline constexpr int32_t kBookingsPerLearner = 3;

// The program folder holding `learners` demo learners. Its settings turn
// the daily automatic backup off, so that no benchmark but the one about it
// runs a backup beside what it times.
const std::filesystem::path& registryFolder(int32_t learners);
// A copy of that folder whose graduation table holds every learner too.
const std::filesystem::path& graduatesFolder(int32_t learners);

// Sets the number of automatic backups the folder's settings keep (0: off).
void setKeptBackups(const std::filesystem::path& folder, int32_t kept);

// The exam date (UTF-8) on which subject one has exactly `bookings` extra
// bookings (10, 100 or 1000), for the date query.
std::string dateWithBookings(int32_t bookings);
inline constexpr int32_t kDateQueryCounts[] = {10, 100, 1000};

// A learner's fifteen fields (UTF-8) in the student table's column order.
using LearnerFields = std::vector<std::string>;
enum LearnerField : size_t {
  kName,
  kSex,
  kNation,
  kBirth,
  kAddress,
  kIdentity,
  kPhone,
  kVehicle,
  kRegistered,
  kCoach2,
  kCoach2Phone,
  kCoach2Plate,
  kCoach3,
  kCoach3Phone,
  kCoach3Plate,
};

// A connection of the benchmark's own to a folder's database, opened the way
// the program opens it (key, durability and cache settings).
class DirectDatabase {
 public:
  explicit DirectDatabase(const std::filesystem::path& folder);
  sqlite3* get() const { return handle_.get(); }

 private:
  db::DatabaseHandle handle_;
};

struct ReadTotals {
  int64_t rows = 0;
  int64_t bytes = 0;
};

// The baseline read: prepare, step to the end, read every column as text.
ReadTotals readRows(sqlite3* database, const std::string& sqlUtf8);
// Runs one statement that returns no rows; fatal when it fails.
void execute(sqlite3* database, const std::string& sqlUtf8);
// The learner at a 0-based position of the table's order.
LearnerFields learnerAt(sqlite3* database, int32_t position);

// Stops the benchmark program with a message (a broken setup, not a timing).
[[noreturn]] void fail(const std::string& message);

}  // namespace bench
