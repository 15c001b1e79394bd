// The operation log: one entry appended to log.log of the program folder for
// every registration, modification and deletion.
#pragma once

namespace app::records {

// Appends separator line, timestamp and body (a line break is added after
// it). A missing log.log is never created: the entry is then lost silently.
void appendLogEntry(const char* body);

}  // namespace app::records
