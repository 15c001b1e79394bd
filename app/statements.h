// Every SQL text the application runs on the records database, built here and
// nowhere else. A statement is fixed fragments joined with values; each value
// stands between single quotes with its own single quotes doubled, so no text
// a user types can end its literal or change the statement. In searches "%"
// and "_" stay wildcards of the like pattern. Table and column names are fixed
// texts of this module or of the subject table, never user input.
// All texts are GB18030.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "app/exams/subjects.h"
#include "app/learner.h"

namespace app::statements {

// The columns the student searches look in.
enum class StudentSearch {
  kName,
  kIdentityNumber,
  kTelephone,
  kVehicleClass,
  kRegistrationDate,
  kSubjectTwoCoach,
  kSubjectThreeCoach,
};
// The learner's field a search looks in.
learner::Field searchedField(StudentSearch search);

// A learner's fifteen values in the student table's column order
// (app/learner.h).
using StudentValues = std::array<std::string_view, learner::kFieldCount>;

// The two tables that hold learners with those fifteen columns: the registry
// and the graduates.
enum class LearnerTable { kStudents, kGraduates };

// Every learner, in the order they were registered.
std::string selectAllStudents();
// The learners whose column contains `value` (a like pattern).
std::string findStudents(StudentSearch column, std::string_view value);
// The learner with exactly this identity number.
std::string findStudentById(std::string_view identityNumber);
// A new learner row with all fifteen columns.
std::string insertStudent(const StudentValues& values);
// Several new learner rows in one statement (insertLearners of the students).
std::string insertStudents(std::span<const StudentValues> learners);
// A new learner row with all fifteen columns given as parameters (`?`), in
// the order of learner::kColumns.
std::string insertStudentWithParameters();
// Every learner row with this identity number.
std::string deleteStudent(std::string_view identityNumber);

// A learner row is addressed by all fifteen of its values (a NULL counts as
// the empty text, as a record set shows it), so that exactly the row a list
// shows is moved, and a row another desk changed meanwhile is not found.
// A learner row of either table with all fifteen columns.
std::string insertLearner(LearnerTable table, const StudentValues& values);
// Several new rows in one statement: the same text with one parenthesised
// list of values after another, separated by commas.
std::string insertLearners(LearnerTable table, std::span<const StudentValues> learners);
// The rows that hold exactly these values.
std::string findLearner(LearnerTable table, const StudentValues& values);
// Rewrites those rows unchanged. Inside a transaction this makes them the
// transaction's own: another desk that wants to change them waits until it
// ends, and then finds them as it left them.
std::string claimLearner(LearnerTable table, const StudentValues& values);
std::string deleteLearner(LearnerTable table, const StudentValues& values);

// Every booking of one learner in one subject's exam table.
std::string deleteBookingsOf(const exams::Subject& subject, std::string_view identityNumber);
// Every booking of a subject.
std::string selectAllBookings(const exams::Subject& subject);
// The bookings of a subject made for exactly this identity number.
std::string findBookingsById(const exams::Subject& subject, std::string_view identityNumber);
// The bookings of a subject whose exam date contains `date`.
std::string findBookingsByDate(const exams::Subject& subject, std::string_view date);
// A new booking without a result.
std::string insertBooking(const exams::Subject& subject, std::string_view identityNumber, std::string_view date);
// Every booking of one learner on one date.
std::string deleteBooking(const exams::Subject& subject, std::string_view identityNumber, std::string_view date);
// A booking with its result.
std::string insertBookingWithResult(const exams::Subject& subject, std::string_view identityNumber,
                                    std::string_view date, std::string_view result);

// Every graduate.
std::string selectAllGraduates();

}  // namespace app::statements
