#include "tests/render/allocation_counter.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace glitter::test {

namespace {

thread_local AllocationCounts counts;
thread_local int32_t failing = 0;

void* obtain(std::size_t size, std::size_t alignment) noexcept {
    if (failing > 0) {
        --failing;
        return nullptr;
    }
    if (size == 0) {
        size = 1;
    }
    void* block = nullptr;
    if (alignment <= alignof(std::max_align_t)) {
        block = std::malloc(size);
    } else {
        // aligned_alloc wants a multiple of the alignment.
        block = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
    }
    if (block != nullptr) {
        ++counts.allocations;
    }
    return block;
}

void* obtainOrThrow(std::size_t size, std::size_t alignment) {
    void* block = obtain(size, alignment);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void release(void* block) noexcept {
    if (block != nullptr) {
        ++counts.releases;
        std::free(block);
    }
}

}  // namespace

AllocationCounts threadAllocationCounts() { return counts; }

void failNextAllocations(int32_t count) { failing = count; }

}  // namespace glitter::test

using glitter::test::obtain;
using glitter::test::obtainOrThrow;
using glitter::test::release;

constexpr std::size_t kDefaultAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

void* operator new(std::size_t size) { return obtainOrThrow(size, kDefaultAlignment); }
void* operator new[](std::size_t size) { return obtainOrThrow(size, kDefaultAlignment); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return obtain(size, kDefaultAlignment);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return obtain(size, kDefaultAlignment);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return obtainOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return obtainOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return obtain(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return obtain(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete(void* block, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { release(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    release(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    release(block);
}
