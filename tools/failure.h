// A step of an admin command that cannot go on: it throws this with the
// message the command reports, and the command's entry catches it.
#pragma once

#include <string>

namespace admin {

struct Failure {
  std::string message;
};

}  // namespace admin
