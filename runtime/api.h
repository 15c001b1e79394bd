// The typed helper layer through which application handlers reach the
// runtime. Everything here goes through the entry operations (entries()):
// building TypedValue arguments, calling commands, reading and writing unit
// properties, and owning returned texts with RAII. Header-only.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/command_ids.h"
#include "runtime/entry.h"
#include "runtime/heap.h"
#include "runtime/value.h"

namespace rt {

// Service number: look up a command routine; the argument is
// (library number << 16) | command number, the result the routine.
inline constexpr int32_t kServiceFindCommand = 100;

namespace api {

// A unit of a window as the application names it.
struct Unit {
  uint32_t window;
  uint32_t id;
  uint32_t kind;
  TypedValue ref() const { return TypedValue::unitRef(window, id, kind); }
};

// A text block owned by the application: freed after its last use.
class Text {
 public:
  Text() = default;
  explicit Text(char* owned) : p_(owned) {}
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  Text(Text&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Text& operator=(Text&& o) noexcept {
    if (this != &o) {
      entries().Free(p_);
      p_ = std::exchange(o.p_, nullptr);
    }
    return *this;
  }
  ~Text() { entries().Free(p_); }

  // Never null: the empty literal stands for the empty text.
  const char* c_str() const { return p_ ? p_ : emptyLiteral(); }
  std::string_view view() const { return p_ ? std::string_view(p_) : std::string_view(); }
  bool empty() const { return !p_ || !*p_; }
  char* get() const { return p_; }
  char* release() { return std::exchange(p_, nullptr); }

 private:
  char* p_ = nullptr;
};

// Any other block owned by the application (a byte array, an array): freed
// after its last use.
class Block {
 public:
  explicit Block(void* owned) : p_(owned) {}
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  ~Block() { entries().Free(p_); }
  void* get() const { return p_; }

 private:
  void* p_;
};

// A text variable passed by reference (its address travels in the data word).
class TextVar {
 public:
  TextVar() = default;
  TextVar(const TextVar&) = delete;
  TextVar& operator=(const TextVar&) = delete;
  ~TextVar() { entries().Free(p_); }
  TypedValue ref() { return TypedValue::ofPointer(&p_, tag::kText); }
  const char* c_str() const { return p_ ? p_ : emptyLiteral(); }
  std::string_view view() const { return p_ ? std::string_view(p_) : std::string_view(); }

 private:
  char* p_ = nullptr;
};

struct DateTime {
  double days;
};
// An omitted optional argument: three zero words.
struct Omitted {};
inline constexpr Omitted omitted{};

// --- the application's own text routines ---

// Byte-wise unsigned comparison; null equals the empty text.
inline int32_t TextCompare(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a ? a : "");
  const auto* y = reinterpret_cast<const unsigned char*>(b ? b : "");
  int r = std::strcmp(reinterpret_cast<const char*>(x), reinterpret_cast<const char*>(y));
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}
inline int32_t TextLength(const char* text) { return text ? static_cast<int32_t>(std::strlen(text)) : 0; }

inline const char* textOf(const char* t) { return t; }
inline const char* textOf(const Text& t) { return t.get(); }
inline const char* textOf(const TextVar& t) { return t.c_str(); }
inline const char* textOf(const std::string& t) { return t.c_str(); }

// Always a new block of (sum of lengths + 1) bytes, even for an empty result.
template <typename... Texts>
Text TextConcat(const Texts&... texts) {
  const char* parts[] = {textOf(texts)..., nullptr};
  size_t total = 0;
  for (size_t i = 0; i < sizeof...(Texts); ++i) total += parts[i] ? std::strlen(parts[i]) : 0;
  auto* block = static_cast<char*>(entries().Allocate(static_cast<int32_t>(total + 1)));
  char* at = block;
  for (size_t i = 0; i < sizeof...(Texts); ++i) {
    if (!parts[i]) continue;
    size_t n = std::strlen(parts[i]);
    std::memcpy(at, parts[i], n);
    at += n;
  }
  *at = '\0';
  return Text(block);
}

// --- arguments ---

inline TypedValue arg(int32_t v) { return TypedValue::ofInt(v); }
inline TypedValue arg(bool v) { return TypedValue::ofBool(v); }
inline TypedValue arg(double v) { return TypedValue::ofDouble(v); }
inline TypedValue arg(DateTime v) { return TypedValue::ofDateTime(v.days); }
inline TypedValue arg(Omitted) { return TypedValue{}; }
inline TypedValue arg(const Unit& u) { return u.ref(); }
inline TypedValue arg(const TypedValue& v) { return v; }
// A text argument is never null: the empty text travels as the empty literal.
inline TypedValue arg(const char* text) { return TypedValue::ofText(text ? text : emptyLiteral()); }
inline TypedValue arg(const Text& text) { return arg(text.get()); }
inline TypedValue arg(const std::string& text) { return arg(text.c_str()); }
inline TypedValue arg(TextVar& var) { return var.ref(); }

// --- commands ---

inline CommandFn findCommandRoutine(CommandId id) {
  return reinterpret_cast<CommandFn>(entries().Service(kServiceFindCommand, (id.library << 16) | id.number));
}

// A fill calls a command per cell: the routine of each command is kept (per
// thread) while the libraries stay registered as they were when it was found.
inline constexpr int32_t kKeptLibraries = 8;
inline constexpr int32_t kKeptCommandsPerLibrary = 256;

inline CommandFn commandRoutine(CommandId id) {
  struct Kept {
    uint32_t registration;
    CommandFn routine;
  };
  thread_local Kept kept[kKeptLibraries][kKeptCommandsPerLibrary];
  if (id.library < 0 || id.library >= kKeptLibraries || id.number < 0 || id.number >= kKeptCommandsPerLibrary)
    return findCommandRoutine(id);
  Kept& slot = kept[id.library][id.number];
  uint32_t registration = libraryRegistrations.load(std::memory_order_acquire);
  if (slot.routine && slot.registration == registration) return slot.routine;
  slot = {registration, findCommandRoutine(id)};
  return slot.routine;
}

// A command with arguments counted at run time (a statement's values, say);
// `values` holds them all, the unit first.
inline TypedValue callWithArguments(CommandId id, std::span<TypedValue> values) {
  CommandFn routine = commandRoutine(id);
  auto count = static_cast<int32_t>(values.size());
  if (id.library == lib::kCore) return entries().CallCommand(routine, count, values.data());
  return entries().CallLibraryCommand(id.library - 1, routine, count, values.data());
}
template <typename... Args>
TypedValue call(CommandId id, Args&&... args) {
  TypedValue values[sizeof...(Args) + 1] = {arg(std::forward<Args>(args))...};
  return callWithArguments(id, std::span<TypedValue>(values, sizeof...(Args)));
}
template <typename... Args>
Text callText(CommandId id, Args&&... args) {
  return Text(call(id, std::forward<Args>(args)...).template pointer<char>());
}
template <typename... Args>
int32_t callInt(CommandId id, Args&&... args) {
  return call(id, std::forward<Args>(args)...).asInt();
}
template <typename... Args>
bool callBool(CommandId id, Args&&... args) {
  return call(id, std::forward<Args>(args)...).asBool();
}

// --- outside-library functions (DllCommands) ---

// Calls the program's DllCommand `index`, whose function has the type
// `Function` as the program declares it, with that function's own arguments.
template <typename Function, typename... Args>
auto callDll(int32_t index, Args... args) {
  auto* function = reinterpret_cast<Function*>(entries().CallDllCommand(index));
  return function(args...);
}

// --- properties ---

inline uint64_t readRaw(const Unit& u, int32_t property) {
  return entries().ReadProperty(u.window, u.id, property, -1);
}
inline Text readText(const Unit& u, int32_t property) {
  return Text(reinterpret_cast<char*>(static_cast<uintptr_t>(readRaw(u, property))));
}
inline int32_t readInt(const Unit& u, int32_t property) { return static_cast<int32_t>(readRaw(u, property)); }
inline bool readBool(const Unit& u, int32_t property) { return static_cast<uint32_t>(readRaw(u, property)) != 0; }
inline double readDate(const Unit& u, int32_t property) {
  uint64_t raw = readRaw(u, property);
  double d;
  std::memcpy(&d, &raw, sizeof d);
  return d;
}

inline void writeRaw(const Unit& u, int32_t property, uint64_t data) {
  entries().WriteProperty(u.window, u.id, property, -1, static_cast<uint32_t>(data), static_cast<uint32_t>(data >> 32));
}
// The runtime copies the text; the caller keeps its own block.
inline void writeText(const Unit& u, int32_t property, const char* text) {
  writeRaw(u, property, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(text ? text : emptyLiteral())));
}
inline void writeText(const Unit& u, int32_t property, const Text& text) { writeText(u, property, text.c_str()); }
inline void writeInt(const Unit& u, int32_t property, int32_t v) { writeRaw(u, property, static_cast<uint32_t>(v)); }
inline void writeBool(const Unit& u, int32_t property, bool v) { writeRaw(u, property, v ? 1u : 0u); }
inline void writeBytes(const Unit& u, int32_t property, const void* block) {
  writeRaw(u, property, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(block)));
}

}  // namespace api
}  // namespace rt
