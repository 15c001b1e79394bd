#include "app/exams/subjects.h"

#include <array>

namespace app::exams {

namespace {
constexpr learner::Field kSubjectTwoCoach = learner::kSubjectTwoCoach;
constexpr learner::Field kSubjectThreeCoach = learner::kSubjectThreeCoach;

// Built on first use: the numerals are interned in the runtime's constant block.
const std::array<Subject, kSubjectCount>& subjectTable() {
  static const std::array<Subject, kSubjectCount> table = {{
      {0, "one", "一"_gb, ui::记录集一, nullptr},
      {1, "two", "二"_gb, ui::记录集二, &kSubjectTwoCoach},
      {2, "three", "三"_gb, ui::记录集三, &kSubjectThreeCoach},
      {3, "four", "四"_gb, ui::记录集四, nullptr},
  }};
  return table;
}
}  // namespace

const char* schoolCoachName() { return "岚舟"_gb; }

std::span<const Subject, kSubjectCount> allSubjects() { return subjectTable(); }

const Subject* subjectAt(int32_t index) {
  if (index < 0 || index >= kSubjectCount) return nullptr;
  return &subjectTable()[static_cast<size_t>(index)];
}

const Subject* subjectByNumeral(std::string_view numeral) {
  for (const Subject& subject : subjectTable())
    if (numeral == subject.numeral) return &subject;
  return nullptr;
}

}  // namespace app::exams
