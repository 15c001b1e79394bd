// The small pieces every handler folder shares: message boxes, files of the
// program folder, form field texts, list cells, record sets and statements on
// the records database, owned text arrays.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/ids.h"
#include "runtime/api.h"

namespace app {

using rt::api::Text;
using rt::api::Unit;

// Message box styles the program uses.
inline constexpr int32_t kMessageNoIcon = 0x00;
inline constexpr int32_t kMessageErrorIcon = 0x10;
inline constexpr int32_t kMessageInformationIcon = 0x40;

// A task-modal message box with a single confirm button and no owner window,
// with a caption, or with the runtime's default caption.
void showMessage(const char* text, int32_t style, const char* caption);
void showMessage(const char* text, int32_t style);
// A task-modal question with the buttons Yes and No and the question icon;
// true when the user answered Yes.
bool askYesNo(const char* question, const char* caption);

// Program folder + "\" + name.
Text programFilePath(const char* name);

// The text a form field shows: an edit box's content, a combo box's edit text.
Text fieldText(const Unit& field);
void setFieldText(const Unit& field, const char* text);
inline void clearFieldText(const Unit& field) { setFieldText(field, nullptr); }

// The date of a date picker as text, cut after the first "日": a date without
// time of day ("2024年3月3日"); empty when the text holds no "日".
Text pickerDateText(const Unit& picker);
// Writes pickerDateText(picker) into the field.
void writePickerDate(const Unit& picker, const Unit& field);

// List views; selectedRow answers kNoRow when no row is selected.
inline constexpr int32_t kNoRow = -1;
int32_t selectedRow(const Unit& list);
Text cellText(const Unit& list, int32_t row, int32_t column);
// A cell of the row selected at this moment.
Text selectedCellText(const Unit& list, int32_t column);
// Appends an empty row at the end of the list.
void appendRow(const Unit& list);
// Writes into the list's last row, recomputed for every write.
void setLastRowCell(const Unit& list, int32_t column, const char* text);
void clearList(const Unit& list);
// A running number as the list shows it.
Text numberText(int32_t number);

// Runs one statement on 数据库连接1; true when the database accepted it.
bool executeSql(const std::string& statement);
// Runs one statement written with `?` for its parameters on 数据库连接1, once
// for each group of values (texts, bound in order); the runs stop at the
// first that fails, so a caller that wants all or none runs them in a
// DatabaseTransaction.
bool executeSqlWithValues(const std::string& statement, std::span<const char* const> values);

// A transaction on 数据库连接1 that rolls back unless committed.
class DatabaseTransaction {
 public:
  DatabaseTransaction();
  DatabaseTransaction(const DatabaseTransaction&) = delete;
  DatabaseTransaction& operator=(const DatabaseTransaction&) = delete;
  ~DatabaseTransaction() { rollback(); }
  bool begun() const { return active_; }
  // false, and rolled back, when the database could not commit.
  bool commit();
  void rollback();
  // Forgets the transaction without a word to the connection: for when the
  // connection went with its window, which rolled the transaction back.
  void abandon() { active_ = false; }

 private:
  bool active_ = false;
};

// Record sets, always on the connection 数据库连接1, opened with SQL text.
namespace recordset {
bool bind(const Unit& set);
bool open(const Unit& set, const std::string& statement);
void close(const Unit& set);
bool moveToFirst(const Unit& set);
bool moveToNext(const Unit& set);
// Moves to the record at a 0-based position.
bool moveTo(const Unit& set, int32_t position);
bool isEof(const Unit& set);
// -1 when the set is not open.
int32_t count(const Unit& set);
// The field of the current record; empty when there is none.
Text field(const Unit& set, const char* column);
}  // namespace recordset

// An owned text array (the result of SplitText): the block and its elements.
class TextArray {
 public:
  explicit TextArray(void* block) : block_(block) {}
  TextArray(const TextArray&) = delete;
  TextArray& operator=(const TextArray&) = delete;
  ~TextArray();
  int32_t size() const;
  // Never null: an empty element reads as the empty literal.
  const char* at(int32_t index) const;

 private:
  void* block_;
};

}  // namespace app
