#include "app/records/student_table.h"

#include <string>

#include "app/records/support.h"

namespace app::records {

using rt::api::Text;

const std::array<const char*, kStudentColumnCount>& studentColumnNames() {
  static const std::array<const char*, kStudentColumnCount> names = {
      "姓名"_gb,     "性别"_gb,     "民族"_gb,         "出生日期"_gb, "住址"_gb,
      "身份证号码"_gb, "电话号码"_gb, "车型"_gb,         "报名日期"_gb, "科二教练"_gb,
      "科二教练电话"_gb, "科二车牌"_gb, "科三教练"_gb, "科三教练电话"_gb, "科三车牌"_gb,
  };
  return names;
}

const char* selectAllStudents() { return "select * from student"; }

Text insertStudentFromForm() {
  std::string statement =
      "insert into student(姓名,性别,民族,出生日期,住址,身份证号码,电话号码,车型,报名日期,"
      "科二教练,科二教练电话,科二车牌,科三教练,科三教练电话,科三车牌) values ('"_gb;
  for (size_t i = 0; i < kStudentFormFields.size(); ++i) {
    if (i > 0) statement += "','";
    Text value = fieldText(kStudentFormFields[i]);
    statement += quotedValue(value.c_str()).view();
  }
  statement += "')";
  return rt::api::TextConcat(statement);
}

Text deleteStudent(const char* identityNumber) {
  return rt::api::TextConcat(" delete from student where 身份证号码= '"_gb, quotedValue(identityNumber), "'");
}

std::array<Text, 4> deleteBookings(const char* identityNumber) {
  Text quoted = quotedValue(identityNumber);
  auto statementFor = [&](const char* table) {
    return rt::api::TextConcat("delete from ", table, " where 身份证号码= '"_gb, quoted, "'");
  };
  return {statementFor("one"), statementFor("two"), statementFor("three"), statementFor("four")};
}

}  // namespace app::records
