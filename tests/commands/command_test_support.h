// Calling command routines the way the application does, and taking over
// the blocks they return.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/heap.h"
#include "runtime/library.h"
#include "runtime/value.h"

namespace cmdtest {

using rt::TypedValue;

inline const TypedValue kOmitted{};

// A text argument as the application passes it: never a null pointer.
inline TypedValue text(std::string_view gb) { return TypedValue::ofText(rt::internGb(gb)); }
// The same from UTF-8 source text.
inline TypedValue utf8(std::string_view u) { return TypedValue::ofText(rt::internUtf8(u)); }
inline std::string gb(std::string_view u) { return rt::internUtf8(u); }
inline TypedValue num(int32_t v) { return TypedValue::ofInt(v); }

inline TypedValue call(rt::CommandFn command, std::vector<TypedValue> args) {
  TypedValue result;
  command(&result, static_cast<int32_t>(args.size()), args.empty() ? nullptr : args.data());
  return result;
}

// Takes a text result: its bytes, the block freed. A null result is "".
inline std::string take(const TypedValue& result) {
  char* p = result.pointer<char>();
  std::string out = p ? p : "";
  rt::Free(p);
  return out;
}

inline std::string callText(rt::CommandFn command, std::vector<TypedValue> args) {
  return take(call(command, std::move(args)));
}

// Takes a text array result: the elements in order, every block freed.
inline std::vector<std::string> takeTextArray(const TypedValue& result) {
  void* block = result.pointer<void>();
  std::vector<std::string> out;
  if (!block) return out;
  int32_t header[2];
  std::memcpy(header, block, sizeof header);
  for (int32_t i = 0; i < header[1]; ++i) {
    char* element;
    std::memcpy(&element, rt::arrayElements(block) + i * sizeof(char*), sizeof element);
    out.emplace_back(element ? element : "");
    rt::Free(element);
  }
  rt::Free(block);
  return out;
}

// Takes a byte array result.
inline std::string takeBytes(const TypedValue& result) {
  void* block = result.pointer<void>();
  if (!block) return {};
  std::string out(reinterpret_cast<const char*>(rt::arrayElements(block)), static_cast<size_t>(rt::arrayCount(block)));
  rt::Free(block);
  return out;
}

}  // namespace cmdtest
