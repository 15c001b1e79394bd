// Small heap blocks from size classes. A list fill reads every cell as a new
// text and frees it a moment later, millions of times; a block of a few
// dozen bytes is taken from and given back to a per-thread free list of its
// class in a handful of instructions, where the general allocator checks and
// bins every block. The classes live in one reserved address range, so that
// Free recognises their blocks by address, as it does the literals.
//
// Builds with AddressSanitizer take every block from the general allocator,
// so that a use after Free or a leak is still caught there.
#pragma once

#include <cstddef>

namespace rt::small_blocks {

// The largest request served; larger ones go to the general allocator.
inline constexpr size_t kLargest = 128;

// A block of at least `bytes` (1..kLargest) bytes, 16-byte aligned; null when
// the request is larger, its class has run out of addresses, or classes are
// not in use in this build.
void* allocate(size_t bytes);
bool owns(const void* block);
// The bytes a block of the classes can hold.
size_t capacity(const void* block);
// Gives a block of the classes back to the calling thread's free list.
void release(void* block);

}  // namespace rt::small_blocks
