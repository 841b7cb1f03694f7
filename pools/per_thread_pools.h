// One ElementPool per render thread, so the shading path takes and gives back objects without a
// lock: each thread only touches the pool selected by its thread index.
#pragma once

#include <cstdint>
#include <new>

#include "pools/aligned_alloc.h"
#include "pools/element_pool.h"

namespace glitter {

template <typename T>
class PerThreadPools {
  public:
    using Pool = ElementPool<T>;
    using Element = typename Pool::Element;

    PerThreadPools() noexcept = default;
    PerThreadPools(const PerThreadPools&) = delete;
    PerThreadPools& operator=(const PerThreadPools&) = delete;
    ~PerThreadPools() { destroy(); }

    /// Replaces any existing pools (destroying all their elements) by `threadCount` empty pools.
    /// If the array cannot be allocated, `pools` stays null and every take returns null.
    /// A count below 1 leaves no pools. Call only while no thread uses the pools.
    void build(int32_t threadCount) noexcept {
        destroy();
        if (threadCount < 1) {
            return;
        }
        count = threadCount;
        void* storage = alignedAlloc(sizeof(Pool) * static_cast<std::size_t>(threadCount));
        if (storage == nullptr) {
            return;
        }
        Pool* array = static_cast<Pool*>(storage);
        for (int32_t i = 0; i < threadCount; ++i) {
            ::new (static_cast<void*>(array + i)) Pool();
        }
        pools = array;
    }

    /// An element from pool `threadIndex`; null when no pools exist or the index is outside
    /// [0, count). May throw KuvoUtils::ExceptionMsg (see ElementPool::take).
    Element* take(int32_t threadIndex) {
        if (!valid(threadIndex)) {
            return nullptr;
        }
        return pools[threadIndex].take();
    }

    /// Gives `element` back to pool `threadIndex`, the pool (and thread) it was taken from.
    /// Ignored when no pools exist or the index is outside [0, count).
    void giveBack(int32_t threadIndex, Element* element) noexcept {
        if (!valid(threadIndex)) {
            return;
        }
        pools[threadIndex].giveBack(element);
    }

    /// Destroys every element, block and pool; safe when no pools exist. Elements still handed
    /// out are destroyed too. Call only while no thread uses the pools.
    void destroy() noexcept {
        if (pools != nullptr) {
            for (int32_t i = 0; i < count; ++i) {
                pools[i].clear();
            }
            for (int32_t i = count; i > 0; --i) {
                pools[i - 1].~Pool();
            }
            alignedFree(pools);
        }
        pools = nullptr;
        count = 0;
    }

    Pool* pools = nullptr;
    int32_t count = 0;

  private:
    // One unsigned comparison: a bad index from the caller must not reach memory past the array.
    bool valid(int32_t threadIndex) const noexcept {
        return pools != nullptr &&
               static_cast<uint32_t>(threadIndex) < static_cast<uint32_t>(count);
    }
};

}  // namespace glitter
