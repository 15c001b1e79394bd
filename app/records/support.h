// Small pieces the record handlers share: message boxes, files of the program
// folder, control texts, running statements on the records database.
#pragma once

#include <cstdint>
#include <string>

#include "app/ids.h"
#include "runtime/api.h"

namespace app::records {

// Message box styles the program uses.
inline constexpr int32_t kMessagePlain = 0x00;
inline constexpr int32_t kMessageError = 0x10;
inline constexpr int32_t kMessageInformation = 0x40;

// Task-modal message box with a single confirm button, without owner window.
void showMessage(const char* text, int32_t style, const char* caption);

// Program folder + "\" + name.
rt::api::Text programFilePath(const char* name);

// The text a form field shows: an edit box's content, a combo box's edit text.
rt::api::Text fieldText(const ui::Unit& field);
void setFieldText(const ui::Unit& field, const char* text);
inline void clearFieldText(const ui::Unit& field) { setFieldText(field, nullptr); }

// Runs one statement on 数据库连接1; true when the database accepted it.
bool executeSql(const std::string& statement);

// Binds a record set to 数据库连接1 and opens it on a statement (kind 1).
void bindRecordSet(const ui::Unit& recordSet);
void openRecords(const ui::Unit& recordSet, const std::string& statement);
bool recordSetAtEnd(const ui::Unit& recordSet);

// A transaction on 数据库连接1 that rolls back unless committed.
class DatabaseTransaction {
 public:
  DatabaseTransaction();
  DatabaseTransaction(const DatabaseTransaction&) = delete;
  DatabaseTransaction& operator=(const DatabaseTransaction&) = delete;
  ~DatabaseTransaction();
  bool begun() const { return active_; }
  // false (and rolled back) when the database could not commit.
  bool commit();
  void rollback();

 private:
  bool active_ = false;
};

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

}  // namespace app::records
