// The statements of the exam tables, built from fixed fragments and control
// texts. Every value is placed between single quotes with its own single
// quotes doubled, so no text typed by the user can end a literal early.
// All texts are GB18030.
#pragma once

#include <string>
#include <string_view>

#include "app/exams/subjects.h"

namespace app::exams::sql {

// The value as it stands between the quotes of a literal.
std::string quoted(std::string_view value);

// The learners whose identity number contains `id`.
std::string studentsById(std::string_view id);
// The bookings of a subject whose identity number contains `id`.
std::string bookingsById(const Subject& subject, std::string_view id);
// The bookings of a subject whose exam date contains `date`.
std::string bookingsByDate(const Subject& subject, std::string_view date);
// A new booking without a result.
std::string insertBooking(const Subject& subject, std::string_view id, std::string_view date);
// Every booking of one learner on one date.
std::string deleteBooking(const Subject& subject, std::string_view id, std::string_view date);
// A booking with its result.
std::string insertResult(const Subject& subject, std::string_view id, std::string_view date,
                         std::string_view result);

}  // namespace app::exams::sql
