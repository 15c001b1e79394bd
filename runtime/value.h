// Typed values: the record in which every command argument, command result and
// property value travels between the application and the runtime.
#pragma once

#include <cstdint>
#include <cstring>

namespace rt {

// Type tags of the basic value types.
namespace tag {
inline constexpr uint32_t kNone = 0;  // an omitted optional argument
inline constexpr uint32_t kByte = 0x80000101;
inline constexpr uint32_t kShort = 0x80000201;
inline constexpr uint32_t kInt = 0x80000301;
inline constexpr uint32_t kInt64 = 0x80000401;
inline constexpr uint32_t kFloat = 0x80000501;
inline constexpr uint32_t kDouble = 0x80000601;
inline constexpr uint32_t kBool = 0x80000002;
inline constexpr uint32_t kDateTime = 0x80000003;
inline constexpr uint32_t kText = 0x80000004;
inline constexpr uint32_t kBytes = 0x80000005;
inline constexpr uint32_t kArrayBit = 0x20000000;

inline constexpr bool isArray(uint32_t t) { return (t & kArrayBit) != 0; }
inline constexpr uint32_t elementOf(uint32_t t) { return t & ~kArrayBit; }
inline constexpr bool isBasic(uint32_t t) { return (t & 0x80000000u) != 0 && !isArray(t); }

// Byte size of one element of a numeric tag; 0 for every other tag.
inline constexpr int numericSize(uint32_t t) {
  switch (t) {
    case kByte: return 1;
    case kShort: return 2;
    case kInt:
    case kFloat: return 4;
    case kInt64:
    case kDouble: return 8;
    default: return 0;
  }
}
}  // namespace tag

// Unit kind tags: (library number << 16) | unit number.
namespace kind {
inline constexpr uint32_t kWindow = 0x00010001;
inline constexpr uint32_t kMenu = 0x00010003;
inline constexpr uint32_t kEditBox = 0x00010005;
inline constexpr uint32_t kPicBox = 0x00010006;
inline constexpr uint32_t kLabel = 0x0001000A;
inline constexpr uint32_t kButton = 0x0001000B;
inline constexpr uint32_t kComboBox = 0x0001000E;
inline constexpr uint32_t kProcessBar = 0x00010013;
inline constexpr uint32_t kTab = 0x00010015;
inline constexpr uint32_t kDatePicker = 0x00010017;
inline constexpr uint32_t kCommonDlg = 0x0001001F;
inline constexpr uint32_t kComObject = 0x00010030;
inline constexpr uint32_t kListView = 0x00020004;
inline constexpr uint32_t kDBConnection = 0x00030001;
inline constexpr uint32_t kRecordSet = 0x00030002;
inline constexpr uint32_t kExcelApp = 0x00040001;
inline constexpr uint32_t kExcelWorkbooks = 0x00040002;
inline constexpr uint32_t kLearnerImport = 0x00080001;

inline constexpr int libraryOf(uint32_t k) { return static_cast<int>(k >> 16); }
inline constexpr int unitNumberOf(uint32_t k) { return static_cast<int>(k & 0xFFFF); }
inline constexpr bool isUnitKind(uint32_t k) { return k != 0 && (k & 0x80000000u) == 0 && !tag::isArray(k); }
}  // namespace kind

// Window and unit identifiers carry their nature in bits 24-31.
namespace ids {
inline constexpr bool isWindowId(uint32_t id) { return ((id >> 24) & 0xF) == 2; }
inline constexpr bool isUnitId(uint32_t id) { return ((id >> 24) & 0xF) == 6; }
inline constexpr bool isWindowOwnUnit(uint32_t id) { return isUnitId(id) && (id >> 28) == 0; }
inline constexpr bool isControlId(uint32_t id) { return isUnitId(id) && (id >> 28) == 1; }
inline constexpr bool isMenuItemId(uint32_t id) { return isUnitId(id) && (id >> 28) == 2; }
}  // namespace ids

// Three 32-bit words: data low, data high, tag. Pointers fill both data words.
struct TypedValue {
  uint32_t low = 0;
  uint32_t high = 0;
  uint32_t tag = 0;

  bool omitted() const { return tag == tag::kNone; }

  uint64_t data() const {
    uint64_t d;
    std::memcpy(&d, &low, sizeof d);
    return d;
  }
  void setData(uint64_t d) { std::memcpy(&low, &d, sizeof d); }

  template <typename T>
  T* pointer() const {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(data()));
  }
  void setPointer(const void* p) { setData(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p))); }

  int32_t asInt() const { return static_cast<int32_t>(low); }
  bool asBool() const { return low != 0; }
  double asDouble() const {
    double d;
    std::memcpy(&d, &low, sizeof d);
    return d;
  }
  float asFloat() const {
    float f;
    std::memcpy(&f, &low, sizeof f);
    return f;
  }
  int64_t asInt64() const { return static_cast<int64_t>(data()); }
  const char* asText() const { return pointer<const char>(); }

  // UnitRef view: data low = window id, data high = unit id, tag = unit kind.
  uint32_t windowId() const { return low; }
  uint32_t unitId() const { return high; }

  static TypedValue ofInt(int32_t v) { return {static_cast<uint32_t>(v), 0, tag::kInt}; }
  static TypedValue ofBool(bool v) { return {v ? 1u : 0u, 0, tag::kBool}; }
  static TypedValue ofByte(uint8_t v) { return {v, 0, tag::kByte}; }
  static TypedValue ofShort(int16_t v) { return {static_cast<uint32_t>(static_cast<int32_t>(v)), 0, tag::kShort}; }
  static TypedValue ofInt64(int64_t v) {
    TypedValue t;
    t.setData(static_cast<uint64_t>(v));
    t.tag = tag::kInt64;
    return t;
  }
  static TypedValue ofDouble(double v, uint32_t tagValue = tag::kDouble) {
    TypedValue t;
    std::memcpy(&t.low, &v, sizeof v);
    t.tag = tagValue;
    return t;
  }
  static TypedValue ofFloat(float v) {
    TypedValue t;
    std::memcpy(&t.low, &v, sizeof v);
    t.tag = tag::kFloat;
    return t;
  }
  static TypedValue ofDateTime(double days) { return ofDouble(days, tag::kDateTime); }
  static TypedValue ofPointer(const void* p, uint32_t tagValue) {
    TypedValue t;
    t.setPointer(p);
    t.tag = tagValue;
    return t;
  }
  static TypedValue ofText(const char* p) { return ofPointer(p, tag::kText); }
  static TypedValue unitRef(uint32_t windowId, uint32_t unitId, uint32_t unitKind) {
    return {windowId, unitId, unitKind};
  }
};
static_assert(sizeof(TypedValue) == 12, "a TypedValue is three 32-bit words");

// Array block layout: int32 dimensions (1), int32 count, elements packed.
// Text elements are pointers (8 bytes on this platform).
struct ArrayHeader {
  int32_t dimensions;
  int32_t count;
};
inline constexpr int kArrayHeaderBytes = 8;

inline int32_t arrayCount(const void* block) {
  if (!block) return 0;
  ArrayHeader h;
  std::memcpy(&h, block, sizeof h);
  return h.count;
}
inline unsigned char* arrayElements(void* block) { return static_cast<unsigned char*>(block) + kArrayHeaderBytes; }
inline const unsigned char* arrayElements(const void* block) {
  return static_cast<const unsigned char*>(block) + kArrayHeaderBytes;
}

// The two-word holder of an automation object: the interface and an auxiliary
// heap block. The application allocates each holder with zeroed words.
class DispatchObject;
struct ObjectHolder {
  DispatchObject* object;
  void* auxiliary;
};

}  // namespace rt
