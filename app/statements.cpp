#include "app/statements.h"

#include <initializer_list>

#include "runtime/heap.h"

namespace app::statements {

namespace {

// The value as it stands between the quotes of a literal. No byte of a
// multi-byte GB18030 character is a single quote, so a byte-wise scan is safe.
std::string quoted(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string joined(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out += part;
  return out;
}

// "(姓名,性别,...,科三车牌)": every column of the learner record in order.
std::string learnerColumnList() {
  std::string list = "(";
  for (const learner::Column& column : learner::kColumns) {
    if (column.field != learner::kName) list += ",";
    list += learner::nameGb(column.field);
  }
  return list + ")";
}

const char* tableName(LearnerTable table) { return table == LearnerTable::kStudents ? "student" : "graduation"; }

// " where " and a comparison per column. The identity number is compared as
// it stands, which lets the engine find the rows through its index; it is
// never NULL in a row the program wrote.
std::string learnerCondition(const StudentValues& values) {
  const char* identity = learner::nameGb(learner::kIdentityNumber);
  std::string condition = joined({" where ", identity, " = '", quoted(values[learner::kIdentityNumber]), "'"});
  for (const learner::Column& column : learner::kColumns) {
    if (column.field == learner::kIdentityNumber) continue;
    condition +=
        joined({" and coalesce(", learner::nameGb(column.field), ",'') = '", quoted(values[column.field]), "'"});
  }
  return condition;
}

}  // namespace

learner::Field searchedField(StudentSearch search) {
  switch (search) {
    case StudentSearch::kName: return learner::kName;
    case StudentSearch::kIdentityNumber: return learner::kIdentityNumber;
    case StudentSearch::kTelephone: return learner::kTelephone;
    case StudentSearch::kVehicleClass: return learner::kVehicleClass;
    case StudentSearch::kRegistrationDate: return learner::kRegistrationDate;
    case StudentSearch::kSubjectTwoCoach: return learner::kSubjectTwoCoach;
    case StudentSearch::kSubjectThreeCoach: return learner::kSubjectThreeCoach;
  }
  return learner::kName;
}

std::string selectAllStudents() { return "select * from student"; }

std::string findStudents(StudentSearch column, std::string_view value) {
  return joined(
      {"SELECT * FROM student WHERE ", learner::nameGb(searchedField(column)), " like '%", quoted(value), "%'"});
}

std::string findStudentById(std::string_view identityNumber) {
  return joined({"SELECT * FROM student WHERE 身份证号码 = '"_gb, quoted(identityNumber), "'"});
}

std::string insertStudents(std::span<const StudentValues> learners) {
  return insertLearners(LearnerTable::kStudents, learners);
}

std::string insertStudentWithParameters() {
  std::string statement =
      joined({"insert into ", tableName(LearnerTable::kStudents), learnerColumnList(), " values (?"});
  for (std::size_t i = 1; i < learner::kFieldCount; ++i) statement += ",?";
  return statement + ")";
}

std::string insertStudent(const StudentValues& values) { return insertLearner(LearnerTable::kStudents, values); }

std::string deleteStudent(std::string_view identityNumber) {
  return joined({" delete from student where 身份证号码= '"_gb, quoted(identityNumber), "'"});
}

std::string deleteBookingsOf(const exams::Subject& subject, std::string_view identityNumber) {
  return joined({"delete from ", subject.table, " where 身份证号码= '"_gb, quoted(identityNumber), "'"});
}

std::string selectAllBookings(const exams::Subject& subject) { return joined({"select * from ", subject.table}); }

std::string findBookingsById(const exams::Subject& subject, std::string_view identityNumber) {
  return joined({"SELECT * FROM ", subject.table, " WHERE 身份证号码 = '"_gb, quoted(identityNumber), "'"});
}

std::string findBookingsByDate(const exams::Subject& subject, std::string_view date) {
  return joined({"SELECT * FROM ", subject.table, " WHERE 考试时间 like '%"_gb, quoted(date), "%'"});
}

std::string insertBooking(const exams::Subject& subject, std::string_view identityNumber, std::string_view date) {
  return joined({"insert into ", subject.table, "(身份证号码,考试时间) values ('"_gb, quoted(identityNumber), "','",
                 quoted(date), "')"});
}

std::string deleteBooking(const exams::Subject& subject, std::string_view identityNumber, std::string_view date) {
  return joined({" delete from ", subject.table, " where 身份证号码= '"_gb, quoted(identityNumber),
                 "'and 考试时间='"_gb, quoted(date), "'"});
}

std::string insertBookingWithResult(const exams::Subject& subject, std::string_view identityNumber,
                                    std::string_view date, std::string_view result) {
  return joined({"insert into ", subject.table, "(身份证号码,考试时间,是否通过) values ('"_gb, quoted(identityNumber),
                 "','", quoted(date), "','", quoted(result), "')"});
}

std::string selectAllGraduates() { return "select * from graduation"; }

std::string insertLearners(LearnerTable table, std::span<const StudentValues> learners) {
  std::string statement = joined({"insert into ", tableName(table), learnerColumnList(), " values "});
  for (std::size_t row = 0; row < learners.size(); ++row) {
    statement += row > 0 ? ",('" : "('";
    for (std::size_t i = 0; i < learners[row].size(); ++i) {
      if (i > 0) statement += "','";
      statement += quoted(learners[row][i]);
    }
    statement += "')";
  }
  return statement;
}

std::string insertLearner(LearnerTable table, const StudentValues& values) {
  return insertLearners(table, {&values, 1});
}

std::string findLearner(LearnerTable table, const StudentValues& values) {
  return joined({"SELECT * FROM ", tableName(table), learnerCondition(values)});
}

std::string claimLearner(LearnerTable table, const StudentValues& values) {
  const char* identity = learner::nameGb(learner::kIdentityNumber);
  return joined({"update ", tableName(table), " set ", identity, " = ", identity, learnerCondition(values)});
}

std::string deleteLearner(LearnerTable table, const StudentValues& values) {
  return joined({"delete from ", tableName(table), learnerCondition(values)});
}

}  // namespace app::statements
