#include "tools/import_learners.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <optional>

#include "app/learner.h"
#include "app/log_format.h"
#include "db/records_database.h"
#include "db/schema.h"
#include "db/server_settings.h"
#include "db/sqlite.h"
#include "import/import_report.h"
#include "import/read_table.h"
#include "runtime/convert.h"
#include "runtime/encoding.h"
#include "tools/outcome.h"
#include "tools/row_inserter.h"
#include "tools/settings.h"

namespace admin {
namespace {

namespace fs = std::filesystem;
using learner_import::ImportPlan;
namespace learner = app::learner;

// Days from the runtime's date-time origin (1899-12-30) to 1970-01-01.
constexpr double kUnixEpochInRuntimeDays = 25569;
constexpr double kSecondsPerDay = 86400;

db::DatabaseHandle openRecords(const fs::path& folder) {
  fs::path file = folder / db::records::kFileName;
  if (db::serverNamedBeside(file.string()))
    throw Failure{(folder / db::kServerSettingsFile).string() +
                  " names a database server: import on a desk with 学员管理 > 导入数据, or import into a folder "
                  "with its own records file before moving it there"};
  std::string error;
  db::DatabaseHandle database =
      db::openDatabase(file.string(), db::records::kPassword, db::OpenMode::kExistingOnly, &error);
  if (!database) throw Failure{"cannot open " + file.string() + ": " + error};
  return database;
}

learner_import::RegisteredNumbers registeredNumbers(sqlite3* database) {
  learner_import::RegisteredNumbers numbers;
  sqlite3_stmt* raw = nullptr;
  const std::string query =
      "SELECT \"" + std::string(learner::kColumns[learner::kIdentityNumber].nameUtf8) + "\" FROM student";
  if (sqlite3_prepare_v2(database, query.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    throw Failure{std::string("database error: ") + sqlite3_errmsg(database)};
  db::StatementHandle select(raw);
  int step;
  while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    if (text) numbers.add(std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(raw, 0))));
  }
  if (step != SQLITE_DONE) throw Failure{std::string("database error: ") + sqlite3_errmsg(database)};
  return numbers;
}

// Every learner in one transaction; nothing stays of a failed one.
void insertLearners(sqlite3* database, const ImportPlan& plan) {
  runStatements(database, "BEGIN");
  RowInserter student(database, db::records::studentTable());
  std::array<std::string_view, learner::kFieldCount> values;
  bool inserted = student.ok();
  for (size_t index = 0; inserted && index < plan.learnerCount(); ++index) {
    for (const learner::Column& column : learner::kColumns) values[column.field] = plan.field(index, column.field);
    inserted = student.insert(values.data(), values.size());
  }
  std::string error;
  if (!inserted || !db::runScript(database, "COMMIT", &error)) {
    db::runScript(database, "ROLLBACK");
    throw Failure{"database error, nothing was imported: " + (inserted ? error : student.error())};
  }
}

// The log's timestamp as the program writes it: local time, seconds,
// minutes and hours left out from the end while they are zero.
std::string timestampGb() {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  double days = kUnixEpochInRuntimeDays + static_cast<double>(seconds + local.tm_gmtoff) / kSecondsPerDay;
  return rt::valueToText(rt::TypedValue::ofDateTime(days));
}

// One entry a learner, in the registration's form with 导入学员; appended
// only to a log.log the folder has, as the program does.
void logLearners(const fs::path& folder, const ImportPlan& plan) {
  int fd = ::open((folder / app::log_format::kFileName).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return;
  const std::string timestamp = timestampGb(), operation = rt::utf8ToGb("导入学员");
  std::string entries;
  for (size_t index = 0; index < plan.learnerCount(); ++index) {
    std::string body = app::log_format::joinedLearnerBody(operation, rt::utf8ToGb(plan.field(index, learner::kName)),
                                                          rt::utf8ToGb(plan.field(index, learner::kIdentityNumber)));
    entries += app::log_format::entry(timestamp, body);
    entries += app::log_format::kLineBreak;
  }
  for (size_t done = 0; done < entries.size();) {
    ssize_t n = ::write(fd, entries.data() + done, entries.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

std::string countsText(const ImportOutcome& outcome) {
  return std::to_string(outcome.rows) + " rows: " + std::to_string(outcome.learners) + " to import, " +
         std::to_string(outcome.duplicates) + " duplicates, " + std::to_string(outcome.faulty) + " faulty\n";
}

}  // namespace

ImportOutcome importLearners(const ImportRequest& request) {
  ImportOutcome outcome;
  try {
    db::DatabaseHandle database = openRecords(request.folder);
    learner_import::ReadError readError;
    auto table = learner_import::readTableFile(request.file.string(), readError);
    std::string refusal;
    std::unique_ptr<ImportPlan> plan;
    if (table) plan = ImportPlan::forTable(std::move(table), refusal);
    if (!plan)
      throw Failure{request.file.string() + ": " +
                    (refusal.empty() ? learner_import::failureMessage(readError) : refusal)};
    plan->check(registeredNumbers(database.get()));
    outcome.read = true;
    outcome.rows = plan->rowCount();
    outcome.learners = plan->learnerCount();
    outcome.duplicates = plan->duplicateCount();
    outcome.faulty = plan->faultyCount();
    outcome.message = countsText(outcome);
    if (!request.dryRun && plan->learnerCount() > 0) {
      insertLearners(database.get(), *plan);
      logLearners(request.folder, *plan);
    }
    outcome.written = !request.dryRun;
    outcome.message += request.dryRun ? "dry run: nothing was written\n"
                                      : std::to_string(outcome.learners) + " learners imported into " +
                                            (request.folder / db::records::kFileName).string() + "\n";
    if (!plan->refused().empty()) {
      std::string error;
      outcome.reportFile =
          learner_import::writeReportBesideOr(*plan, request.file.string(), request.folder.string(), error);
      outcome.message += outcome.reportFile.empty()
                             ? "the refused rows could not be written to a report: " + error + "\n"
                             : "refused rows and their reasons: " + outcome.reportFile + "\n";
    }
  } catch (const Failure& failure) { outcome.message += failure.message + "\n"; }
  return outcome;
}

}  // namespace admin
