// The records database of a program folder: its file name and the program's
// password, the key the file is encrypted with. The application passes the
// same two texts to OpenAccess (the password is compiled into it as well).
#pragma once

#include <string_view>

namespace db::records {

inline constexpr std::string_view kFileName = "hj.mdb";
inline constexpr std::string_view kPassword = "58203917460";

}  // namespace db::records
