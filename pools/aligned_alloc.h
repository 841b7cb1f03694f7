// Heap blocks on a 128-byte boundary, so that per-thread data placed in them never shares a
// cache line (or an adjacent-line prefetch pair) with another thread's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glitter {

inline constexpr std::size_t kAlignedAllocAlignment = 128;

/// Returns a block of at least `size` bytes whose address is a multiple of 128, or null when the
/// heap cannot supply it. Release it with alignedFree only.
void* alignedAlloc(std::size_t size) noexcept;

/// Releases a block from alignedAlloc; null is ignored.
void alignedFree(void* block) noexcept;

namespace detail {

/// How far alignedAlloc moves a heap address: to the next multiple of 128 that leaves at least 8
/// bytes below it for the heap address (8 to 135 bytes).
constexpr std::size_t alignedAllocShift(std::uintptr_t address) noexcept {
    std::size_t shift = kAlignedAllocAlignment - address % kAlignedAllocAlignment;
    return shift < sizeof(void*) ? shift + kAlignedAllocAlignment : shift;
}

}  // namespace detail

}  // namespace glitter
