// Statement building (app/statements.h) with any bytes as any value. Each
// statement, run through the database library as the handlers run it, is
// exactly one statement; an insert stores each value unchanged (as the
// library converts it to the engine's UTF-8, and byte for byte when it reads
// back as GB18030); a delete removes and a search finds exactly the rows that
// the same statement with the value bound as a parameter would.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/exams/subjects.h"
#include "app/statements.h"
#include "db/connection.h"
#include "db/schema.h"
#include "db/texts.h"
#include "runtime/encoding.h"
#include "tests/fuzz/fuzz_database.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

namespace sql = app::statements;
using fuzz::require;
using fuzz::Row;

constexpr size_t kLongestValue = 48;
constexpr const char* kIdentityColumn = "身份证号码";
constexpr const char* kDateColumn = "考试时间";
constexpr const char* kResultColumn = "是否通过";

// The columns of the student searches, as the enumeration lists them.
constexpr std::array<const char*, 7> kSearchColumns = {"姓名",     "身份证号码", "电话号码", "车型",
                                                       "报名日期", "科二教练",   "科三教练"};

struct Database {
  fuzz::DatabaseFile file;
  db::Connection connection;  // the library's own, as the program's
  db::DatabaseHandle oracle;  // a second connection for seeds, checks and bound statements

  Database() {
    std::string error;
    {
      db::DatabaseHandle made = db::openDatabase(file.path(), "", db::OpenMode::kCreateNew, &error);
      require(made && db::records::createSchema(made.get(), &error), "make the database");
    }
    require(connection.openAccess(rt::utf8ToGb(file.path()), ""), "open through the library");
    require(connection.executeSql("PRAGMA synchronous=OFF", std::nullopt), "no syncs");
    oracle = db::openDatabase(file.path(), "", db::OpenMode::kExistingOnly, &error);
    require(oracle != nullptr, "open the second connection");
    fuzz::run(oracle.get(), "PRAGMA synchronous=OFF");
  }
  static Database& instance() {
    static Database database;
    return database;
  }
};

sqlite3* oracle() { return Database::instance().oracle.get(); }

// The statement as the library hands it to the engine: exactly one
// statement, nothing after it.
void requireOneStatement(const std::string& statementGb) {
  std::string utf8 = db::toUtf8(statementGb);
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(oracle(), utf8.c_str(), static_cast<int>(utf8.size()), &raw, &tail);
  db::StatementHandle statement(raw);
  require(rc == SQLITE_OK && statement, "the statement is one the engine takes");
  require(tail == utf8.c_str() + utf8.size(), "nothing follows the statement");
}

bool execute(const std::string& statementGb) {
  requireOneStatement(statementGb);
  return Database::instance().connection.executeSql(statementGb, std::nullopt);
}

std::vector<Row> rows(const std::string& sqlUtf8, const std::vector<std::string>& parameters = {}) {
  auto found = fuzz::rowsOf(oracle(), sqlUtf8, parameters);
  require(found.has_value(), "the check's own query");
  return *found;
}

// A stored cell holds the value as the library converts it; a value that
// is well-formed GB18030 also reads back as itself.
void requireStored(const fuzz::Cell& cell, const std::string& valueGb) {
  std::string utf8 = db::toUtf8(valueGb);
  require(cell.type == SQLITE_TEXT && cell.bytes == utf8, "the value is stored as converted");
  if (rt::utf8ToGb(rt::gbToUtf8(valueGb)) == valueGb) require(db::toGb(cell.bytes) == valueGb, "the value reads back");
}

// The last row of a table after an insert that must add exactly it.
Row insertedRow(const std::string& table, size_t rowsBefore) {
  std::vector<Row> all = rows("SELECT * FROM " + table + " ORDER BY rowid");
  require(all.size() == rowsBefore + 1, "an insert adds one row");
  return all.back();
}

size_t rowCount(const std::string& table) { return rows("SELECT rowid FROM " + table).size(); }

// One learner through the single insert, or one to three through the insert
// of several: each row stored as given, in the order given.
void insertStudents(fuzz::Input& in) {
  size_t learners = in.byte() % 4;
  std::vector<std::array<std::string, app::learner::kFieldCount>> values(std::max<size_t>(learners, 1));
  std::vector<sql::StudentValues> views(values.size());
  for (size_t l = 0; l < values.size(); ++l) {
    for (size_t i = 0; i < values[l].size(); ++i) {
      values[l][i] = in.runtimeText(kLongestValue);
      views[l][i] = values[l][i];
    }
  }
  size_t before = rowCount("student");
  require(execute(learners == 0 ? sql::insertStudent(views[0]) : sql::insertStudents(views)), "the insert runs");
  std::vector<Row> all = rows("SELECT * FROM student ORDER BY rowid");
  require(all.size() == before + values.size(), "an insert adds its rows");
  for (size_t l = 0; l < values.size(); ++l)
    for (size_t i = 0; i < values[l].size(); ++i) requireStored(all[before + l][i], values[l][i]);
}

void insertBooking(fuzz::Input& in, const app::exams::Subject& subject, bool withResult) {
  std::string id = in.runtimeText(kLongestValue), date = in.runtimeText(kLongestValue);
  std::string result = in.runtimeText(kLongestValue);
  size_t before = rowCount(subject.table);
  std::string statement =
      withResult ? sql::insertBookingWithResult(subject, id, date, result) : sql::insertBooking(subject, id, date);
  require(execute(statement), "the insert runs");
  Row row = insertedRow(subject.table, before);
  requireStored(row[0], id);
  requireStored(row[1], date);
  if (withResult)
    requireStored(row[2], result);
  else
    require(row[2].type == SQLITE_TEXT && row[2].bytes.empty(), "a booking has the empty result of the schema");
}

// Rows around a value: itself, a longer and a shorter text, the empty text,
// NULL, and one other value of the input.
void seedAround(const std::string& table, const std::string& column, const std::string& otherColumn,
                const std::string& valueUtf8, const std::string& otherUtf8, const std::string& secondUtf8) {
  const std::string insert = "INSERT INTO " + table + " (\"" + column + "\", \"" + otherColumn + "\") VALUES (?, ?)";
  for (const std::string& v :
       {valueUtf8, valueUtf8 + "x", valueUtf8.substr(0, valueUtf8.size() / 2), std::string(), otherUtf8}) {
    rows(insert, {v, secondUtf8});
    rows(insert, {v, otherUtf8});
  }
  fuzz::run(oracle(), "INSERT INTO " + table + " (\"" + otherColumn + "\") VALUES ('')");
}

void requireDeleteLeaves(const std::string& statementGb, const std::string& table, const std::string& keptSql,
                         const std::vector<std::string>& parameters) {
  std::vector<Row> expected =
      rows("SELECT rowid, * FROM " + table + " WHERE " + keptSql + " ORDER BY rowid", parameters);
  require(execute(statementGb), "the delete runs");
  require(rows("SELECT rowid, * FROM " + table + " ORDER BY rowid") == expected, "the delete removes its rows only");
}

void deleteStudent(fuzz::Input& in) {
  std::string id = in.runtimeText(kLongestValue), other = in.runtimeText(kLongestValue);
  seedAround("student", kIdentityColumn, "姓名", db::toUtf8(id), db::toUtf8(other), "");
  requireDeleteLeaves(sql::deleteStudent(id), "student", "coalesce(身份证号码 = ?, 0) = 0", {db::toUtf8(id)});
}

void deleteBookings(fuzz::Input& in, const app::exams::Subject& subject, bool ofOneDate) {
  std::string id = in.runtimeText(kLongestValue), date = in.runtimeText(kLongestValue);
  std::string other = in.runtimeText(kLongestValue);
  seedAround(subject.table, kIdentityColumn, kDateColumn, db::toUtf8(id), db::toUtf8(other), db::toUtf8(date));
  if (ofOneDate)
    requireDeleteLeaves(sql::deleteBooking(subject, id, date), subject.table,
                        "coalesce(身份证号码 = ?1 AND 考试时间 = ?2, 0) = 0", {db::toUtf8(id), db::toUtf8(date)});
  else
    requireDeleteLeaves(sql::deleteBookingsOf(subject, id), subject.table, "coalesce(身份证号码 = ?, 0) = 0",
                        {db::toUtf8(id)});
}

// A search finds what the same condition with the value bound finds, in order.
void requireSearchFinds(const std::string& statementGb, const std::string& table, const std::string& boundCondition,
                        const std::string& parameter) {
  require(execute(statementGb), "the search runs");
  auto found = fuzz::rowsOf(oracle(), db::toUtf8(statementGb));
  require(found.has_value(), "the search reads");
  require(*found == rows("SELECT * FROM " + table + " WHERE " + boundCondition, {parameter}),
          "the search finds what the bound statement finds");
}

// Searches find the value anywhere in the column ("%" and "_" stay wildcards).
void requireContainsSearchFinds(const std::string& statementGb, const std::string& table, const std::string& column,
                                const std::string& valueGb) {
  requireSearchFinds(statementGb, table, "\"" + column + "\" LIKE ?", "%" + db::toUtf8(valueGb) + "%");
}

void findStudents(fuzz::Input& in) {
  size_t which = in.below(kSearchColumns.size());
  std::string value = in.runtimeText(kLongestValue), other = in.runtimeText(kLongestValue);
  seedAround("student", kSearchColumns[which], "住址", db::toUtf8(value), db::toUtf8(other), "");
  requireContainsSearchFinds(sql::findStudents(static_cast<sql::StudentSearch>(which), value), "student",
                             kSearchColumns[which], value);
}

void findBookings(fuzz::Input& in, const app::exams::Subject& subject, bool byDate) {
  std::string value = in.runtimeText(kLongestValue), other = in.runtimeText(kLongestValue);
  const char* column = byDate ? kDateColumn : kIdentityColumn;
  seedAround(subject.table, column, kResultColumn, db::toUtf8(value), db::toUtf8(other), "");
  // A learner's bookings are those of exactly that number.
  if (byDate)
    requireContainsSearchFinds(sql::findBookingsByDate(subject, value), subject.table, column, value);
  else
    requireSearchFinds(sql::findBookingsById(subject, value), subject.table, "\"" + std::string(column) + "\" = ?",
                       db::toUtf8(value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  Database::instance();
  fuzz::run(oracle(), "DELETE FROM student; DELETE FROM one; DELETE FROM two; DELETE FROM three; DELETE FROM four;");
  const app::exams::Subject& subject = app::exams::allSubjects()[in.below(app::exams::kSubjectCount)];
  switch (in.byte() % 8) {
    case 0: insertStudents(in); break;
    case 1: insertBooking(in, subject, false); break;
    case 2: insertBooking(in, subject, true); break;
    case 3: deleteStudent(in); break;
    case 4: deleteBookings(in, subject, false); break;
    case 5: deleteBookings(in, subject, true); break;
    case 6: findStudents(in); break;
    default: findBookings(in, subject, in.byte() & 1); break;
  }
  return 0;
}
