#include "app/exams/exam_sql.h"

#include "runtime/api.h"

namespace app::exams::sql {

std::string quoted(std::string_view value) {
  // No byte of a multi-byte GB18030 character is a single quote, so a
  // byte-wise scan is safe.
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string studentsById(std::string_view id) {
  return std::string("SELECT * FROM student WHERE 身份证号码 like '%"_gb) + quoted(id) + "%'";
}

std::string bookingsById(const Subject& subject, std::string_view id) {
  return std::string("SELECT * FROM ") + subject.table + " WHERE 身份证号码 like '%"_gb + quoted(id) + "%'";
}

std::string bookingsByDate(const Subject& subject, std::string_view date) {
  return std::string("SELECT * FROM ") + subject.table + " WHERE 考试时间 like '%"_gb + quoted(date) + "%'";
}

std::string insertBooking(const Subject& subject, std::string_view id, std::string_view date) {
  return std::string("insert into ") + subject.table + "(身份证号码,考试时间) values ('"_gb + quoted(id) + "','" +
         quoted(date) + "')";
}

std::string deleteBooking(const Subject& subject, std::string_view id, std::string_view date) {
  return std::string(" delete from ") + subject.table + " where 身份证号码= '"_gb + quoted(id) + "'and 考试时间='"_gb +
         quoted(date) + "'";
}

std::string insertResult(const Subject& subject, std::string_view id, std::string_view date,
                         std::string_view result) {
  return std::string("insert into ") + subject.table + "(身份证号码,考试时间,是否通过) values ('"_gb + quoted(id) +
         "','" + quoted(date) + "','" + quoted(result) + "')";
}

}  // namespace app::exams::sql
