// One render thread's pool of T objects: a last-in first-out free list over a BlockSequence that
// owns every element the pool ever created.
#pragma once

#include <cstdint>

#include "pools/aligned_alloc.h"
#include "pools/block_sequence.h"
#include "pools/pool_element.h"

namespace glitter {

// Each pool gets its own 128-byte line pair: neighbouring threads' pools sit side by side in the
// PerThreadPools array and would otherwise share a cache line they both write on every take.
template <typename T>
class alignas(kAlignedAllocAlignment) ElementPool {
  public:
    using Element = KuvoUtils::PoolElement<T>;
    static constexpr int32_t kBlockSize = 10;

    ElementPool() noexcept = default;
    ElementPool(const ElementPool&) = delete;
    ElementPool& operator=(const ElementPool&) = delete;
    ~ElementPool() = default;

    /// Hands out the element given back most recently, or the next new slot (creating a block of
    /// kBlockSize constructed elements when needed). Never null; throws KuvoUtils::ExceptionMsg
    /// when block storage cannot be obtained, leaving the pool unchanged. The element keeps the
    /// contents its last user left.
    Element* take() {
        Element* element = freeHead;
        if (element != nullptr) {
            freeHead = element->nextFree;
        } else {
            element = sequence.allocate();
        }
        element->nextFree = nullptr;
        return element;
    }

    /// Returns an element taken from this pool (by this thread) and not given back since. Nothing
    /// in it is reset. Null is ignored.
    void giveBack(Element* element) noexcept {
        if (element == nullptr) {
            return;
        }
        element->nextFree = freeHead;
        freeHead = element;
    }

    /// Destroys every element this pool created, handed out or not; the pool is then empty.
    void clear() noexcept {
        sequence.clear();
        freeHead = nullptr;
    }

    Element* freeHead = nullptr;
    BlockSequence<Element> sequence{kBlockSize};
};

}  // namespace glitter
