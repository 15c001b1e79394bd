// What the statement tests share.
#pragma once

#include <string>

#include "runtime/encoding.h"

namespace statementtest {

// Statements are GB18030 texts; the tests write theirs in UTF-8.
inline std::string gb(const std::string& utf8) { return rt::utf8ToGb(utf8); }

}  // namespace statementtest
