#include "runtime/dispatch.h"

#include <cstring>
#include <vector>

#include "runtime/encoding.h"
#include "runtime/heap.h"

namespace rt {
namespace {

thread_local int32_t lastStatus = automation::kOk;

int32_t record(int32_t status) {
  lastStatus = status;
  return status;
}

constexpr InvokeKind kReadKinds[] = {InvokeKind::kPropertyGet, InvokeKind::kMethod};
constexpr InvokeKind kWriteKinds[] = {InvokeKind::kPropertyPut, InvokeKind::kPropertyPutRef, InvokeKind::kMethod};

bool toVariant(const TypedValue& value, Variant& out) {
  switch (value.tag) {
    case tag::kNone: out = Variant(); return true;
    case tag::kBool: out = Variant::ofBool(value.low != 0); return true;
    case tag::kDateTime: out = Variant::ofDate(value.asDouble()); return true;
    case tag::kText: {
      const char* text = value.asText();
      out = Variant::ofString(gbToUtf16(text ? text : ""));
      return true;
    }
    case tag::kByte: out = Variant::ofU1(static_cast<uint8_t>(value.low)); return true;
    case tag::kShort: out = Variant::ofI2(static_cast<int16_t>(value.low)); return true;
    case tag::kInt:
    case tag::kInt64: out = Variant::ofI4(static_cast<int32_t>(value.low)); return true;
    case tag::kFloat: out = Variant::ofR4(value.asFloat()); return true;
    case tag::kDouble: out = Variant::ofR8(value.asDouble()); return true;
    case kind::kComObject: {
      const ObjectHolder* holder = value.pointer<const ObjectHolder>();
      out = Variant::ofDispatch(DispatchRef::share(holder ? holder->object : nullptr));
      return true;
    }
    default: return false;
  }
}

bool isInvocationStatus(int32_t status) {
  return status == automation::kOk || (status <= automation::kBadParameterCount && status >= automation::kOtherFailure);
}

// Binds the name for the kinds of the access in order. Only "not bound" lets
// the next kind be tried; a lookup the object cannot do ends the search.
int32_t bindMember(DispatchObject& object, std::u16string_view name, Access access, MemberBinding& binding,
                   InvokeKind& kind) {
  std::span<const InvokeKind> kinds =
      access == Access::kRead ? std::span<const InvokeKind>(kReadKinds) : std::span<const InvokeKind>(kWriteKinds);
  for (InvokeKind k : kinds) {
    int32_t status = object.findMember(name, k, binding);
    if (status == automation::kOk) {
      kind = k;
      return status;
    }
    if (status == automation::kNoTypeInformation || status == automation::kNoMemberDescription) return status;
  }
  return automation::kNameNotBound;
}

int32_t call(DispatchObject& object, std::string_view nameGb, Access access, std::span<const TypedValue> arguments,
             Variant& result, std::optional<Variant::Type> expectedResult) {
  if (!object.available()) return automation::kNoDispatchInterface;
  MemberBinding binding;
  InvokeKind kind = InvokeKind::kMethod;
  if (int32_t status = bindMember(object, gbToUtf16(nameGb), access, binding, kind); status != automation::kOk)
    return status;

  size_t used = arguments.size();
  while (used > 0 && arguments[used - 1].omitted()) --used;
  if (used > static_cast<size_t>(std::max(0, binding.parameterCount))) return automation::kTooManyArguments;
  std::vector<Variant> variants(used);
  for (size_t i = 0; i < used; ++i)
    if (!toVariant(arguments[i], variants[i])) return automation::kArgumentNotConvertible;

  int32_t status = object.invoke(binding.dispatchId, kind, variants, result);
  if (!isInvocationStatus(status)) return automation::kOtherFailure;
  if (status == automation::kOk && expectedResult && result.type() != *expectedResult)
    return automation::kResultNotConvertible;
  return status;
}

}  // namespace

void DispatchObject::takeBackAuxiliary(void* block) { Free(block); }

int32_t callByName(const ObjectHolder* holder, std::string_view nameGb, Access access,
                   std::span<const TypedValue> arguments, Variant& result,
                   std::optional<Variant::Type> expectedResult) {
  result.clear();
  DispatchObject* object = holder ? holder->object : nullptr;
  if (!object) return record(automation::kNoInterface);
  DispatchRef keepAlive = DispatchRef::share(object);
  int32_t status = call(*object, nameGb, access, arguments, result, expectedResult);
  if (status != automation::kOk) result.clear();
  return record(status);
}

int32_t lastAutomationStatus() { return lastStatus; }

ObjectHolder* newObjectHolder(DispatchRef object) {
  auto* holder = static_cast<ObjectHolder*>(Allocate(sizeof(ObjectHolder)));
  holder->object = object.release();
  holder->auxiliary = nullptr;
  return holder;
}

void releaseObjectHolder(ObjectHolder* holder) {
  if (!holder) return;
  if (DispatchObject* object = holder->object) {
    if (holder->auxiliary) object->takeBackAuxiliary(holder->auxiliary);
    object->release();
    holder->object = nullptr;
  } else if (holder->auxiliary) {
    Free(holder->auxiliary);
  }
  holder->auxiliary = nullptr;
}

}  // namespace rt
