// The exact bytes of every statement the application builds: the fixed
// fragments with their spaces, the table names of the subjects, and each
// value's single quotes doubled and nothing else changed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/exams/subjects.h"
#include "app/statements.h"
#include "runtime/encoding.h"
#include "statement_support.h"

namespace {

namespace sql = app::statements;
using app::exams::allSubjects;
using app::exams::Subject;

using statementtest::gb;

// The statement equals the expected text (UTF-8 here) byte for byte in GB18030.
void expectStatement(const std::string& statement, const std::string& expectedUtf8) {
  EXPECT_EQ(statement, gb(expectedUtf8)) << "built: " << rt::gbToUtf8(statement);
}

const Subject& subject(int index) { return allSubjects()[static_cast<size_t>(index)]; }

TEST(StatementText, WholeTableReads) {
  expectStatement(sql::selectAllStudents(), "select * from student");
  expectStatement(sql::selectAllGraduates(), "select * from graduation");
  std::vector<std::string> bookingReads;
  for (const Subject& s : allSubjects()) bookingReads.push_back(sql::selectAllBookings(s));
  EXPECT_EQ(bookingReads, (std::vector<std::string>{"select * from one", "select * from two", "select * from three",
                                                    "select * from four"}));
}

TEST(StatementText, StudentSearchesNameTheirColumn) {
  using Column = sql::StudentSearch;
  const std::vector<std::pair<Column, std::string>> columns = {
      {Column::kName, "姓名"},
      {Column::kIdentityNumber, "身份证号码"},
      {Column::kTelephone, "电话号码"},
      {Column::kVehicleClass, "车型"},
      {Column::kRegistrationDate, "报名日期"},
      {Column::kSubjectTwoCoach, "科二教练"},
      {Column::kSubjectThreeCoach, "科三教练"},
  };
  for (const auto& [column, name] : columns)
    expectStatement(sql::findStudents(column, gb("王")), "SELECT * FROM student WHERE " + name + " like '%王%'");
}

TEST(StatementText, SearchValuesKeepWildcardsAndDoubleQuotes) {
  using Column = sql::StudentSearch;
  expectStatement(sql::findStudents(Column::kName, ""), "SELECT * FROM student WHERE 姓名 like '%%'");
  expectStatement(sql::findStudents(Column::kName, "%"), "SELECT * FROM student WHERE 姓名 like '%%%'");
  expectStatement(sql::findStudents(Column::kName, gb("张_")), "SELECT * FROM student WHERE 姓名 like '%张_%'");
  expectStatement(sql::findStudents(Column::kTelephone, "x' or '1'='1"),
                  "SELECT * FROM student WHERE 电话号码 like '%x'' or ''1''=''1%'");
  expectStatement(sql::findStudents(Column::kIdentityNumber, "''"),
                  "SELECT * FROM student WHERE 身份证号码 like '%''''%'");
}

TEST(StatementText, InsertOfALearnerListsFifteenValuesInColumnOrder) {
  std::vector<std::string> texts = {"O'Neil",
                                    "男",
                                    "汉",
                                    "1990年01月01日",
                                    "北京市'朝阳区",
                                    "110101199001011234",
                                    "",
                                    "C1",
                                    "2024年3月3日",
                                    "王'教练",
                                    "139",
                                    "京A1111学",
                                    "",
                                    "",
                                    "'"};
  sql::StudentValues values;
  for (size_t i = 0; i < texts.size(); ++i) {
    texts[i] = gb(texts[i]);
    values[i] = texts[i];
  }
  expectStatement(sql::insertStudent(values),
                  "insert into student(姓名,性别,民族,出生日期,住址,身份证号码,电话号码,车型,报名日期,科二教练,"
                  "科二教练电话,科二车牌,科三教练,科三教练电话,科三车牌) values ('O''Neil','男','汉','1990年01月01日',"
                  "'北京市''朝阳区','110101199001011234','','C1','2024年3月3日','王''教练','139','京A1111学','','',"
                  "'''')");
}

// Several learners in one insert: the single insert's text, then the value
// lists of the others after commas.
TEST(StatementText, InsertOfSeveralLearnersListsTheirValuesOneAfterAnother) {
  const std::string name = gb("张三");
  sql::StudentValues first{}, second{};
  first[app::learner::kName] = name;
  first[app::learner::kIdentityNumber] = "1";
  second[app::learner::kIdentityNumber] = "x'";
  const std::vector<sql::StudentValues> both = {first, second};
  expectStatement(sql::insertStudents(both),
                  "insert into student(姓名,性别,民族,出生日期,住址,身份证号码,电话号码,车型,报名日期,科二教练,"
                  "科二教练电话,科二车牌,科三教练,科三教练电话,科三车牌) values ('张三','','','','','1','','','','',"
                  "'','','','',''),('','','','','','x''','','','','','','','','','')");
}

TEST(StatementText, LearnerDeletesByIdentityNumber) {
  expectStatement(sql::deleteStudent("1101'X"), " delete from student where 身份证号码= '1101''X'");
  expectStatement(sql::deleteStudent(""), " delete from student where 身份证号码= ''");
  expectStatement(sql::deleteBookingsOf(subject(0), "1101'X"), "delete from one where 身份证号码= '1101''X'");
  expectStatement(sql::deleteBookingsOf(subject(3), "'; drop table student; --"),
                  "delete from four where 身份证号码= '''; drop table student; --'");
}

TEST(StatementText, BookingStatementsNameTheSubjectsTable) {
  const std::string date = gb("2024年5月6日");
  expectStatement(sql::findBookingsById(subject(1), "110'"), "SELECT * FROM two WHERE 身份证号码 = '110'''");
  expectStatement(sql::findStudentById("110'"), "SELECT * FROM student WHERE 身份证号码 = '110'''");
  expectStatement(sql::findBookingsByDate(subject(2), date),
                  "SELECT * FROM three WHERE 考试时间 like '%2024年5月6日%'");
  expectStatement(sql::findBookingsByDate(subject(2), "%_"), "SELECT * FROM three WHERE 考试时间 like '%%_%'");
  expectStatement(sql::insertBooking(subject(0), "110'", date),
                  "insert into one(身份证号码,考试时间) values ('110''','2024年5月6日')");
  expectStatement(sql::deleteBooking(subject(3), "110", "5'6"),
                  " delete from four where 身份证号码= '110'and 考试时间='5''6'");
  expectStatement(sql::insertBookingWithResult(subject(1), "110", date, gb("不合格")),
                  "insert into two(身份证号码,考试时间,是否通过) values ('110','2024年5月6日','不合格')");
  expectStatement(sql::insertBookingWithResult(subject(2), "", "", "'"),
                  "insert into three(身份证号码,考试时间,是否通过) values ('','','''')");
}

// Two- and four-byte characters pass unchanged: none of their bytes is a
// single quote, so only the real quote is doubled.
TEST(StatementText, MultiByteCharactersPassUnchanged) {
  const std::string name = gb("𠮷野'家😀");
  ASSERT_EQ(name.size(), 4u + 2u + 1u + 2u + 4u) << "four-byte and two-byte GB18030 characters";
  expectStatement(sql::findStudents(sql::StudentSearch::kName, name),
                  "SELECT * FROM student WHERE 姓名 like '%𠮷野''家😀%'");
}

}  // namespace
