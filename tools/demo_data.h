// Synthetic but realistic registry data: learners with valid identity
// numbers, and exam bookings over the four subjects.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "import/cell_text.h"
#include "import/learner_check.h"
#include "tools/settings.h"

namespace admin {

// The check character of an identity number, as the import checks it.
using learner_import::identityCheckCharacter;

// The program's date text: year, "年", month, "月", day, "日", no leading zeros.
std::string dateText(std::chrono::year_month_day date);

inline constexpr size_t kLearnerFieldCount = 15;
inline constexpr size_t kIdentityField = 5;
struct Learner {
  std::array<std::string, kLearnerFieldCount> fields;  // UTF-8, in the student table's column order
  std::chrono::sys_days registered;
};

struct Booking {
  int subject = 0;  // 0..3: exam tables one to four
  std::string identity, examDate, result;
};

class DemoGenerator {
 public:
  DemoGenerator(const Settings& settings, uint64_t seed, std::chrono::sys_days today);

  // Learners in order of registration (dates never decrease).
  std::vector<Learner> learners(size_t count);
  // Bookings of the given learners, each exam after its learner registered;
  // past exams carry a result, coming ones none.
  std::vector<Booking> bookings(const std::vector<Learner>& learners, size_t count);

 private:
  std::string name();
  // A number not given before; when the birthday's numbers run out, the
  // birthday moves a day back.
  std::string identityNumber(std::string_view regionCode, std::chrono::year_month_day& birth, bool male);
  std::string phone();
  std::string address(std::string_view regionPlace);
  std::string vehicleClass();
  const std::string& pick(const std::vector<std::string>& items);
  size_t below(size_t n);
  bool chance(double p);

  const Settings& settings_;
  std::mt19937_64 random_;
  std::chrono::sys_days today_;
  std::unordered_set<std::string> identities_;
};

}  // namespace admin
