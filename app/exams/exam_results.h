// What a learner's recorded exam results say across the four subjects.
#pragma once

#include <string_view>

namespace app::exams {

// Whether the learner with this identity number has a booking marked "合格"
// in each of the four subjects.
bool passedEverySubject(std::string_view identityNumber);

}  // namespace app::exams
