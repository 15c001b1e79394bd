#include "app/records/learner_texts.h"

#include "app/support.h"

namespace app::records {

statements::StudentValues LearnerTexts::values() const {
  statements::StudentValues views;
  for (size_t i = 0; i < texts.size(); ++i) views[i] = texts[i].view();
  return views;
}

LearnerTexts listedLearner(const rt::api::Unit& list, int32_t row) {
  LearnerTexts learner;
  for (const learner::Column& column : learner::kColumns)
    learner.texts[column.field] = cellText(list, row, learner::listColumn(column.field));
  return learner;
}

LearnerTexts recordedLearner(const rt::api::Unit& set) {
  LearnerTexts learner;
  for (const learner::Column& column : learner::kColumns)
    learner.texts[column.field] = recordset::field(set, learner::nameGb(column.field));
  return learner;
}

}  // namespace app::records
