// The learner import library (library 8): the unit kind LearnerImport and
// its command routines, which take their unit from the first argument.
#include "import/library/learner_import_library.h"

#include <string_view>

#include "import/library/learner_import_unit.h"
#include "runtime/command_ids.h"
#include "runtime/value.h"

namespace learner_import {
namespace {

using rt::TypedValue;

constexpr int32_t kFirstArgument = 1;
constexpr int32_t kSecondArgument = 2;

LearnerImportUnit* unitOf(const TypedValue& ref) {
  return dynamic_cast<LearnerImportUnit*>(&rt::requireUnitObject(ref));
}

std::string_view textArgument(int32_t count, const TypedValue* args, int32_t index) {
  if (count <= index || args[index].tag != rt::tag::kText || !args[index].asText()) return {};
  return args[index].asText();
}

int32_t intArgument(int32_t count, const TypedValue* args, int32_t index) {
  return count > index ? args[index].asInt() : -1;
}

void readLearnerFile(TypedValue* result, int32_t count, TypedValue* args) {
  LearnerImportUnit* unit = unitOf(args[0]);
  *result = TypedValue::ofBool(unit && unit->read(textArgument(count, args, kFirstArgument)));
}

void addRegisteredNumber(TypedValue*, int32_t count, TypedValue* args) {
  if (LearnerImportUnit* unit = unitOf(args[0])) unit->addRegistered(textArgument(count, args, kFirstArgument));
}

void checkLearners(TypedValue* result, int32_t, TypedValue* args) {
  LearnerImportUnit* unit = unitOf(args[0]);
  *result = TypedValue::ofBool(unit && unit->check());
}

// The caller owns the text.
void learnerField(TypedValue* result, int32_t count, TypedValue* args) {
  LearnerImportUnit* unit = unitOf(args[0]);
  *result = TypedValue::ofText(
      unit ? unit->field(intArgument(count, args, kFirstArgument), intArgument(count, args, kSecondArgument))
           : nullptr);
}

void writeImportReport(TypedValue* result, int32_t count, TypedValue* args) {
  LearnerImportUnit* unit = unitOf(args[0]);
  *result = TypedValue::ofText(unit ? unit->writeReport(textArgument(count, args, kFirstArgument)) : nullptr);
}

void closeLearnerFile(TypedValue*, int32_t, TypedValue* args) {
  if (LearnerImportUnit* unit = unitOf(args[0])) unit->close();
}

rt::Library makeLibrary() {
  namespace cmd = rt::cmd;
  rt::Library library;
  library.number = rt::lib::kLearnerImport;
  library.name = "learner import";
  library.commands.resize(cmd::kLearnerImportCount);
  library.commands[cmd::kReadLearnerFile] = &readLearnerFile;
  library.commands[cmd::kAddRegisteredNumber] = &addRegisteredNumber;
  library.commands[cmd::kCheckLearners] = &checkLearners;
  library.commands[cmd::kLearnerField] = &learnerField;
  library.commands[cmd::kWriteImportReport] = &writeImportReport;
  library.commands[cmd::kCloseLearnerFile] = &closeLearnerFile;
  library.kinds = {{rt::kind::kLearnerImport, "LearnerImport", false, &LearnerImportUnit::create}};
  return library;
}

}  // namespace
}  // namespace learner_import

namespace rt {
const Library& learnerImportLibrary() {
  static const Library library = learner_import::makeLibrary();
  return library;
}
}  // namespace rt
