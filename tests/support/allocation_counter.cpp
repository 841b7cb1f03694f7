#include "tests/support/allocation_counter.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace glitter::test {

namespace {

thread_local int64_t allocationCount = 0;
thread_local int64_t releaseCount = 0;
thread_local int32_t failing = 0;

void* obtain(std::size_t size, std::size_t alignment) noexcept {
    if (failing > 0) {
        --failing;
        return nullptr;
    }
    size = size == 0 ? 1 : size;
    // aligned_alloc wants a size that is a multiple of the alignment.
    void* block =
        alignment <= alignof(std::max_align_t)
            ? std::malloc(size)
            : std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
    allocationCount += block != nullptr ? 1 : 0;
    return block;
}

void* obtainOrThrow(std::size_t size, std::size_t alignment) {
    void* block = obtain(size, alignment);
    return block != nullptr ? block : throw std::bad_alloc();
}

void release(void* block) noexcept {
    releaseCount += block != nullptr ? 1 : 0;
    std::free(block);
}

}  // namespace

void failNextAllocations(int32_t count) { failing = count; }

AllocationScope::AllocationScope()
    : startAllocations(allocationCount), startReleases(releaseCount) {}
int64_t AllocationScope::allocations() const { return allocationCount - startAllocations; }
int64_t AllocationScope::held() const { return allocations() - (releaseCount - startReleases); }

}  // namespace glitter::test

// Every form is replaced: a sanitizer runtime supplies any form left out, bypassing the counting.
using glitter::test::obtain;
using glitter::test::obtainOrThrow;
using glitter::test::release;
using Nothrow = const std::nothrow_t&;
using Align = std::align_val_t;
constexpr std::size_t kPlain = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

void* operator new(std::size_t n) { return obtainOrThrow(n, kPlain); }
void* operator new[](std::size_t n) { return obtainOrThrow(n, kPlain); }
void* operator new(std::size_t n, Nothrow) noexcept { return obtain(n, kPlain); }
void* operator new[](std::size_t n, Nothrow) noexcept { return obtain(n, kPlain); }
void* operator new(std::size_t n, Align a) { return obtainOrThrow(n, std::size_t(a)); }
void* operator new[](std::size_t n, Align a) { return obtainOrThrow(n, std::size_t(a)); }
void* operator new(std::size_t n, Align a, Nothrow) noexcept { return obtain(n, std::size_t(a)); }
void* operator new[](std::size_t n, Align a, Nothrow) noexcept { return obtain(n, std::size_t(a)); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, Nothrow) noexcept { release(p); }
void operator delete[](void* p, Nothrow) noexcept { release(p); }
void operator delete(void* p, Align) noexcept { release(p); }
void operator delete[](void* p, Align) noexcept { release(p); }
void operator delete(void* p, std::size_t, Align) noexcept { release(p); }
void operator delete[](void* p, std::size_t, Align) noexcept { release(p); }
void operator delete(void* p, Align, Nothrow) noexcept { release(p); }
void operator delete[](void* p, Align, Nothrow) noexcept { release(p); }
