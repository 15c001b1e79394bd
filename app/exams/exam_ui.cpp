#include "app/exams/exam_ui.h"

#include "runtime/command_ids.h"
#include "runtime/properties.h"

namespace app::exams {

using namespace rt::api;
namespace cmd = rt::cmd;

namespace {
// RecordSet open kind: the source is SQL text.
constexpr int32_t kSourceIsSqlText = 1;
}  // namespace

void showMessage(const char* text, int32_t style, const char* caption) {
  call(cmd::core(cmd::kShowMessage), text, style, caption);
}

void showMessage(const char* text, int32_t style) { call(cmd::core(cmd::kShowMessage), text, style); }

int32_t selectedRow(const Unit& list) { return readInt(list, rt::prop::kListSelectedRow); }

Text cellText(const Unit& list, int32_t row, int32_t column) {
  return callText(cmd::list(cmd::kListGetCellText), list, row, column);
}

void appendRow(const Unit& list) {
  call(cmd::list(cmd::kListInsertRow), list);
}

void setLastRowCell(const Unit& list, int32_t column, std::string_view text) {
  int32_t lastRow = callInt(cmd::list(cmd::kListRowCount), list) - 1;
  call(cmd::list(cmd::kListSetCellText), list, lastRow, column, std::string(text));
}

void clearList(const Unit& list) { call(cmd::list(cmd::kListClear), list); }

Text numberText(int32_t number) { return callText(cmd::core(cmd::kToText), number); }

namespace recordset {
bool bind(const Unit& set) { return callBool(cmd::db(cmd::kSetConnection), set, ui::数据库连接1); }
bool open(const Unit& set, const std::string& statement) {
  return callBool(cmd::db(cmd::kOpenRecords), set, statement, kSourceIsSqlText);
}
void close(const Unit& set) { call(cmd::db(cmd::kCloseRecords), set); }
bool moveToFirst(const Unit& set) { return callBool(cmd::db(cmd::kMoveToFirst), set); }
bool moveToNext(const Unit& set) { return callBool(cmd::db(cmd::kMoveToNext), set); }
bool isEof(const Unit& set) { return readBool(set, rt::prop::kRecordSetEof); }
int32_t count(const Unit& set) { return readInt(set, rt::prop::kRecordCount); }
std::string field(const Unit& set, const char* column) {
  TextVar value;
  call(cmd::db(cmd::kReadFieldText), set, column, value);
  return std::string(value.view());
}
}  // namespace recordset

namespace connection {
bool execute(const std::string& statement) {
  return callBool(cmd::db(cmd::kExecuteSql), ui::数据库连接1, statement);
}
Transaction::Transaction() : active_(callBool(cmd::db(cmd::kBeginTrans), ui::数据库连接1)) {}

bool Transaction::commit() {
  if (!active_) return false;
  if (!callBool(cmd::db(cmd::kCommitTrans), ui::数据库连接1)) {
    rollback();
    return false;
  }
  active_ = false;
  return true;
}

void Transaction::rollback() {
  if (!active_) return;
  active_ = false;
  call(cmd::db(cmd::kRollbackTrans), ui::数据库连接1);
}
}  // namespace connection

}  // namespace app::exams
