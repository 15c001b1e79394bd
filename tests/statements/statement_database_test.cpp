// The statements run on a real encrypted records database through the
// database library's commands, as the handlers run them: awkward texts are
// stored and found again exactly, and a value that looks like SQL stays a
// value.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "app/exams/subjects.h"
#include "app/statements.h"
#include "db/schema.h"
#include "runtime/encoding.h"
#include "statement_support.h"
#include "tests/db/db_fixture.h"

namespace {

namespace sql = app::statements;
using app::exams::allSubjects;
using app::exams::Subject;
using Column = sql::StudentSearch;
using rt::TypedValue;

using statementtest::gb;

constexpr size_t kNameColumn = app::learner::kName;
constexpr size_t kIdentityColumn = app::learner::kIdentityNumber;

// The student table's columns as the database library creates them (not as
// the handlers name them: the two must agree).
std::vector<const char*> studentColumns() {
  static const std::vector<std::string> names(db::records::studentTable().columns.begin(),
                                              db::records::studentTable().columns.end());
  std::vector<const char*> columns;
  for (const std::string& name : names) columns.push_back(name.c_str());
  return columns;
}

// A learner's fifteen values in UTF-8; every field tells the learner apart.
using Learner = std::array<std::string, app::learner::kFieldCount>;
Learner learner(const std::string& name, const std::string& identity) {
  Learner values;
  for (size_t i = 0; i < values.size(); ++i) values[i] = name + "|" + std::to_string(i);
  values[kNameColumn] = name;
  values[kIdentityColumn] = identity;
  return values;
}

class StatementsOnDatabase : public dbtest::DatabaseUnits {
 protected:
  void SetUp() override {
    DatabaseUnits::SetUp();
    file_ = folder_ / "hj.mdb";
    {
      std::string error;
      db::DatabaseHandle database = db::openDatabase(file_.string(), dbtest::kKey, db::OpenMode::kCreateNew, &error);
      ASSERT_TRUE(database && db::records::createSchema(database.get(), &error)) << error;
    }
    ASSERT_TRUE(openAccess(file_));
    ASSERT_TRUE(bind());
  }

  bool run(const std::string& statementGb) { return execute(statementGb); }

  bool insert(const Learner& values) {
    std::array<std::string, app::learner::kFieldCount> texts;
    sql::StudentValues view;
    for (size_t i = 0; i < values.size(); ++i) {
      texts[i] = gb(values[i]);
      view[i] = texts[i];
    }
    return run(sql::insertStudent(view));
  }

  // The rows a statement reads, each column listed by name, in UTF-8.
  std::vector<std::vector<std::string>> rows(const std::string& statementGb, const std::vector<const char*>& columns) {
    std::vector<std::vector<std::string>> result;
    TypedValue opened =
        call(rt::cmd::kOpenRecords, {recordsRef(), dbtest::text(statementGb), TypedValue::ofInt(1), {}});
    EXPECT_TRUE(opened.asBool()) << rt::gbToUtf8(statementGb);
    for (moveFirst(); !isEof(); moveNext()) {
      std::vector<std::string> row;
      for (const char* column : columns) row.push_back(read(column).value_or("<no column>"));
      result.push_back(row);
    }
    return result;
  }
  std::vector<Learner> learners(const std::string& statementGb) {
    std::vector<Learner> result;
    for (const auto& row : rows(statementGb, studentColumns())) {
      Learner values;
      std::copy(row.begin(), row.end(), values.begin());
      result.push_back(values);
    }
    return result;
  }
  std::vector<std::string> namesFound(Column column, const std::string& valueUtf8) {
    std::vector<std::string> names;
    for (const Learner& found : learners(sql::findStudents(column, gb(valueUtf8)))) names.push_back(found[kNameColumn]);
    return names;
  }
  // Every booking of a subject as identity number, date and result.
  std::vector<std::vector<std::string>> bookings(const Subject& subject) {
    return rows(sql::selectAllBookings(subject), {"身份证号码", "考试时间", "是否通过"});
  }

  std::filesystem::path file_;
};

// Texts with quotes, wildcards, backslashes, two-byte and four-byte
// characters; each is a name, and the name is found again by the search.
TEST_F(StatementsOnDatabase, AnyTextRoundTripsThroughTheInsertAndIsFoundByName) {
  const std::vector<std::string> names = {"O'Neil",
                                          "'",
                                          "''",
                                          "a''b'",
                                          "100%",
                                          "a_b",
                                          "王小明",
                                          "𠮷野家😀",
                                          "龘'𪚥",
                                          "x\\y",
                                          "  two  spaces ",
                                          "x' or '1'='1",
                                          "'; drop table student; --",
                                          "\"double\"",
                                          "--"};
  std::vector<Learner> stored;
  for (size_t i = 0; i < names.size(); ++i) {
    stored.push_back(learner(names[i], "11010119900101" + std::to_string(1000 + i)));
    ASSERT_TRUE(insert(stored.back())) << names[i];
  }
  Learner empty;
  ASSERT_TRUE(insert(empty)) << "empty texts are stored as empty texts";
  stored.push_back(empty);

  EXPECT_EQ(learners(sql::selectAllStudents()), stored);
  for (const std::string& name : names) {
    std::vector<std::string> found = namesFound(Column::kName, name);
    EXPECT_NE(std::find(found.begin(), found.end(), name), found.end()) << name;
  }
  // Searches without wildcards find exactly the names that contain the text.
  EXPECT_EQ(namesFound(Column::kName, "x' or '1'='1"), std::vector<std::string>{"x' or '1'='1"});
  EXPECT_EQ(namesFound(Column::kName, "''"), (std::vector<std::string>{"''", "a''b'"}));
  EXPECT_EQ(namesFound(Column::kName, "𠮷野"), std::vector<std::string>{"𠮷野家😀"});
  EXPECT_EQ(namesFound(Column::kIdentityNumber, "11010119900101" + std::to_string(1000 + 11)),
            std::vector<std::string>{"x' or '1'='1"});
}

TEST_F(StatementsOnDatabase, PercentAndUnderscoreActAsWildcardsInSearches) {
  for (const char* name : {"张三", "张三丰", "李四", "50%"}) ASSERT_TRUE(insert(learner(name, "1")));
  ASSERT_TRUE(insert(learner("", "2")));
  const std::vector<std::string> everyone = {"张三", "张三丰", "李四", "50%", ""};
  EXPECT_EQ(namesFound(Column::kName, ""), everyone);
  EXPECT_EQ(namesFound(Column::kName, "%"), everyone);
  EXPECT_EQ(namesFound(Column::kName, "_"), (std::vector<std::string>{"张三", "张三丰", "李四", "50%"}));
  EXPECT_EQ(namesFound(Column::kName, "张_丰"), std::vector<std::string>{"张三丰"});
  EXPECT_EQ(namesFound(Column::kName, "三%"), (std::vector<std::string>{"张三", "张三丰"}));
  EXPECT_EQ(namesFound(Column::kName, "张%丰"), std::vector<std::string>{"张三丰"});
}

// Values that would end their literal and add a condition or a statement
// delete nothing they do not name, and leave every table in place.
TEST_F(StatementsOnDatabase, InjectionAttemptsChangeAndDeleteNothingElse) {
  const std::string attackId = "'; drop table student; --";
  const std::vector<Learner> registered = {learner("甲", "110"), learner("乙", attackId),
                                           learner("丙", "x' or '1'='1")};
  for (const Learner& values : registered) ASSERT_TRUE(insert(values));
  const std::string date = gb("2024年5月6日");
  for (const Subject& subject : allSubjects()) {
    for (const Learner& values : registered)
      ASSERT_TRUE(run(sql::insertBooking(subject, gb(values[kIdentityColumn]), date)));
  }

  for (const std::string attack : {"1' or '1'='1", "' or 1=1 --", "'); delete from one; --"}) {
    EXPECT_TRUE(run(sql::deleteStudent(attack))) << attack;
    for (const Subject& subject : allSubjects()) {
      EXPECT_TRUE(run(sql::deleteBookingsOf(subject, attack)));
      EXPECT_TRUE(run(sql::deleteBooking(subject, "110", attack)));
      EXPECT_TRUE(run(sql::deleteBooking(subject, attack, date)));
      EXPECT_TRUE(rows(sql::findBookingsById(subject, attack), {"身份证号码"}).empty()) << attack;
      EXPECT_TRUE(rows(sql::findBookingsByDate(subject, attack), {"考试时间"}).empty()) << attack;
    }
    EXPECT_TRUE(namesFound(Column::kTelephone, attack).empty()) << attack;
  }
  EXPECT_EQ(learners(sql::selectAllStudents()), registered);
  for (const Subject& subject : allSubjects()) EXPECT_EQ(bookings(subject).size(), registered.size()) << subject.table;

  // The learner whose number is the attack goes, with its bookings, and only it.
  EXPECT_TRUE(run(sql::deleteStudent(attackId)));
  for (const Subject& subject : allSubjects()) EXPECT_TRUE(run(sql::deleteBookingsOf(subject, attackId)));
  EXPECT_EQ(learners(sql::selectAllStudents()), (std::vector<Learner>{registered[0], registered[2]}));
  for (const Subject& subject : allSubjects()) {
    EXPECT_EQ(bookings(subject), (std::vector<std::vector<std::string>>{{"110", "2024年5月6日", ""},
                                                                        {"x' or '1'='1", "2024年5月6日", ""}}))
        << subject.table;
  }
  EXPECT_EQ(dbtest::queryValue(file_, dbtest::kKey, "SELECT count(*) FROM sqlite_master WHERE type = 'table'"), "6");
}

// A result change replaces exactly the booking of that learner on that date.
TEST_F(StatementsOnDatabase, AResultReplacesOnlyItsOwnBooking) {
  const Subject& subject = allSubjects()[1];
  const std::string day1 = gb("2024年5月6日"), day2 = gb("2024年5月7日");
  ASSERT_TRUE(run(sql::insertBooking(subject, "o'1", day1)));
  ASSERT_TRUE(run(sql::insertBooking(subject, "o'1", day2)));
  ASSERT_TRUE(run(sql::insertBooking(subject, "o'2", day1)));
  ASSERT_TRUE(run(sql::deleteBooking(subject, "o'1", day1)));
  ASSERT_TRUE(run(sql::insertBookingWithResult(subject, "o'1", day1, gb("合格"))));
  EXPECT_EQ(bookings(subject),
            (std::vector<std::vector<std::string>>{
                {"o'1", "2024年5月7日", ""}, {"o'2", "2024年5月6日", ""}, {"o'1", "2024年5月6日", "合格"}}));
  for (const Subject& other : allSubjects()) {
    if (&other == &subject) continue;
    EXPECT_TRUE(bookings(other).empty()) << other.table;
  }
  EXPECT_TRUE(rows(sql::selectAllGraduates(), {}).empty());
}

// A learner row is addressed by all fifteen values: a row that differs in
// any one of them, NULL aside, is another row, and quotes stay inside the
// values. Moving a row is an insert into the other table and a delete.
TEST_F(StatementsOnDatabase, LearnerRowsAreAddressedByAllTheirValues) {
  using Table = sql::LearnerTable;
  Learner quoted = learner("O'Neil", "110'1");
  Learner sameNumber = quoted;
  sameNumber[14] = "another plate";
  Learner withNull = learner("无", "120");
  withNull[13] = "";
  ASSERT_TRUE(insert(quoted));
  ASSERT_TRUE(insert(sameNumber));
  ASSERT_TRUE(
      run(gb("INSERT INTO student VALUES ('无','无|1','无|2','无|3','无|4','120','无|6','无|7','无|8','无|9',"
             "'无|10','无|11','无|12',NULL,'无|14')")));
  struct Gb {
    std::array<std::string, std::tuple_size_v<sql::StudentValues>> texts;
    sql::StudentValues view;
    explicit Gb(const Learner& values) {
      for (size_t i = 0; i < values.size(); ++i) {
        texts[i] = gb(values[i]);
        view[i] = texts[i];
      }
    }
  };
  const Gb a(quoted), b(sameNumber), c(withNull);

  EXPECT_EQ(learners(sql::findLearner(Table::kStudents, a.view)), std::vector<Learner>{quoted});
  EXPECT_EQ(learners(sql::findLearner(Table::kStudents, c.view)), std::vector<Learner>{withNull});
  EXPECT_TRUE(run(sql::claimLearner(Table::kStudents, a.view)));
  EXPECT_EQ(learners(sql::selectAllStudents()), (std::vector<Learner>{quoted, sameNumber, withNull}));

  ASSERT_TRUE(run(sql::insertLearner(Table::kGraduates, a.view)));
  ASSERT_TRUE(run(sql::deleteLearner(Table::kStudents, a.view)));
  ASSERT_TRUE(run(sql::deleteLearner(Table::kStudents, c.view)));
  EXPECT_EQ(learners(sql::selectAllStudents()), std::vector<Learner>{sameNumber});
  EXPECT_EQ(learners(sql::selectAllGraduates()), std::vector<Learner>{quoted});
  EXPECT_EQ(learners(sql::findLearner(Table::kGraduates, a.view)), std::vector<Learner>{quoted});
  EXPECT_TRUE(learners(sql::findLearner(Table::kGraduates, b.view)).empty());
}

}  // namespace
