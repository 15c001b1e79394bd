// The form fields of the main window by what they hold. The window template
// names them by kind and number (ui::编辑框1); handlers use these names.
#pragma once

#include <array>

#include "app/ids.h"
#include "app/learner.h"

namespace app::form {

// The pages of 选择夹1, in their order.
inline constexpr int32_t kPageStudents = 0;
inline constexpr int32_t kPageExamDetails = 1;
inline constexpr int32_t kPageExamList = 2;
inline constexpr int32_t kPageGraduates = 3;

// Page "学员信息": the learner's fields.
inline constexpr ui::Unit kName = ui::编辑框1;
inline constexpr ui::Unit kSex = ui::编辑框5;
inline constexpr ui::Unit kNation = ui::编辑框7;
inline constexpr ui::Unit kBirthDate = ui::编辑框8;
inline constexpr ui::Unit kAddress = ui::编辑框9;
inline constexpr ui::Unit kIdentityNumber = ui::编辑框2;
inline constexpr ui::Unit kTelephone = ui::编辑框3;
inline constexpr ui::Unit kVehicleClass = ui::组合框1;
inline constexpr ui::Unit kRegistrationDate = ui::编辑框4;
inline constexpr ui::Unit kSubjectTwoCoach = ui::组合框2;
inline constexpr ui::Unit kSubjectTwoCoachTelephone = ui::组合框3;
inline constexpr ui::Unit kSubjectTwoPlate = ui::组合框4;
inline constexpr ui::Unit kSubjectThreeCoach = ui::组合框5;
inline constexpr ui::Unit kSubjectThreeCoachTelephone = ui::组合框6;
inline constexpr ui::Unit kSubjectThreePlate = ui::组合框7;
// The date picker that writes the registration date.
inline constexpr ui::Unit kRegistrationDatePicker = ui::日期框1;

// Page "考试详情": the subject chooser, the exam date with its picker, the
// result chooser.
inline constexpr ui::Unit kExamSubject = ui::组合框8;
inline constexpr ui::Unit kExamDate = ui::编辑框6;
inline constexpr ui::Unit kExamDatePicker = ui::日期框2;
inline constexpr ui::Unit kExamResult = ui::组合框9;

// The field of each column of the learner record, in the record's order.
inline constexpr std::array<ui::Unit, learner::kFieldCount> kLearnerFields = {
    kName,
    kSex,
    kNation,
    kBirthDate,
    kAddress,
    kIdentityNumber,
    kTelephone,
    kVehicleClass,
    kRegistrationDate,
    kSubjectTwoCoach,
    kSubjectTwoCoachTelephone,
    kSubjectTwoPlate,
    kSubjectThreeCoach,
    kSubjectThreeCoachTelephone,
    kSubjectThreePlate,
};
constexpr const ui::Unit& fieldOf(learner::Field field) { return kLearnerFields[field]; }

// The fields a registration, modification, deletion or graduation empties
// afterwards, which are also what the log keeps of the form after a change;
// sex, nationality, birth date, address and the photo stay for the next
// registration.
inline constexpr learner::Field kEmptiedAfterAChange[] = {
    learner::kName,
    learner::kIdentityNumber,
    learner::kTelephone,
    learner::kVehicleClass,
    learner::kRegistrationDate,
    learner::kSubjectTwoCoach,
    learner::kSubjectTwoCoachTelephone,
    learner::kSubjectTwoPlate,
    learner::kSubjectThreeCoach,
    learner::kSubjectThreeCoachTelephone,
    learner::kSubjectThreePlate,
};

// A subject's coach with the telephone and car plate that follow the choice.
struct CoachFields {
  ui::Unit coach, telephone, plate;
};
inline constexpr CoachFields kSubjectTwoCoachFields{kSubjectTwoCoach, kSubjectTwoCoachTelephone, kSubjectTwoPlate};
inline constexpr CoachFields kSubjectThreeCoachFields{kSubjectThreeCoach, kSubjectThreeCoachTelephone,
                                                      kSubjectThreePlate};

}  // namespace app::form
