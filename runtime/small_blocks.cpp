#include "runtime/small_blocks.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace rt::small_blocks {
namespace {

#if defined(__SANITIZE_ADDRESS__)
#define JX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define JX_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef JX_ADDRESS_SANITIZER
constexpr bool kInUse = false;
#else
constexpr bool kInUse = true;
#endif

constexpr size_t kStep = 16;
constexpr size_t kClasses = kLargest / kStep;
// Addresses reserved per class; pages are taken from the system only when a
// block on them is first used. 32 MiB holds a million texts of 32 bytes.
constexpr size_t kClassBytes = size_t{32} << 20;

std::atomic<char*> rangeBase{nullptr};
std::atomic<size_t> classUsed[kClasses];
// Blocks given back by this thread, linked through their first bytes.
thread_local void* freeBlocks[kClasses];

char* reserveRange() {
  static std::once_flag once;
  std::call_once(once, [] {
    void* range = mmap(nullptr, kClasses * kClassBytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    // Without the range every block comes from the general allocator.
    if (range != MAP_FAILED) rangeBase.store(static_cast<char*>(range), std::memory_order_release);
  });
  return rangeBase.load(std::memory_order_acquire);
}

size_t classOf(const void* block) {
  return static_cast<size_t>(static_cast<const char*>(block) - rangeBase.load(std::memory_order_relaxed)) / kClassBytes;
}

}  // namespace

void* allocate(size_t bytes) {
  if (!kInUse || bytes == 0 || bytes > kLargest) return nullptr;
  size_t cls = (bytes - 1) / kStep;
  if (void* block = freeBlocks[cls]) {
    std::memcpy(&freeBlocks[cls], block, sizeof(void*));
    return block;
  }
  char* base = rangeBase.load(std::memory_order_acquire);
  if (!base && !(base = reserveRange())) return nullptr;
  size_t blockBytes = (cls + 1) * kStep;
  size_t offset = classUsed[cls].fetch_add(blockBytes, std::memory_order_relaxed);
  if (offset + blockBytes > kClassBytes) {
    classUsed[cls].store(kClassBytes, std::memory_order_relaxed);  // stays full, never wraps
    return nullptr;
  }
  return base + cls * kClassBytes + offset;
}

bool owns(const void* block) {
  const char* base = rangeBase.load(std::memory_order_relaxed);
  auto* p = static_cast<const char*>(block);
  return base && p >= base && p < base + kClasses * kClassBytes;
}

size_t capacity(const void* block) { return (classOf(block) + 1) * kStep; }

void release(void* block) {
  size_t cls = classOf(block);
  std::memcpy(block, &freeBlocks[cls], sizeof(void*));
  freeBlocks[cls] = block;
}

}  // namespace rt::small_blocks
