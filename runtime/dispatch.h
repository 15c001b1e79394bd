// Late-bound automation objects.
//
// An automation object is reached by member name at run time: the caller
// asks the object to bind a name for one kind of invocation, gets a dispatch
// number back and invokes that number with a list of variants. Object holders
// (word 0 of an ObjectHolder) point to a DispatchObject; the spreadsheet
// engine's objects implement this interface.
//
// Reference counting: every DispatchObject starts with one reference owned by
// whoever created it. A holder owns one reference; DispatchRef owns one.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "runtime/value.h"

namespace rt {

// Status of a late-bound call; the last one is kept per thread.
namespace automation {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kNoInterface = -1;             // the holder holds no object
inline constexpr int32_t kNoDispatchInterface = -2;     // the object is not available for late binding
inline constexpr int32_t kNameNotBound = -3;            // no member of that name for any tried kind
inline constexpr int32_t kNoTypeInformation = -4;       // the object cannot look names up
inline constexpr int32_t kTooManyArguments = -5;        // more arguments than the member declares
inline constexpr int32_t kNoMemberDescription = -6;     // the name is known but not describable
inline constexpr int32_t kArgumentNotConvertible = -7;  // an argument has no variant form
inline constexpr int32_t kResultNotConvertible = -8;    // the result is not of the expected type
inline constexpr int32_t kBadParameterCount = -9;
inline constexpr int32_t kBadVariantType = -10;
inline constexpr int32_t kException = -11;
inline constexpr int32_t kMemberNotFound = -12;
inline constexpr int32_t kNoNamedArguments = -13;
inline constexpr int32_t kOverflow = -14;
inline constexpr int32_t kParameterNotFound = -15;
inline constexpr int32_t kTypeMismatch = -16;
inline constexpr int32_t kParameterNotOptional = -17;
inline constexpr int32_t kOtherFailure = -18;
}  // namespace automation

// The kinds of invocation a name is bound for.
enum class InvokeKind : int32_t { kMethod = 1, kPropertyGet = 2, kPropertyPut = 4, kPropertyPutRef = 8 };

struct MemberBinding {
  int32_t dispatchId = 0;
  // Parameters the member declares; for a property put this includes the
  // value being written.
  int32_t parameterCount = 0;
};

class DispatchObject;

// An owned reference to a DispatchObject (released on destruction).
class DispatchRef {
 public:
  DispatchRef() = default;
  // Takes over a reference the caller owns.
  static DispatchRef adopt(DispatchObject* object) { return DispatchRef(object); }
  // Adds a reference of its own.
  static DispatchRef share(DispatchObject* object);
  DispatchRef(const DispatchRef& other) : DispatchRef(share(other.object_)) {}
  DispatchRef(DispatchRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  DispatchRef& operator=(DispatchRef other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~DispatchRef();

  DispatchObject* get() const { return object_; }
  DispatchObject* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Gives the reference to the caller.
  DispatchObject* release() { return std::exchange(object_, nullptr); }

 private:
  explicit DispatchRef(DispatchObject* object) : object_(object) {}
  DispatchObject* object_ = nullptr;
};

// A date-time value: days since 1899-12-30, fraction = time of day.
struct AutomationDate {
  double days = 0;
  bool operator==(const AutomationDate&) const = default;
};

// The values that travel to and from members. A boolean is true or false
// here; the wire form's -1 for true is the object's business.
class Variant {
 public:
  enum class Type { kEmpty, kBool, kI1, kU1, kI2, kI4, kR4, kR8, kDate, kString, kDispatch };

  Variant() = default;
  static Variant ofBool(bool v) { return make<bool>(v); }
  static Variant ofI1(int8_t v) { return make<int8_t>(v); }
  static Variant ofU1(uint8_t v) { return make<uint8_t>(v); }
  static Variant ofI2(int16_t v) { return make<int16_t>(v); }
  static Variant ofI4(int32_t v) { return make<int32_t>(v); }
  static Variant ofR4(float v) { return make<float>(v); }
  static Variant ofR8(double v) { return make<double>(v); }
  static Variant ofDate(double days) { return make<AutomationDate>(AutomationDate{days}); }
  static Variant ofString(std::u16string v) { return make<std::u16string>(std::move(v)); }
  static Variant ofDispatch(DispatchRef v) { return make<DispatchRef>(std::move(v)); }

  Type type() const { return static_cast<Type>(value_.index()); }
  bool empty() const { return type() == Type::kEmpty; }
  void clear() { value_ = std::monostate{}; }

  // The held value when it is of type T, else null.
  template <typename T>
  const T* get() const {
    return std::get_if<T>(&value_);
  }

 private:
  template <typename T, typename V>
  static Variant make(V&& v) {
    Variant out;
    out.value_.template emplace<T>(std::forward<V>(v));
    return out;
  }

  // Alternatives in the order of Type.
  std::variant<std::monostate, bool, int8_t, uint8_t, int16_t, int32_t, float, double, AutomationDate, std::u16string,
               DispatchRef>
      value_;
};

class DispatchObject {
 public:
  virtual void addRef() = 0;
  virtual void release() = 0;

  // False when the object can no longer be reached late-bound (for example
  // its owner has gone): status kNoDispatchInterface.
  virtual bool available() const { return true; }

  // Binds a member name (compared as the object defines, usually ignoring
  // case) for one kind of invocation. Returns kOk and fills `binding`, or
  // kNameNotBound, kNoTypeInformation or kNoMemberDescription.
  virtual int32_t findMember(std::u16string_view name, InvokeKind kind, MemberBinding& binding) = 0;

  // Invokes a bound member. For a property put the value written is the last
  // argument. Returns kOk or one of the invocation statuses kBadParameterCount
  // .. kOtherFailure; `result` receives the member's value (empty for none).
  virtual int32_t invoke(int32_t dispatchId, InvokeKind kind, std::span<const Variant> arguments, Variant& result) = 0;

  // An object holder's auxiliary heap block comes back here when the holder
  // releases the object; by default it is freed.
  virtual void takeBackAuxiliary(void* block);

 protected:
  virtual ~DispatchObject() = default;
};

// Reference counting for objects that live on the C++ heap; the last release
// deletes the object.
class RefCountedDispatch : public DispatchObject {
 public:
  void addRef() override { refs_.fetch_add(1, std::memory_order_relaxed); }
  void release() override {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

 private:
  std::atomic<int32_t> refs_{1};
};

template <typename T, typename... Args>
DispatchRef makeDispatch(Args&&... args) {
  return DispatchRef::adopt(new T(std::forward<Args>(args)...));
}

inline DispatchRef DispatchRef::share(DispatchObject* object) {
  if (object) object->addRef();
  return DispatchRef(object);
}
inline DispatchRef::~DispatchRef() {
  if (object_) object_->release();
}

// Whether a call reads (property get, then method) or writes (property put,
// then put by reference, then method).
enum class Access { kRead, kWrite };

// The late-bound call by name: binds the GB18030 `nameGb` on the holder's
// object, converts the arguments (trailing omitted ones dropped; an omitted
// one in between travels as an empty variant), invokes, and records the
// status as the calling thread's last automation status, which it also
// returns. For kWrite the arguments are the value alone. When
// `expectedResult` is given, a result of another type (no coercion is tried)
// is kResultNotConvertible. On any failure `result` is empty.
//
// Argument conversion: bool -> kBool, date-time -> kDate, text -> kString
// (UTF-16), byte -> kU1, short -> kI2, int and int64 (its low 32 bits) -> kI4,
// float -> kR4, double -> kR8, an object (ComObject kind, pointing to an
// ObjectHolder) -> kDispatch; any other tag is kArgumentNotConvertible.
int32_t callByName(const ObjectHolder* holder, std::string_view nameGb, Access access,
                   std::span<const TypedValue> arguments, Variant& result,
                   std::optional<Variant::Type> expectedResult = std::nullopt);

// The status of the calling thread's last late-bound call.
int32_t lastAutomationStatus();

// A new heap holder owning `object` (null: an empty holder); never null.
ObjectHolder* newObjectHolder(DispatchRef object);
// Releases the holder's object (handing its auxiliary block back first), or
// frees a lone auxiliary block; both words are cleared. The holder stays.
void releaseObjectHolder(ObjectHolder* holder);

}  // namespace rt
