#include "app/records/operation_log.h"

#include <iterator>
#include <string>

#include "app/handler_table.h"
#include "app/learner.h"
#include "app/log_format.h"
#include "app/state.h"
#include "app/support.h"
#include "runtime/command_ids.h"

namespace app::records {

using namespace rt::api;
namespace cmd = rt::cmd;

namespace {

const char* const kLogFileName = log_format::kFileName.data();  // a literal, so it ends in a null

// OpenFile modes and sharing: read and write an existing file only; others
// may read and write meanwhile.
constexpr int32_t kOpenExistingReadWrite = 3;
constexpr int32_t kShareReadWrite = 1;

// One handle serves the whole run; while log.log is missing each append tries
// again, so a file put in place later is used from then on.
int32_t logFile() {
  auto& number = state().logFileNumber;
  if (number == 0) {
    Text path = programFilePath(kLogFileName);
    number = callInt(cmd::core(cmd::kOpenFile), path, kOpenExistingReadWrite, kShareReadWrite);
  }
  return number;
}

// What the log keeps of a listed learner, in its order: the identity number
// appears twice.
constexpr learner::Field kLoggedListedValues[] = {
    learner::kName,
    learner::kIdentityNumber,
    learner::kNation,
    learner::kBirthDate,
    learner::kAddress,
    learner::kIdentityNumber,
    learner::kTelephone,
    learner::kVehicleClass,
    learner::kRegistrationDate,
    learner::kSubjectTwoCoach,
    learner::kSubjectTwoCoachTelephone,
};

}  // namespace

void appendLogEntry(const char* body) {
  int32_t file = logFile();
  call(cmd::core(cmd::kSeekToEnd), file);
  rt::TypedValue now = call(cmd::core(cmd::kNow));
  Text timestamp = callText(cmd::core(cmd::kToText), now);
  call(cmd::core(cmd::kWriteTextLine), file, TextConcat(log_format::entry(timestamp.view(), body)));
}

Text listedLearnerLogText(const Unit& list, int32_t row) {
  std::string joined;
  for (size_t i = 0; i < std::size(kLoggedListedValues); ++i) {
    if (i > 0) joined += kLogValueSeparator;
    joined += cellText(list, row, learner::listColumn(kLoggedListedValues[i])).view();
  }
  return TextConcat(joined);
}

std::string joinedLearnerLogBody(const char* operation, std::string_view name, std::string_view identityNumber) {
  return log_format::joinedLearnerBody(operation, name, identityNumber);
}

void appendLearnerLogEntry(const char* operation, const char* values) {
  appendLogEntry(TextConcat(kLogLineBreak, operation, kLogLineBreak, values).c_str());
}

void appendLogEntries(const std::vector<std::string>& bodies) {
  if (bodies.empty()) return;
  int32_t file = logFile();
  call(cmd::core(cmd::kSeekToEnd), file);
  rt::TypedValue now = call(cmd::core(cmd::kNow));
  Text timestamp = callText(cmd::core(cmd::kToText), now);
  // The line break after the last entry is the one WriteTextLine adds.
  std::string entries;
  size_t size = 0;
  for (const std::string& body : bodies)
    size += log_format::kSeparatorLine.size() + timestamp.view().size() + body.size() + log_format::kLineBreak.size();
  entries.reserve(size);  // an import's entries are megabytes
  for (const std::string& body : bodies) {
    if (!entries.empty()) entries += kLogLineBreak;
    entries += log_format::entry(timestamp.view(), body);
  }
  call(cmd::core(cmd::kWriteTextLine), file, entries);
}

}  // namespace app::records

namespace app::handlers {

// The shell shows the log with the file type's default verb.
int32_t onMenuViewLog(const rt::EventArgs&) {
  rt::api::Text path = programFilePath(records::kLogFileName);
  rt::api::call(rt::cmd::shell(rt::cmd::kShellOpen), rt::api::omitted, path);
  return 0;
}

}  // namespace app::handlers
