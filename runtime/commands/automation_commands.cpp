// ObjectGetProperty, ObjectSetProperty and ObjectRelease: the late-bound call
// of runtime/dispatch.h on the object of an ObjectHolder.
#include <span>

#include "runtime/commands/arguments.h"
#include "runtime/commands/core_commands.h"
#include "runtime/dispatch.h"

namespace rt::commands {
namespace {

constexpr int32_t kObjectArgument = 0;
constexpr int32_t kNameArgument = 1;
constexpr int32_t kFirstMemberArgument = 2;

const ObjectHolder* holderOf(const TypedValue& value) {
  return value.tag == kind::kComObject ? value.pointer<const ObjectHolder>() : nullptr;
}

std::span<const TypedValue> memberArguments(int32_t count, const TypedValue* args) {
  if (!args || count <= kFirstMemberArgument) return {};
  return {args + kFirstMemberArgument, static_cast<size_t>(count - kFirstMemberArgument)};
}

}  // namespace

// The member's result as a new object in a new holder; on failure a new,
// empty holder (never a null pointer).
void ObjectGetProperty(TypedValue* result, int32_t count, TypedValue* args) {
  Variant value;
  int32_t status =
      callByName(holderOf(argumentAt(count, args, kObjectArgument)), textArgument(count, args, kNameArgument),
                 Access::kRead, memberArguments(count, args), value, Variant::Type::kDispatch);
  DispatchRef object;
  if (status == automation::kOk) object = *value.get<DispatchRef>();
  *result = TypedValue::ofPointer(newObjectHolder(std::move(object)), kind::kComObject);
}

void ObjectSetProperty(TypedValue* result, int32_t count, TypedValue* args) {
  Variant ignored;
  callByName(holderOf(argumentAt(count, args, kObjectArgument)), textArgument(count, args, kNameArgument),
             Access::kWrite, memberArguments(count, args), ignored);
  setBool(result, lastAutomationStatus() == automation::kOk);
}

void ObjectRelease(TypedValue*, int32_t count, TypedValue* args) {
  TypedValue object = argumentAt(count, args, kObjectArgument);
  if (object.tag == kind::kComObject) releaseObjectHolder(object.pointer<ObjectHolder>());
}

}  // namespace rt::commands
