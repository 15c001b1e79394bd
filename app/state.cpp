#include "app/state.h"

#include <cstring>

namespace app {

ProgramState& state() {
  static ProgramState s;
  return s;
}

namespace {
rt::ObjectHolder* newEmptyHolder() {
  auto* holder = static_cast<rt::ObjectHolder*>(rt::entries().Allocate(sizeof(rt::ObjectHolder)));
  std::memset(holder, 0, sizeof(rt::ObjectHolder));
  return holder;
}

void releaseHolder(rt::ObjectHolder*& holder) {
  if (!holder) return;
  rt::api::call(rt::cmd::core(rt::cmd::kObjectRelease), rt::TypedValue::ofPointer(holder, rt::kind::kComObject));
  rt::entries().Free(holder);
  holder = nullptr;
}
}  // namespace

void initialiseProgramState() {
  auto& s = state();
  s.formSheetObject = newEmptyHolder();
  s.formPageSetupObject = newEmptyHolder();
}

void exitRoutine(int32_t) {
  auto& s = state();
  releaseHolder(s.formSheetObject);
  releaseHolder(s.formPageSetupObject);
  s.selectedStudentId = rt::api::Text();
}

}  // namespace app
