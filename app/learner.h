// The learner record as the handlers see it: the fifteen columns of the
// student table (and of the graduation table), in the table's order, which
// is also the order of an insert, of the student lists' columns after the
// running number, and of the registration form.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace app::learner {

// A column of the learner record; the value is its position in the table.
enum Field : int32_t {
  kName,                        // 姓名
  kSex,                         // 性别
  kNation,                      // 民族
  kBirthDate,                   // 出生日期
  kAddress,                     // 住址
  kIdentityNumber,              // 身份证号码
  kTelephone,                   // 电话号码
  kVehicleClass,                // 车型
  kRegistrationDate,            // 报名日期
  kSubjectTwoCoach,             // 科二教练
  kSubjectTwoCoachTelephone,    // 科二教练电话
  kSubjectTwoPlate,             // 科二车牌
  kSubjectThreeCoach,           // 科三教练
  kSubjectThreeCoachTelephone,  // 科三教练电话
  kSubjectThreePlate,           // 科三车牌
};
inline constexpr size_t kFieldCount = 15;

struct Column {
  Field field;
  std::string_view nameUtf8;  // the database column, also the list's column title
  int32_t listWidth;          // pixels, in the student lists of the window template
};

inline constexpr std::array<Column, kFieldCount> kColumns = {{
    {kName, "姓名", 75},
    {kSex, "性别", 36},
    {kNation, "民族", 36},
    {kBirthDate, "出生日期", 97},
    {kAddress, "住址", 130},
    {kIdentityNumber, "身份证号码", 130},
    {kTelephone, "电话号码", 85},
    {kVehicleClass, "车型", 36},
    {kRegistrationDate, "报名日期", 100},
    {kSubjectTwoCoach, "科二教练", 80},
    {kSubjectTwoCoachTelephone, "科二教练电话", 85},
    {kSubjectTwoPlate, "科二车牌", 70},
    {kSubjectThreeCoach, "科三教练", 80},
    {kSubjectThreeCoachTelephone, "科三教练电话", 85},
    {kSubjectThreePlate, "科三车牌", 70},
}};

// The column's name in GB18030 (interned: it lives as long as the program).
const char* nameGb(Field field);

// The student lists (超级列表框1, and the graduates' 超级列表框4) show the
// running number in column 0, titled "ID", and the fields after it.
inline constexpr int32_t kListNumberColumn = 0;
inline constexpr std::string_view kListNumberTitleUtf8 = "ID";
inline constexpr int32_t kListNumberWidth = 35;
inline constexpr int32_t kListColumnCount = static_cast<int32_t>(kFieldCount) + 1;
constexpr int32_t listColumn(Field field) { return static_cast<int32_t>(field) + 1; }

}  // namespace app::learner
