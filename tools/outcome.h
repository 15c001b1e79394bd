// How the admin tool's operations end. An operation answers a Report: done,
// with what it did, or not, with why. Inside one, a step that cannot go on
// throws a Failure with that reason, which the operation turns into its
// Report.
#pragma once

#include <string>

namespace admin {

struct Report {
  bool ok = false;
  std::string message;  // what was done, or why nothing was
};

struct Failure {
  std::string message;
};

}  // namespace admin
