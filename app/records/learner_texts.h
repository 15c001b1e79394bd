// A learner's fifteen texts taken from a list row or a record, owned, for
// the statements that move a learner row between the registry and the
// graduates.
#pragma once

#include <array>
#include <cstdint>

#include "app/learner.h"
#include "app/statements.h"
#include "runtime/api.h"

namespace app::records {

// A learner's fifteen texts in the learner record's column order.
struct LearnerTexts {
  std::array<rt::api::Text, learner::kFieldCount> texts;
  // Views of the texts, valid while this lives.
  statements::StudentValues values() const;
};

// The learner in a list row (the student list and the graduates' list have
// the same columns).
LearnerTexts listedLearner(const rt::api::Unit& list, int32_t row);
// The learner of a record set's current record.
LearnerTexts recordedLearner(const rt::api::Unit& set);

}  // namespace app::records
