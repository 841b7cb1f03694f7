#include "pools/block_sequence.h"

#include "pools/exception_msg.h"

namespace glitter::detail {

namespace {

// Per thread, so a test that arms it cannot make another thread's allocation fail.
thread_local int32_t failingStorageAllocations = 0;

bool overAligned(std::size_t alignment) { return alignment > __STDCPP_DEFAULT_NEW_ALIGNMENT__; }

}  // namespace

void* allocateBlockStorage(std::size_t bytes, std::size_t alignment) noexcept {
    if (failingStorageAllocations > 0) {
        --failingStorageAllocations;
        return nullptr;
    }
    if (overAligned(alignment)) {
        return ::operator new (bytes, std::align_val_t{alignment}, std::nothrow);
    }
    return ::operator new(bytes, std::nothrow);
}

void releaseBlockStorage(void* storage, std::size_t alignment) noexcept {
    if (overAligned(alignment)) {
        ::operator delete (storage, std::align_val_t{alignment});
    } else {
        ::operator delete(storage);
    }
}

void throwBlockAllocationFailure() {
    throw KuvoUtils::ExceptionMsg("[_SequenceBlock] Could not allocate memory");
}

void failBlockStorageAllocations(int32_t count) noexcept {
    failingStorageAllocations = count > 0 ? count : 0;
}

}  // namespace glitter::detail
