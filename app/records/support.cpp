#include "app/records/support.h"

#include <cstring>

#include "runtime/command_ids.h"
#include "runtime/properties.h"
#include "runtime/value.h"

namespace app::records {

using namespace rt::api;
namespace cmd = rt::cmd;

namespace {
constexpr int32_t kOpenKindStatement = 1;
bool isComboBox(const ui::Unit& unit) { return unit.kind == rt::kind::kComboBox; }
}  // namespace

void showMessage(const char* text, int32_t style, const char* caption) {
  call(cmd::core(cmd::kShowMessage), text, style, caption);
}

Text programFilePath(const char* name) {
  Text folder = callText(cmd::core(cmd::kProgramFolder));
  return TextConcat(folder, "\\", name);
}

Text fieldText(const ui::Unit& field) {
  return readText(field, isComboBox(field) ? rt::prop::kComboText : rt::prop::kEditContent);
}

void setFieldText(const ui::Unit& field, const char* text) {
  writeText(field, isComboBox(field) ? rt::prop::kComboText : rt::prop::kEditContent, text);
}

bool executeSql(const std::string& statement) {
  return callBool(cmd::db(cmd::kExecuteSql), ui::数据库连接1, statement);
}

void bindRecordSet(const ui::Unit& recordSet) {
  call(cmd::db(cmd::kSetConnection), recordSet, ui::数据库连接1);
}

void openRecords(const ui::Unit& recordSet, const std::string& statement) {
  call(cmd::db(cmd::kOpenRecords), recordSet, statement, kOpenKindStatement);
}

bool recordSetAtEnd(const ui::Unit& recordSet) { return readBool(recordSet, rt::prop::kRecordSetEof); }

DatabaseTransaction::DatabaseTransaction()
    : active_(callBool(cmd::db(cmd::kBeginTrans), ui::数据库连接1)) {}

DatabaseTransaction::~DatabaseTransaction() { rollback(); }

bool DatabaseTransaction::commit() {
  if (!active_) return false;
  if (callBool(cmd::db(cmd::kCommitTrans), ui::数据库连接1)) {
    active_ = false;
    return true;
  }
  rollback();
  return false;
}

void DatabaseTransaction::rollback() {
  if (!active_) return;
  active_ = false;
  call(cmd::db(cmd::kRollbackTrans), ui::数据库连接1);
}

TextArray::~TextArray() {
  for (int32_t i = 0; i < size(); ++i) {
    char* element;
    std::memcpy(&element, rt::arrayElements(block_) + i * sizeof(char*), sizeof element);
    rt::entries().Free(element);
  }
  rt::entries().Free(block_);
}

int32_t TextArray::size() const { return rt::arrayCount(block_); }

const char* TextArray::at(int32_t index) const {
  const char* element;
  std::memcpy(&element, rt::arrayElements(block_) + index * sizeof(char*), sizeof element);
  return element ? element : rt::emptyLiteral();
}

}  // namespace app::records
