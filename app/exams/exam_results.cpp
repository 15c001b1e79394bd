#include "app/exams/exam_results.h"

#include "app/exams/subjects.h"
#include "app/statements.h"
#include "app/support.h"

namespace app::exams {

namespace {

const char* passedResult() { return "合格"_gb; }

// Walks the subject's bookings of the learner for a passed one.
bool passed(const Subject& subject, std::string_view identityNumber) {
  const Unit& bookings = ui::记录集考试名单;
  recordset::open(bookings, statements::findBookingsById(subject, identityNumber));
  bool found = false;
  for (recordset::moveToFirst(bookings); !found && !recordset::isEof(bookings); recordset::moveToNext(bookings))
    found = recordset::field(bookings, "是否通过"_gb).view() == passedResult();
  recordset::close(bookings);
  return found;
}

}  // namespace

bool passedEverySubject(std::string_view identityNumber) {
  recordset::bind(ui::记录集考试名单);
  for (const Subject& subject : allSubjects())
    if (!passed(subject, identityNumber)) return false;
  return true;
}

}  // namespace app::exams
