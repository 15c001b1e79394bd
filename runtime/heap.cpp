#include "runtime/heap.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "runtime/encoding.h"
#include "runtime/error.h"
#include "runtime/small_blocks.h"

namespace rt {
namespace {

// Literal texts live in one fixed region so that Free can recognise them by
// address. The region is large enough for every literal of the program many
// times over; running out is a programming error reported like an allocation
// failure.
constexpr size_t kConstantBlockBytes = 1 << 20;
alignas(16) char constantBlock[kConstantBlockBytes];
size_t constantUsed = 1;  // byte 0 is the empty literal

struct ConstantPool {
  std::mutex mutex;
  std::unordered_map<std::string, const char*> byGb;
  std::unordered_map<std::string, const char*> byUtf8;
};
ConstantPool& pool() {
  static ConstantPool p;
  return p;
}

const char* internLocked(ConstantPool& p, std::string_view gb) {
  std::string key(gb);
  if (auto it = p.byGb.find(key); it != p.byGb.end()) return it->second;
  if (gb.empty()) return constantBlock;
  if (constantUsed + gb.size() + 1 > kConstantBlockBytes) allocationFailed(static_cast<int64_t>(gb.size() + 1));
  char* at = constantBlock + constantUsed;
  std::memcpy(at, gb.data(), gb.size());
  at[gb.size()] = '\0';
  constantUsed += gb.size() + 1;
  p.byGb.emplace(std::move(key), at);
  return at;
}

}  // namespace

void allocationFailed(int64_t bytes) {
  char message[64];
  std::snprintf(message, sizeof message, "分配 %lld 字节内存失败!", static_cast<long long>(bytes));
  fatalUtf8(message);
}

void* Allocate(int32_t bytes) {
  size_t size = bytes > 0 ? static_cast<size_t>(bytes) : 1;
  if (void* small = small_blocks::allocate(size)) return small;
  void* p = std::malloc(size);
  if (!p) allocationFailed(bytes);
  return p;
}

bool inConstantBlock(const void* p) {
  auto* c = static_cast<const char*>(p);
  return c >= constantBlock && c < constantBlock + kConstantBlockBytes;
}

void* Reallocate(void* block, int32_t bytes) {
  if (inConstantBlock(block)) {
    void* fresh = Allocate(bytes);
    auto* from = static_cast<const char*>(block);
    size_t remaining = static_cast<size_t>(constantBlock + kConstantBlockBytes - from);
    size_t wanted = bytes > 0 ? static_cast<size_t>(bytes) : 0;
    std::memcpy(fresh, from, wanted < remaining ? wanted : remaining);
    return fresh;
  }
  size_t size = bytes > 0 ? static_cast<size_t>(bytes) : 1;
  if (block && small_blocks::owns(block)) {
    size_t held = small_blocks::capacity(block);
    if (size <= held) return block;
    void* fresh = Allocate(bytes);
    std::memcpy(fresh, block, held);
    small_blocks::release(block);
    return fresh;
  }
  void* p = std::realloc(block, size);
  if (!p) allocationFailed(bytes);
  return p;
}

void Free(void* block) {
  if (!block || inConstantBlock(block)) return;
  if (small_blocks::owns(block)) return small_blocks::release(block);
  std::free(block);
}

const char* emptyLiteral() { return constantBlock; }

const char* internGb(std::string_view gb) {
  auto& p = pool();
  std::lock_guard lock(p.mutex);
  return internLocked(p, gb);
}

const char* internUtf8(std::string_view utf8) {
  auto& p = pool();
  {
    std::lock_guard lock(p.mutex);
    if (auto it = p.byUtf8.find(std::string(utf8)); it != p.byUtf8.end()) return it->second;
  }
  std::string gb = utf8ToGb(utf8);
  std::lock_guard lock(p.mutex);
  const char* at = internLocked(p, gb);
  p.byUtf8.emplace(std::string(utf8), at);
  return at;
}

char* newText(std::string_view bytes) {
  if (bytes.empty()) return nullptr;
  if (bytes.size() >= static_cast<size_t>(INT32_MAX)) allocationFailed(static_cast<int64_t>(bytes.size()) + 1);
  auto* p = static_cast<char*>(Allocate(static_cast<int32_t>(bytes.size() + 1)));
  std::memcpy(p, bytes.data(), bytes.size());
  p[bytes.size()] = '\0';
  return p;
}

void* newArray(int32_t count, int32_t elementSize) {
  int64_t bytes = 8 + static_cast<int64_t>(count) * elementSize;
  if (bytes > INT32_MAX) allocationFailed(bytes);
  void* p = Allocate(static_cast<int32_t>(bytes));
  std::memset(p, 0, static_cast<size_t>(bytes));
  int32_t header[2] = {1, count};
  std::memcpy(p, header, sizeof header);
  return p;
}

void* newByteArray(const void* bytes, int32_t length) {
  if (length <= 0) return nullptr;
  void* p = newArray(length, 1);
  if (bytes) std::memcpy(static_cast<char*>(p) + 8, bytes, static_cast<size_t>(length));
  return p;
}

}  // namespace rt
