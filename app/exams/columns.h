// Column numbers of the exam lists the exam pages read and write. The
// student list's columns are those of the learner record (app/learner.h).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace app::exams {

// The exam list 超级列表框3: the bookings of this run.
enum ExamListColumn : int32_t {
  kListNumber,
  kListName,
  kListSex,
  kListNation,
  kListId,
  kListAddress,
  kListPhone,
  kListVehicle,
  kListSubject,
  kListCoach,
  kListBookingCount,
};
// Its titles, in column order (the export writes them as the header row).
inline constexpr std::array<std::string_view, 11> kExamListTitlesUtf8 = {
    "ID", "姓名", "性别", "民族", "身份证号码", "地址", "电话", "车型", "科目", "教练姓名", "考试次数"};

// The exam detail list 超级列表框2.
enum ExamDetailColumn : int32_t {
  kDetailNumber,
  kDetailVehicle,
  kDetailSubject,
  kDetailName,
  kDetailId,
  kDetailDate,
  kDetailResult,
};

}  // namespace app::exams
