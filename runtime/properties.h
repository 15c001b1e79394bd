// Property and event numbers of the unit kinds, as the application and the
// runtime name them.
#pragma once

#include <cstdint>

namespace rt {

namespace prop {
// Common to every visual unit.
inline constexpr int32_t kLeft = 0;
inline constexpr int32_t kTop = 1;
inline constexpr int32_t kWidth = 2;
inline constexpr int32_t kHeight = 3;
inline constexpr int32_t kTagText = 4;
inline constexpr int32_t kVisible = 5;
inline constexpr int32_t kDisabled = 6;
inline constexpr int32_t kMousePointer = 7;
// Kind-specific.
inline constexpr int32_t kWindowTitle = 8;
inline constexpr int32_t kEditContent = 8;
inline constexpr int32_t kComboText = 9;
inline constexpr int32_t kComboSelection = 19;
inline constexpr int32_t kTabPage = 12;
inline constexpr int32_t kDialogType = 8;
inline constexpr int32_t kDialogFilter = 9;
inline constexpr int32_t kDialogFileName = 10;
inline constexpr int32_t kPickedDate = 10;
inline constexpr int32_t kPicture = 10;
inline constexpr int32_t kProgressMaximum = 12;
inline constexpr int32_t kProgressPosition = 13;
inline constexpr int32_t kListSingleSelection = 34;
inline constexpr int32_t kListSelectedRow = 35;
inline constexpr int32_t kRecordCount = 10;
inline constexpr int32_t kRecordSetEof = 13;
// Spreadsheet units: ExcelApp (read) and ExcelWorkbooks (written, except the
// last two, which are read).
inline constexpr int32_t kActivePrinter = 17;
inline constexpr int32_t kCellValue = 8;
inline constexpr int32_t kNumberFormat = 9;
inline constexpr int32_t kSheetIndex = 11;
inline constexpr int32_t kStartCell = 16;
inline constexpr int32_t kEndCell = 17;
inline constexpr int32_t kColumnWidth = 25;
// The file the last SaveSheetAs wrote (its extension added), empty when it
// wrote nothing; and the status of the unit's last command or property write
// (0, or an automation status of runtime/dispatch.h).
inline constexpr int32_t kSavedFile = 60;
inline constexpr int32_t kSpreadsheetStatus = 61;
// LearnerImport (read): the rows of the file last checked, split into
// learners to import, duplicates and faulty rows; and why the file last read
// could not be (a message for the user).
inline constexpr int32_t kImportRowCount = 8;
inline constexpr int32_t kImportLearnerCount = 9;
inline constexpr int32_t kImportDuplicateCount = 10;
inline constexpr int32_t kImportFaultyCount = 11;
inline constexpr int32_t kImportRefusal = 12;
// Menu items.
inline constexpr int32_t kMenuCaption = 0;
inline constexpr int32_t kMenuFlag2 = 1;
inline constexpr int32_t kMenuDisabled = 2;
inline constexpr int32_t kMenuVisible = 3;
}  // namespace prop

namespace event {
inline constexpr int32_t kLeftDown = -1;
inline constexpr int32_t kLeftUp = -2;
inline constexpr int32_t kDoubleClick = -3;
inline constexpr int32_t kRightDown = -4;
inline constexpr int32_t kRightUp = -5;
inline constexpr int32_t kMouseMove = -6;
inline constexpr int32_t kFocusGained = -7;
inline constexpr int32_t kFocusLost = -8;
inline constexpr int32_t kWheel = -12;
inline constexpr int32_t kWindowCreated = 0;
inline constexpr int32_t kButtonClick = 0;
inline constexpr int32_t kMenuChosen = 0;
inline constexpr int32_t kComboChosen = 0;
inline constexpr int32_t kDateChanged = 0;
inline constexpr int32_t kTabClick = 0;
inline constexpr int32_t kTabChanging = 1;
inline constexpr int32_t kTabChanged = 2;
inline constexpr int32_t kListClick = 4;
inline constexpr int32_t kListRightClick = 5;
// Key state bits of the mouse events.
inline constexpr int32_t kKeyCtrl = 1;
inline constexpr int32_t kKeyShift = 2;
inline constexpr int32_t kKeyAlt = 4;
}  // namespace event

}  // namespace rt
