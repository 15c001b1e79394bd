#include "app/records/student_table.h"

#include "app/support.h"

namespace app::records {

using rt::api::Text;

const std::array<const char*, kStudentColumnCount>& studentColumnNames() {
  static const std::array<const char*, kStudentColumnCount> names = {
      "姓名"_gb,         "性别"_gb,     "民族"_gb,     "出生日期"_gb,     "住址"_gb,
      "身份证号码"_gb,   "电话号码"_gb, "车型"_gb,     "报名日期"_gb,     "科二教练"_gb,
      "科二教练电话"_gb, "科二车牌"_gb, "科三教练"_gb, "科三教练电话"_gb, "科三车牌"_gb,
  };
  return names;
}

std::string insertStudentFromForm() {
  std::array<Text, kStudentColumnCount> texts;
  statements::StudentValues values;
  for (size_t i = 0; i < kStudentFormFields.size(); ++i) {
    texts[i] = fieldText(kStudentFormFields[i]);
    values[i] = texts[i].view();
  }
  return statements::insertStudent(values);
}

}  // namespace app::records
