// The four exam subjects: item index of the subject chooser <-> exam table
// <-> subject numeral shown in the lists <-> the record set of that table.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "app/ids.h"
#include "app/learner.h"

namespace app::exams {

inline constexpr int32_t kSubjectCount = 4;

struct Subject {
  int32_t index;            // 0..3, item index of the subject chooser
  const char* table;        // one, two, three, four
  const char* numeral;      // 一, 二, 三, 四 (GB18030)
  rt::api::Unit recordSet;  // 记录集一 .. 记录集四
  // The learner's field holding the subject's coach; null for the subjects
  // the school's own coach teaches.
  const learner::Field* coach;
};

// The coach of subjects one and four.
const char* schoolCoachName();

// The four subjects, subject one first.
std::span<const Subject, kSubjectCount> allSubjects();
// Subject at index 0..3; null for any other index (no subject chosen).
const Subject* subjectAt(int32_t index);
// Subject whose numeral is exactly the given text; null for any other text.
const Subject* subjectByNumeral(std::string_view numeral);

}  // namespace app::exams
