// The entries of the operation log (log.log in the program folder), as the
// program and the admin tool's import write them. Texts are in the log's
// encoding, GB18030; no runtime is needed, so the admin tool includes this
// header like app/learner.h.
#pragma once

#include <string>
#include <string_view>

namespace app::log_format {

inline constexpr std::string_view kFileName = "log.log";
// 45 asterisks and a line break open every entry.
inline constexpr std::string_view kSeparatorLine = "*********************************************\r\n";
static_assert(kSeparatorLine.size() == 45 + 2);
inline constexpr std::string_view kLineBreak = "\r\n";
inline constexpr std::string_view kValueSeparator = "  ";

// An entry without the line break that ends it: the separator line, the
// timestamp as the runtime writes a date-time, the body.
inline std::string entry(std::string_view timestamp, std::string_view body) {
  std::string text(kSeparatorLine);
  text.append(timestamp).append(body);
  return text;
}

// The body of the entry of a learner who joined the registry (添加学员,
// 导入学员): a line break, the operation's name, the learner's name, two
// spaces and the identity number.
inline std::string joinedLearnerBody(std::string_view operation, std::string_view name,
                                     std::string_view identityNumber) {
  std::string body(kLineBreak);
  body.append(operation).append(name).append(kValueSeparator).append(identityNumber);
  return body;
}

}  // namespace app::log_format
