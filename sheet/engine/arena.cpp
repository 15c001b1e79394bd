#include "sheet/engine/arena.h"

#include <sys/mman.h>

#include <bit>
#include <cstdint>
#include <new>

namespace sheet {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPlainHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPlainHeap = true;
#else
constexpr bool kPlainHeap = false;
#endif
#else
constexpr bool kPlainHeap = false;
#endif

constexpr size_t kSmallestClass = 16;

}  // namespace

Arena::~Arena() {
  for (const Mapping& m : mappings_) munmap(m.address, m.bytes);
  for (void* block : heapBlocks_) ::operator delete(block);
}

size_t Arena::classOf(size_t bytes) { return static_cast<size_t>(std::bit_width(std::max(bytes, kSmallestClass) - 1)); }

// An aligned region of whole chunks, marked for huge pages.
void* Arena::map(size_t bytes) {
  size_t wanted = (bytes + kChunkBytes - 1) / kChunkBytes * kChunkBytes;
  size_t span = wanted + kChunkBytes;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  auto start = reinterpret_cast<uintptr_t>(raw);
  uintptr_t aligned = (start + kChunkBytes - 1) & ~(uintptr_t{kChunkBytes} - 1);
  if (aligned > start) munmap(raw, aligned - start);
  size_t tail = start + span - (aligned + wanted);
  if (tail > 0) munmap(reinterpret_cast<void*>(aligned + wanted), tail);
  void* region = reinterpret_cast<void*>(aligned);
  madvise(region, wanted, MADV_HUGEPAGE);
  mappings_.push_back({region, wanted});
  return region;
}

void* Arena::allocate(size_t bytes) {
  if constexpr (kPlainHeap) {
    void* block = ::operator new(bytes);
    heapBlocks_.insert(block);
    return block;
  }
  size_t sizeClass = classOf(bytes);
  size_t rounded = size_t{1} << sizeClass;
  if (!free_[sizeClass].empty()) {
    void* block = free_[sizeClass].back();
    free_[sizeClass].pop_back();
    return block;
  }
  if (rounded > kChunkBytes / 2) return map(rounded);
  if (left_ < rounded) {
    next_ = static_cast<char*>(map(kChunkBytes));
    left_ = kChunkBytes;
  }
  void* block = next_;
  next_ += rounded;
  left_ -= rounded;
  return block;
}

void Arena::release(void* block, size_t bytes) {
  if constexpr (kPlainHeap) {
    if (heapBlocks_.erase(block)) ::operator delete(block);
    return;
  }
  if (!block) return;
  // Large blocks keep their mapping until the arena goes; they are reused
  // like the others.
  free_[classOf(bytes)].push_back(block);
}

}  // namespace sheet
