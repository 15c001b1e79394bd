// The operation log: one entry appended to log.log of the program folder for
// every registration, modification, deletion, graduation and its undoing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/log_format.h"
#include "runtime/api.h"

namespace app::records {

// The log's separators as literals, whose data ends in a null.
inline const char* const kLogValueSeparator = log_format::kValueSeparator.data();
inline const char* const kLogLineBreak = log_format::kLineBreak.data();

// Appends separator line, timestamp and body (a line break is added after
// it). A missing log.log is never created: the entry is then lost silently.
void appendLogEntry(const char* body);
// One entry for each body, all with the same time, in one write.
void appendLogEntries(const std::vector<std::string>& bodies);

// What the log keeps of a learner listed in a row of the student list or the
// graduates' list: 姓名, 身份证号码, 民族, 出生日期, 住址, 身份证号码 again,
// 电话号码, 车型, 报名日期, 科二教练, 科二教练电话, joined by two spaces.
rt::api::Text listedLearnerLogText(const rt::api::Unit& list, int32_t row);

// The body of the entry of a learner who joined the registry (添加学员,
// 导入学员): a line break, the operation's name, the learner's name, two
// spaces and the identity number.
std::string joinedLearnerLogBody(const char* operation, std::string_view name, std::string_view identityNumber);

// Appends the entry of an operation on one learner: a line break, the
// operation's name, a line break and the learner's values.
void appendLearnerLogEntry(const char* operation, const char* values);

}  // namespace app::records
