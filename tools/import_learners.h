// jiaxiao-admin import: learners brought into a program folder's records
// file from a workbook or CSV file, for a school's first bulk load, with the
// checks, the question's counts and the report of 导入数据 (import/): every
// good learner in one transaction, an entry in log.log for each (when the
// folder has its log), and the refused rows in "<file>_未导入.xlsx" beside
// the file (or in the folder).
#pragma once

#include <filesystem>
#include <string>

namespace admin {

struct ImportRequest {
  std::filesystem::path folder;
  std::filesystem::path file;
  bool dryRun = false;  // checks and reports, writes nothing into the records or the log
};

struct ImportOutcome {
  bool read = false;     // the file was read and its rows checked
  bool written = false;  // the learners are in the records (false on a dry run)
  size_t rows = 0, learners = 0, duplicates = 0, faulty = 0;
  std::string reportFile;  // empty when no row was refused, or the report could not be written
  std::string message;     // what happened, for the terminal
};

ImportOutcome importLearners(const ImportRequest& request);

}  // namespace admin
