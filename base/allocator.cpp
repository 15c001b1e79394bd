#include "base/allocator.h"

#include <malloc.h>

namespace base {
namespace {

// Blocks below this size come from the heap, whose freed memory is reused;
// larger ones (a workbook read at the engine's limits) are mapped apart and
// go back to the system when freed.
constexpr int kMappedBlockBytes = 64 << 20;
// Free memory at the heap's top is handed back only beyond this size.
constexpr int kKeptFreeBytes = 128 << 20;

}  // namespace

void keepFreedMemoryForReuse() {
  mallopt(M_MMAP_THRESHOLD, kMappedBlockBytes);
  mallopt(M_TRIM_THRESHOLD, kKeptFreeBytes);
}

}  // namespace base
