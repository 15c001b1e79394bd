#include "sheet/engine/arena.h"

#include <sys/mman.h>

#include <algorithm>
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

// Classes 16, 32 and 64 bytes, then four between each power of two and the
// next (80, 96, 112, 128, 160, ...): a block is at most a quarter larger than
// asked for (a row of 17 cells takes 320 bytes, not 512).
constexpr size_t kPowerClasses = 3;
constexpr size_t kFirstStepped = 64;
constexpr size_t kStepsPerPower = 4;

}  // namespace

Arena::~Arena() {
  for (const Mapping& m : mappings_) munmap(m.address, m.bytes);
  for (const auto& [block, bytes] : heapBlocks_) ::operator delete(block);
}

size_t Arena::classOf(size_t bytes) {
  if (bytes <= kFirstStepped) return bytes <= 16 ? 0 : bytes <= 32 ? 1 : 2;
  auto power = static_cast<size_t>(std::bit_width(bytes - 1)) - 1;  // 2^power < bytes <= 2^(power + 1)
  size_t base = size_t{1} << power, step = base / kStepsPerPower;
  size_t steps = (bytes - base + step - 1) / step;  // 1 to 4
  return kPowerClasses + (power - std::bit_width(kFirstStepped) + 1) * kStepsPerPower + steps - 1;
}

size_t Arena::classBytes(size_t sizeClass) {
  if (sizeClass < kPowerClasses) return size_t{16} << sizeClass;
  size_t power = std::bit_width(kFirstStepped) - 1 + (sizeClass - kPowerClasses) / kStepsPerPower;
  size_t base = size_t{1} << power;
  return base + ((sizeClass - kPowerClasses) % kStepsPerPower + 1) * (base / kStepsPerPower);
}

// A region of ordinary pages below the chunk size; else an aligned region of
// whole chunks, marked for huge pages.
void* Arena::map(size_t bytes) {
  if (bytes < kChunkBytes) {
    void* region = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED) throw std::bad_alloc();
    mappings_.push_back({region, bytes});
    footprint_ += bytes;
    return region;
  }
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
  footprint_ += wanted;
  return region;
}

void* Arena::allocate(size_t bytes) {
  if constexpr (kPlainHeap) {
    void* block = ::operator new(bytes);
    heapBlocks_.emplace(block, bytes);
    footprint_ += bytes;
    return block;
  }
  size_t sizeClass = classOf(bytes);
  size_t rounded = classBytes(sizeClass);
  if (!free_[sizeClass].empty()) {
    void* block = free_[sizeClass].back();
    free_[sizeClass].pop_back();
    return block;
  }
  // A large block (a sheet's text block among them) gets a mapping of its
  // own: carved from a chunk it would leave the chunk's rest unused, and
  // resident with the chunk's huge page.
  if (rounded >= kChunkBytes / 2) return map(rounded);
  if (left_ < rounded) {
    size_t chunk = std::max(nextChunk_, rounded);
    next_ = static_cast<char*>(map(chunk));
    left_ = chunk;
    nextChunk_ = std::min(chunk * 2, kChunkBytes);
  }
  void* block = next_;
  next_ += rounded;
  left_ -= rounded;
  return block;
}

void Arena::release(void* block, size_t bytes) {
  if constexpr (kPlainHeap) {
    if (auto it = heapBlocks_.find(block); it != heapBlocks_.end()) {
      footprint_ -= it->second;
      heapBlocks_.erase(it);
      ::operator delete(block);
    }
    return;
  }
  if (!block) return;
  // Large blocks keep their mapping until the arena goes; they are reused
  // like the others.
  free_[classOf(bytes)].push_back(block);
}

}  // namespace sheet
