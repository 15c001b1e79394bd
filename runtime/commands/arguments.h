// Reading command arguments and writing command results. Every reader is
// defensive: a missing argument, an omitted one (tag 0), a null text pointer
// or an argument of an unexpected tag reads as the default.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string_view>

#include "runtime/error.h"
#include "runtime/heap.h"
#include "runtime/value.h"

namespace rt::commands {

// The argument at index i, or an omitted value when the call passed fewer.
inline TypedValue argumentAt(int32_t count, const TypedValue* args, int32_t i) {
  if (!args || i < 0 || i >= count) return {};
  return args[i];
}

inline bool passed(int32_t count, const TypedValue* args, int32_t i) { return !argumentAt(count, args, i).omitted(); }

// The bytes of a text argument; null and non-text values are the empty text.
inline std::string_view textOf(const TypedValue& v) {
  if (v.tag != tag::kText) return {};
  const char* p = v.asText();
  return p ? std::string_view(p) : std::string_view();
}

inline std::string_view textArgument(int32_t count, const TypedValue* args, int32_t i) {
  return textOf(argumentAt(count, args, i));
}

// Truncation toward zero that saturates instead of overflowing; NaN gives 0.
inline int32_t truncateToInt(double d) {
  if (std::isnan(d)) return 0;
  if (d <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (d >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(d);
}

// The integer value of a numeric or bool argument; `fallback` for an omitted
// one or one of another type.
inline int32_t intOf(const TypedValue& v, int32_t fallback) {
  switch (v.tag) {
    case tag::kByte: return static_cast<int32_t>(v.low & 0xFF);
    case tag::kShort: return static_cast<int16_t>(v.low & 0xFFFF);
    case tag::kInt:
    case tag::kInt64: return static_cast<int32_t>(v.low);
    case tag::kBool: return v.low != 0 ? 1 : 0;
    case tag::kFloat: return truncateToInt(v.asFloat());
    case tag::kDouble: return truncateToInt(v.asDouble());
    default: return fallback;
  }
}

inline int32_t intArgument(int32_t count, const TypedValue* args, int32_t i, int32_t fallback) {
  return intOf(argumentAt(count, args, i), fallback);
}

inline bool boolArgument(int32_t count, const TypedValue* args, int32_t i, bool fallback) {
  TypedValue v = argumentAt(count, args, i);
  if (v.omitted()) return fallback;
  return intOf(v, 0) != 0;
}

inline void setInt(TypedValue* result, int32_t value) { *result = TypedValue::ofInt(value); }
inline void setBool(TypedValue* result, bool value) { *result = TypedValue::ofBool(value); }
// The largest text a heap block can hold (its length plus the terminator
// must fit the allocator's 32-bit size).
inline constexpr size_t kMaxTextBytes = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 1;

// A result that would not fit a heap block is the fatal allocation failure.
[[noreturn]] inline void allocationFailure(int64_t bytes) {
  char message[64];
  std::snprintf(message, sizeof message, "分配 %lld 字节内存失败!", static_cast<long long>(bytes));
  fatalUtf8(message);
}

// A new heap text; the empty text is a null pointer.
inline void setText(TypedValue* result, std::string_view bytes) { *result = TypedValue::ofText(newText(bytes)); }

}  // namespace rt::commands
