// Command numbers of every library, as the application names them. A command
// is addressed by (library number, command number); each library fills its
// command table at exactly these indices.
#pragma once

#include <cstdint>

namespace rt {

struct CommandId {
  int32_t library;
  int32_t number;
};

namespace lib {
inline constexpr int32_t kCore = 1;
inline constexpr int32_t kListView = 2;
inline constexpr int32_t kDatabase = 3;
inline constexpr int32_t kSpreadsheet = 4;
inline constexpr int32_t kShell = 5;
inline constexpr int32_t kTiming = 6;
inline constexpr int32_t kBackup = 7;
inline constexpr int32_t kLearnerImport = 8;
inline constexpr int32_t kCount = 8;
}  // namespace lib

namespace cmd {
// Core runtime (library 1).
enum Core : int32_t {
  kRunProgram,
  kLoadWindow,
  kTextLength,
  kProgramFolder,
  kTextLeft,
  kTextRight,
  kTextMid,
  kCharToText,
  kFindText,
  kToInteger,
  kReplaceText,
  kSplitText,
  kSpaces,
  kZeroBytes,
  kToText,
  kNow,
  kCurrentDirectory,
  kRemoveFile,
  kReadFileBytes,
  kOpenFile,
  kSeekToEnd,
  kWriteTextLine,
  kShowMessage,
  kIsLoaded,
  kProcessEvents,
  kUnloadWindow,
  kFocusControl,
  kShowPopupMenu,
  kOpenDialog,
  kComboAddItem,
  kComboClear,
  kReadIniValue,
  kObjectGetProperty,
  kObjectSetProperty,
  kObjectRelease,
  kCoreCount
};

// List view (library 2).
enum ListView : int32_t {
  kListClear,
  kListRowCount,
  kListInsertRow,
  kListSetCellText,
  kListGetCellText,
  kListViewCount
};

// Database (library 3).
enum Database : int32_t {
  kOpenAccess,
  kExecuteSql,
  kBeginTrans,
  kCommitTrans,
  kRollbackTrans,
  kSetConnection,
  kOpenRecords,
  kCloseRecords,
  kReadFieldText,
  kMoveToFirst,
  kMoveToNext,
  kMoveToRecord,
  kExecuteSqlWithValues,
  kDatabaseCount
};

// Spreadsheet (library 4).
enum Spreadsheet : int32_t {
  kStartExcel,
  kQuitExcel,
  kReleaseExcel,
  kNewWorkbook,
  kOpenWorkbook,
  kActivateWorkbook,
  kSaveSheetAs,
  kCloseWorkbooks,
  kReleaseWorkbooks,
  kCurrentSheet,
  kPrintSheets,
  kSpreadsheetCount
};

// Shell (library 5) and timing (library 6).
enum Shell : int32_t { kShellOpen, kShellCount };
enum Timing : int32_t { kDelay, kTimingCount };

// Backups (library 7): the daily automatic backup of the program folder.
enum Backup : int32_t { kStartAutomaticBackup, kTakeAutomaticBackupFailure, kBackupCount };

// Learner import (library 8), on a LearnerImport unit.
enum LearnerImport : int32_t {
  kReadLearnerFile,      // (unit, path) -> bool: the file read and its header found
  kAddRegisteredNumber,  // (unit, identity number): a number the student table holds
  kCheckLearners,        // (unit) -> bool: every row checked; false without a file
  kLearnerField,         // (unit, learner, field) -> text: field 0-14 of learner 0..
  kWriteImportReport,    // (unit, fallback folder) -> text: the report file written, or empty
  kCloseLearnerFile,     // (unit): forgets the file
  kLearnerImportCount
};

inline constexpr CommandId core(Core c) { return {lib::kCore, c}; }
inline constexpr CommandId list(ListView c) { return {lib::kListView, c}; }
inline constexpr CommandId db(Database c) { return {lib::kDatabase, c}; }
inline constexpr CommandId spreadsheet(Spreadsheet c) { return {lib::kSpreadsheet, c}; }
inline constexpr CommandId shell(Shell c) { return {lib::kShell, c}; }
inline constexpr CommandId timing(Timing c) { return {lib::kTiming, c}; }
inline constexpr CommandId backup(Backup c) { return {lib::kBackup, c}; }
inline constexpr CommandId learnerImport(LearnerImport c) { return {lib::kLearnerImport, c}; }
}  // namespace cmd

}  // namespace rt
