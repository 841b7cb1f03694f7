#include "pools/aligned_alloc.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

namespace glitter {

namespace {

// Room for the worst-case shift (135 bytes) with the heap's own address stored in front.
constexpr std::size_t kSlack = 256;
constexpr std::size_t kStoredAddressSize = sizeof(void*);
static_assert(kStoredAddressSize == 8, "the stored heap address takes the 8 bytes below a block");

}  // namespace

void* alignedAlloc(std::size_t size) noexcept {
    // Without this check a huge size would wrap and return a block far too small.
    if (size > std::numeric_limits<std::size_t>::max() - kSlack) {
        return nullptr;
    }
    void* obtained = ::operator new(size + kSlack, std::nothrow);
    if (obtained == nullptr) {
        return nullptr;
    }
    char* result = static_cast<char*>(obtained) +
                   detail::alignedAllocShift(reinterpret_cast<std::uintptr_t>(obtained));
    std::memcpy(result - kStoredAddressSize, &obtained, kStoredAddressSize);
    return result;
}

void alignedFree(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    void* obtained = nullptr;
    std::memcpy(&obtained, static_cast<char*>(block) - kStoredAddressSize, kStoredAddressSize);
    ::operator delete(obtained);
}

}  // namespace glitter
