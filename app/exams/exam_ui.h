// Small wrappers over the runtime commands the exam handlers use: message
// boxes, list cells, record sets and the date text of a date picker.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/ids.h"

namespace app::exams {

using rt::api::Text;
using rt::api::Unit;

// Message box styles the exam pages use.
inline constexpr int32_t kMessageNoIcon = 0x00;
inline constexpr int32_t kMessageErrorIcon = 0x10;

// A message box with a caption, or with the runtime's default caption.
void showMessage(const char* text, int32_t style, const char* caption);
void showMessage(const char* text, int32_t style);

// Lists.
int32_t selectedRow(const Unit& list);
Text cellText(const Unit& list, int32_t row, int32_t column);
// Appends an empty row at the end of the list.
void appendRow(const Unit& list);
// Writes into the list's last row, recomputed for every write.
void setLastRowCell(const Unit& list, int32_t column, std::string_view text);
void clearList(const Unit& list);
Text numberText(int32_t number);

// Record sets, always on the connection 数据库连接1, opened with SQL text.
namespace recordset {
bool bind(const Unit& set);
bool open(const Unit& set, const std::string& statement);
void close(const Unit& set);
bool moveToFirst(const Unit& set);
bool moveToNext(const Unit& set);
bool isEof(const Unit& set);
// -1 when the set is not open.
int32_t count(const Unit& set);
// The field of the current record; empty when there is none.
std::string field(const Unit& set, const char* column);
}  // namespace recordset

// Statements that change data, on 数据库连接1.
namespace connection {
bool execute(const std::string& statement);

// A transaction that rolls back unless it was committed.
class Transaction {
 public:
  Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction() { rollback(); }
  bool begun() const { return active_; }
  // false, and rolled back, when the database could not commit.
  bool commit();
  void rollback();

 private:
  bool active_ = false;
};
}  // namespace connection

}  // namespace app::exams
