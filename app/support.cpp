#include "app/support.h"

#include <cstring>
#include <vector>

#include "runtime/command_ids.h"
#include "runtime/properties.h"
#include "runtime/value.h"

namespace app {

using namespace rt::api;
namespace cmd = rt::cmd;

namespace {

// RecordSet open kind: the source is SQL text.
constexpr int32_t kSourceIsSqlText = 1;

// ShowMessage: the buttons Yes and No with the question icon, and the answer
// that means Yes.
constexpr int32_t kYesNoQuestion = 0x04 | 0x20;
constexpr int32_t kAnsweredYes = 5;

int32_t textPropertyOf(const Unit& field) {
  return field.kind == rt::kind::kComboBox ? rt::prop::kComboText : rt::prop::kEditContent;
}

char* arrayText(void* block, int32_t index) {
  char* element;
  std::memcpy(&element, rt::arrayElements(block) + index * sizeof(char*), sizeof element);
  return element;
}

}  // namespace

void showMessage(const char* text, int32_t style, const char* caption) {
  call(cmd::core(cmd::kShowMessage), text, style, caption);
}

void showMessage(const char* text, int32_t style) { call(cmd::core(cmd::kShowMessage), text, style); }

bool askYesNo(const char* question, const char* caption) {
  return callInt(cmd::core(cmd::kShowMessage), question, kYesNoQuestion, caption) == kAnsweredYes;
}

Text programFilePath(const char* name) {
  Text folder = callText(cmd::core(cmd::kProgramFolder));
  return TextConcat(folder, "\\", name);
}

Text fieldText(const Unit& field) { return readText(field, textPropertyOf(field)); }

void setFieldText(const Unit& field, const char* text) { writeText(field, textPropertyOf(field), text); }

Text pickerDateText(const Unit& picker) {
  Text dateTime = callText(cmd::core(cmd::kToText), DateTime{readDate(picker, rt::prop::kPickedDate)});
  int32_t dayMark = callInt(cmd::core(cmd::kFindText), dateTime, "日"_gb);
  // "日" takes two bytes: keep up to and including its second byte.
  return callText(cmd::core(cmd::kTextLeft), dateTime, dayMark + 1);
}

void writePickerDate(const Unit& picker, const Unit& field) { setFieldText(field, pickerDateText(picker).c_str()); }

int32_t selectedRow(const Unit& list) { return readInt(list, rt::prop::kListSelectedRow); }

Text cellText(const Unit& list, int32_t row, int32_t column) {
  return callText(cmd::list(cmd::kListGetCellText), list, row, column);
}

Text selectedCellText(const Unit& list, int32_t column) { return cellText(list, selectedRow(list), column); }

void appendRow(const Unit& list) { call(cmd::list(cmd::kListInsertRow), list); }

void setLastRowCell(const Unit& list, int32_t column, const char* text) {
  int32_t lastRow = callInt(cmd::list(cmd::kListRowCount), list) - 1;
  call(cmd::list(cmd::kListSetCellText), list, lastRow, column, text);
}

void clearList(const Unit& list) { call(cmd::list(cmd::kListClear), list); }

Text numberText(int32_t number) { return callText(cmd::core(cmd::kToText), number); }

bool executeSql(const std::string& statement) {
  return callBool(cmd::db(cmd::kExecuteSql), ui::数据库连接1, statement);
}

bool executeSqlWithValues(const std::string& statement, std::span<const char* const> values) {
  std::vector<rt::TypedValue> arguments;
  arguments.reserve(values.size() + 2);
  arguments.push_back(arg(ui::数据库连接1));
  arguments.push_back(arg(statement));
  for (const char* value : values) arguments.push_back(arg(value));
  return callWithArguments(cmd::db(cmd::kExecuteSqlWithValues), arguments).asBool();
}

DatabaseTransaction::DatabaseTransaction() : active_(callBool(cmd::db(cmd::kBeginTrans), ui::数据库连接1)) {}

bool DatabaseTransaction::commit() {
  if (!active_) return false;
  if (!callBool(cmd::db(cmd::kCommitTrans), ui::数据库连接1)) {
    rollback();
    return false;
  }
  active_ = false;
  return true;
}

void DatabaseTransaction::rollback() {
  if (!active_) return;
  active_ = false;
  call(cmd::db(cmd::kRollbackTrans), ui::数据库连接1);
}

namespace recordset {

bool bind(const Unit& set) { return callBool(cmd::db(cmd::kSetConnection), set, ui::数据库连接1); }

bool open(const Unit& set, const std::string& statement) {
  return callBool(cmd::db(cmd::kOpenRecords), set, statement, kSourceIsSqlText);
}

void close(const Unit& set) { call(cmd::db(cmd::kCloseRecords), set); }

bool moveToFirst(const Unit& set) { return callBool(cmd::db(cmd::kMoveToFirst), set); }

bool moveToNext(const Unit& set) { return callBool(cmd::db(cmd::kMoveToNext), set); }

bool moveTo(const Unit& set, int32_t position) { return callBool(cmd::db(cmd::kMoveToRecord), set, position); }

bool isEof(const Unit& set) { return readBool(set, rt::prop::kRecordSetEof); }

int32_t count(const Unit& set) { return readInt(set, rt::prop::kRecordCount); }

Text field(const Unit& set, const char* column) {
  // The command stores the field's text into the variable; the text is ours.
  char* value = nullptr;
  call(cmd::db(cmd::kReadFieldText), set, column, rt::TypedValue::ofPointer(&value, rt::tag::kText));
  return Text(value);
}

}  // namespace recordset

TextArray::~TextArray() {
  for (int32_t i = 0; i < size(); ++i) rt::entries().Free(arrayText(block_, i));
  rt::entries().Free(block_);
}

int32_t TextArray::size() const { return rt::arrayCount(block_); }

const char* TextArray::at(int32_t index) const {
  const char* element = arrayText(block_, index);
  return element ? element : rt::emptyLiteral();
}

}  // namespace app
