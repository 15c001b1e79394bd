// The database library (library 3): its unit kinds and command routines.
// Routines take their unit from the first argument and answer booleans.
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "db/connection.h"
#include "db/database_library.h"
#include "db/record_set.h"
#include "runtime/command_ids.h"
#include "runtime/heap.h"
#include "runtime/library.h"
#include "runtime/value.h"

namespace db {
namespace {

using rt::TypedValue;

// Argument positions after the unit itself.
constexpr int32_t kFirstArgument = 1;
constexpr int32_t kSecondArgument = 2;
constexpr int32_t kThirdArgument = 3;

// Walks call a command per field: the exact type is checked first, which
// costs far less than a cast through the hierarchy.
template <typename Unit>
Unit* unitOf(const TypedValue& ref) {
  rt::UnitObject& object = rt::requireUnitObject(ref);
  if (typeid(object) == typeid(Unit)) return static_cast<Unit*>(&object);
  return dynamic_cast<Unit*>(&object);
}

void answer(TypedValue* result, bool value) { *result = TypedValue::ofBool(value); }

std::string_view textOf(const TypedValue& value) {
  const char* text = value.tag == rt::tag::kText ? value.asText() : nullptr;
  return text ? std::string_view(text) : std::string_view();
}

bool present(int32_t count, const TypedValue* args, int32_t at) { return count > at && !args[at].omitted(); }

int32_t clampToInt(double value) {
  if (std::isnan(value)) return std::numeric_limits<int32_t>::min();
  if (value <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (value >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

// A value of any numeric type as int (fractions cut off); nothing otherwise.
std::optional<int32_t> numberOf(const TypedValue& value) {
  switch (value.tag) {
    case rt::tag::kByte: return static_cast<int32_t>(value.low & 0xFF);
    case rt::tag::kShort: return static_cast<int32_t>(static_cast<int16_t>(value.low));
    case rt::tag::kInt: return value.asInt();
    case rt::tag::kInt64: return clampToInt(static_cast<double>(value.asInt64()));
    case rt::tag::kFloat: return clampToInt(value.asFloat());
    case rt::tag::kDouble: return clampToInt(value.asDouble());
    default: return std::nullopt;
  }
}

// DBConnection

void openAccess(TypedValue* result, int32_t count, TypedValue* args) {
  auto* connection = unitOf<Connection>(args[0]);
  answer(result, connection && count > kSecondArgument &&
                     connection->openAccess(textOf(args[kFirstArgument]), textOf(args[kSecondArgument])));
}

void executeSql(TypedValue* result, int32_t count, TypedValue* args) {
  auto* connection = unitOf<Connection>(args[0]);
  if (!connection || count <= kFirstArgument) return answer(result, false);
  std::optional<int32_t> timeout;
  if (present(count, args, kSecondArgument)) {
    auto seconds = numberOf(args[kSecondArgument]);
    if (seconds && *seconds >= 0) timeout = seconds;  // a negative time-out is none
  }
  answer(result, connection->executeSql(textOf(args[kFirstArgument]), timeout));
}

// ExecuteSqlWithValues(statement, value, ...): the statement's `?`
// parameters take the values as texts, one run per group of values. Any
// value that is not a text refuses the whole call.
void executeSqlWithValues(TypedValue* result, int32_t count, TypedValue* args) {
  auto* connection = unitOf<Connection>(args[0]);
  if (!connection || count <= kSecondArgument) return answer(result, false);
  std::vector<std::string_view> values;
  values.reserve(static_cast<size_t>(count - kSecondArgument));
  for (int32_t at = kSecondArgument; at < count; ++at) {
    if (args[at].tag != rt::tag::kText) return answer(result, false);
    values.push_back(textOf(args[at]));
  }
  answer(result, connection->executeWithValues(textOf(args[kFirstArgument]), values));
}

void beginTrans(TypedValue* result, int32_t, TypedValue* args) {
  auto* connection = unitOf<Connection>(args[0]);
  answer(result, connection && connection->beginTransaction());
}

void commitTrans(TypedValue* result, int32_t, TypedValue* args) {
  auto* connection = unitOf<Connection>(args[0]);
  answer(result, connection && connection->commitTransaction());
}

void rollbackTrans(TypedValue* result, int32_t, TypedValue* args) {
  auto* connection = unitOf<Connection>(args[0]);
  answer(result, connection && connection->rollbackTransaction());
}

// RecordSet

// A record set whose window is not loaded answers false like a missing
// connection does, instead of ending the program.
void setConnection(TypedValue* result, int32_t count, TypedValue* args) {
  auto* records = dynamic_cast<RecordSet*>(rt::findUnitObject(args[0].windowId(), args[0].unitId()));
  answer(result, records && count > kFirstArgument &&
                     records->setConnection(args[kFirstArgument].windowId(), args[kFirstArgument].unitId()));
}

void openRecords(TypedValue* result, int32_t count, TypedValue* args) {
  auto* records = unitOf<RecordSet>(args[0]);
  if (!records || count <= kFirstArgument) return answer(result, false);
  int32_t kind = count > kSecondArgument ? numberOf(args[kSecondArgument]).value_or(0) : 0;
  std::optional<int32_t> cursorLocation;
  if (present(count, args, kThirdArgument)) cursorLocation = numberOf(args[kThirdArgument]).value_or(0);
  answer(result, records->openRecords(textOf(args[kFirstArgument]), kind, cursorLocation));
}

void closeRecords(TypedValue*, int32_t, TypedValue* args) {
  if (auto* records = unitOf<RecordSet>(args[0])) records->closeRecords();
}

// The variable is passed by reference: the data word is the address of the
// caller's text variable. Its old text is freed and the new one stored.
void readFieldText(TypedValue* result, int32_t count, TypedValue* args) {
  auto* records = unitOf<RecordSet>(args[0]);
  if (!records || count <= kSecondArgument) return answer(result, false);
  auto** variable = args[kSecondArgument].pointer<char*>();
  const TypedValue& field = args[kFirstArgument];
  std::optional<char*> text;
  if (field.tag == rt::tag::kText) {
    text = records->fieldByName(textOf(field));
  } else if (auto index = numberOf(field)) {
    text = records->fieldByIndex(*index);
  } else {
    return answer(result, false);  // the variable keeps its text
  }
  // A failed read empties the variable; the new text is the variable's.
  char* read = text.value_or(nullptr);
  if (!variable) {
    rt::Free(read);
    return answer(result, false);
  }
  rt::Free(*variable);
  *variable = read;
  answer(result, text.has_value());
}

void moveToFirst(TypedValue* result, int32_t, TypedValue* args) {
  auto* records = unitOf<RecordSet>(args[0]);
  answer(result, records && records->moveToFirst());
}

void moveToNext(TypedValue* result, int32_t, TypedValue* args) {
  auto* records = unitOf<RecordSet>(args[0]);
  answer(result, records && records->moveToNext());
}

void moveToRecord(TypedValue* result, int32_t count, TypedValue* args) {
  auto* records = unitOf<RecordSet>(args[0]);
  auto n = count > kFirstArgument ? numberOf(args[kFirstArgument]) : std::nullopt;
  answer(result, records && n && records->moveToRecord(*n));
}

rt::Library makeLibrary() {
  namespace cmd = rt::cmd;
  rt::Library library;
  library.number = rt::lib::kDatabase;
  library.name = "database";
  library.commands.resize(cmd::kDatabaseCount);
  library.commands[cmd::kOpenAccess] = &openAccess;
  library.commands[cmd::kExecuteSql] = &executeSql;
  library.commands[cmd::kBeginTrans] = &beginTrans;
  library.commands[cmd::kCommitTrans] = &commitTrans;
  library.commands[cmd::kRollbackTrans] = &rollbackTrans;
  library.commands[cmd::kSetConnection] = &setConnection;
  library.commands[cmd::kOpenRecords] = &openRecords;
  library.commands[cmd::kCloseRecords] = &closeRecords;
  library.commands[cmd::kReadFieldText] = &readFieldText;
  library.commands[cmd::kMoveToFirst] = &moveToFirst;
  library.commands[cmd::kMoveToNext] = &moveToNext;
  library.commands[cmd::kMoveToRecord] = &moveToRecord;
  library.commands[cmd::kExecuteSqlWithValues] = &executeSqlWithValues;
  library.kinds = {
      {rt::kind::kDBConnection, "DBConnection", false, &Connection::create},
      {rt::kind::kRecordSet, "RecordSet", false, &RecordSet::create},
  };
  return library;
}

}  // namespace
}  // namespace db

namespace rt {
const Library& databaseLibrary() {
  static const Library library = db::makeLibrary();
  return library;
}
}  // namespace rt
