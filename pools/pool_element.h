// A pooled object: T itself plus the link of its pool's free list. It overrides nothing, so it
// behaves exactly as a T wherever a T is expected.
#pragma once

namespace KuvoUtils {

// final: pools destroy elements as PoolElement<T>, never through a base, and T (a renderer
// base class) keeps its non-virtual destructor for the renderer's object layout.
template <typename T>
struct PoolElement final : public T {
    // Not set by construction: ElementPool::take sets it to null before handing the element out,
    // and giveBack points it at the element given back before.
    PoolElement* nextFree;
};

}  // namespace KuvoUtils
