// The memory of one sheet's rows, cells and texts: chunks handed out in size
// classes (a quarter apart) with a free list per class. An export of 100 000
// rows touches some 60 MB; taken page by page, the first touch of each 4 KiB
// page costs more than writing the cells into it, so a large sheet asks for
// 2 MiB chunks that the kernel may back with huge pages. A small sheet (a
// form, or one of the many sheets a workbook may have) starts with small
// chunks of ordinary pages, so that it costs only the pages it touches.
//
// Built with AddressSanitizer, every request goes to the ordinary heap, so the
// sanitizer still sees each block on its own; the arena frees what is left
// of them when it goes, as it unmaps its chunks otherwise.
#pragma once

#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

namespace sheet {

class Arena {
 public:
  static constexpr size_t kChunkBytes = size_t{2} << 20;
  static constexpr size_t kFirstChunkBytes = size_t{64} << 10;

  Arena() = default;
  ~Arena();
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // A block of at least `bytes` bytes, aligned to 16; never null (a failed
  // allocation throws std::bad_alloc, as the heap does).
  void* allocate(size_t bytes);
  // Hands a block back for reuse; `bytes` is the size it was asked with.
  void release(void* block, size_t bytes);
  // The memory the arena holds (mapped, or taken from the heap in sanitized
  // builds): what the sheet's contents take.
  size_t footprint() const { return footprint_; }

 private:
  struct Mapping {
    void* address;
    size_t bytes;
  };
  static size_t classOf(size_t bytes);
  static size_t classBytes(size_t sizeClass);
  void* map(size_t bytes);

  std::vector<Mapping> mappings_;
  char* next_ = nullptr;  // the free part of the current chunk
  size_t left_ = 0;
  size_t nextChunk_ = kFirstChunkBytes;  // chunks double up to kChunkBytes
  size_t footprint_ = 0;
  std::vector<void*> free_[240];                  // per size class
  std::unordered_map<void*, size_t> heapBlocks_;  // the blocks taken from the heap and their sizes (sanitized builds)
};

// A standard allocator over a sheet's arena.
template <typename T>
class ArenaAllocator {
 public:
  using value_type = T;
  explicit ArenaAllocator(Arena& arena) : arena_(&arena) {}
  template <typename U>
  ArenaAllocator(const ArenaAllocator<U>& other) : arena_(other.arena()) {}

  T* allocate(size_t n) { return static_cast<T*>(arena_->allocate(n * sizeof(T))); }
  void deallocate(T* p, size_t n) { arena_->release(p, n * sizeof(T)); }
  Arena* arena() const { return arena_; }

  template <typename U>
  bool operator==(const ArenaAllocator<U>& other) const {
    return arena_ == other.arena();
  }

 private:
  Arena* arena_;
};

}  // namespace sheet
