// Column numbers of the lists the exam pages read and write.
#pragma once

#include <cstdint>

namespace app::exams {

// The student list 超级列表框1.
enum StudentColumn : int32_t {
  kStudentName = 1,
  kStudentSex = 2,
  kStudentNation = 3,
  kStudentAddress = 5,
  kStudentId = 6,
  kStudentPhone = 7,
  kStudentVehicle = 8,
  kStudentCoach2 = 10,
  kStudentCoach3 = 13,
};

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
