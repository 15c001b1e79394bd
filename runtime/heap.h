// The runtime heap and the constant block of literal texts.
//
// Ownership rules: every text, array or byte array a command or property read
// returns is a new block owned by the caller; Free ignores null and every
// pointer inside the constant block, so literals can travel as values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rt {

// Never returns null: a failed allocation is the fatal run-time error
// "分配 %d 字节内存失败!".
void* Allocate(int32_t bytes);
// A pointer inside the constant block gets a new block holding at most the
// constant bytes that remain after it.
void* Reallocate(void* block, int32_t bytes);
void Free(void* block);
// The fatal run-time error of a failed allocation, for memory the runtime
// holds outside the heap blocks (a list's rows, for one).
[[noreturn]] void allocationFailed(int64_t bytes);

// The constant block: literal texts interned once, never freed.
bool inConstantBlock(const void* p);
// The empty literal text: passed wherever a text argument is empty.
const char* emptyLiteral();
// Interns a GB18030 byte text in the constant block and returns its stable
// address; equal texts give the same address.
const char* internGb(std::string_view gb);
// Converts UTF-8 source text to GB18030 and interns it.
const char* internUtf8(std::string_view utf8);

// Copies bytes into a new NUL-terminated heap text; null for empty input.
char* newText(std::string_view bytes);
// A new array block of count elements of elementSize bytes, zeroed.
void* newArray(int32_t count, int32_t elementSize);
// A new byte array block; null for an empty one.
void* newByteArray(const void* bytes, int32_t length);

}  // namespace rt

// "学员"_gb : the GB18030 form of a UTF-8 literal, interned in the constant block.
inline const char* operator""_gb(const char* s, std::size_t n) { return rt::internUtf8({s, n}); }
