#pragma once
// A memo of what the footprint search recomputes most: the count split of a quadtree node, the
// normals (and colours) of a leaf's flakes, and every flake of a small subtree that lies wholly
// inside a footprint. They depend on nothing but the node's seed, flake count and (for a
// subtree) depth, so a search gives the same bits whatever the memo holds; neighbouring camera
// samples and pixels meet mostly the same nodes, so most lookups hit.
//
// Direct-mapped tables of fixed size, allocated once on first use and owned by one query (one
// pooled BSDF of one render thread): no locks, no allocation per search, bounded memory.

#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include "flakes/flake_block.h"
#include "flakes/flake_params.h"

namespace glitter {

// Leaves with more flakes than this are not memoised (at the default depth a leaf holds well
// under one flake on average).
inline constexpr int32_t kCachedLeafFlakes = 4;

struct SplitCacheEntry {
    uint32_t seed;
    int32_t count;  // 0: empty (nodes without flakes are never split)
    int32_t children[4];
};

template <class T>
struct LeafCacheEntry {
    uint32_t seed;
    int32_t count;  // 0: empty
    uint64_t claim;  // which fill owns the entry; normals arrive after the leaf is claimed
    uint64_t ready;  // the claim once every normal of it has arrived, 0 before
    float nx[kCachedLeafFlakes], ny[kCachedLeafFlakes], nz[kCachedLeafFlakes];
};

template <class T>
struct ColoredLeafCacheEntry : LeafCacheEntry<T> {
    float r[kCachedLeafFlakes], g[kCachedLeafFlakes], b[kCachedLeafFlakes];
};

template <class T>
using LeafEntry = std::conditional_t<kPlainFlakes<T>, LeafCacheEntry<T>, ColoredLeafCacheEntry<T>>;

// Subtrees with more flakes than this are walked rather than kept whole (their children may be).
inline constexpr int32_t kCachedSubtreeFlakes = 32;

// The flakes of a subtree wholly inside a footprint (all of weight 1, in walk order) sit in a
// ring of flakes; the entry says where. Overwritten once the ring has moved a full turn on.
struct SubtreeCacheEntry {
    uint32_t seed;
    int32_t count;   // 0: empty
    int32_t levels;  // from the node down to its leaves
    int32_t nodes;   // the walk's nodes below it, which the node budget counts
    uint64_t claim;  // as for leaves: filled under the bound settings
    uint64_t at;     // the first flake's place in the ring's running count
};

// The ring's flakes, channel by channel: normals, then colours for coloured flakes.
struct SubtreeFlakes {
    const float* x;
    const float* y;
    const float* z;
    const float* r;
    const float* g;
    const float* b;
};

// Sizes as powers of two; 0 bits turns that table off. The subtree ring holds eight flakes per
// subtree entry.
struct FlakeCacheSize {
    int32_t splitBits = 14;
    int32_t leafBits = 13;
    int32_t subtreeBits = 12;
};

template <class T>
class FlakeCache {
public:
    explicit FlakeCache(FlakeCacheSize size)
        : splitBits(size.splitBits), leafBits(size.leafBits),
          splits(size.splitBits > 0 ? new SplitCacheEntry[size_t(1) << size.splitBits]() : nullptr),
          leaves(size.leafBits > 0 ? new LeafEntry<T>[size_t(1) << size.leafBits]() : nullptr),
          subtreeBits(size.subtreeBits),
          subtrees(size.subtreeBits > 0 ? new SubtreeCacheEntry[size_t(1) << size.subtreeBits]()
                                        : nullptr),
          ringSize(size.subtreeBits > 0 ? uint64_t(8) << size.subtreeBits : 0),
          ring(ringSize > 0 ? new float[kRingChannels * ringSize]() : nullptr) {}

    // Bytes held, for the stated memory bound.
    static size_t bytes(FlakeCacheSize size) {
        return sizeof(FlakeCache) +
               (size.splitBits > 0 ? sizeof(SplitCacheEntry) << size.splitBits : 0) +
               (size.leafBits > 0 ? sizeof(LeafEntry<T>) << size.leafBits : 0) +
               (size.subtreeBits > 0 ? (sizeof(SubtreeCacheEntry) +
                                        8 * kRingChannels * sizeof(float)) << size.subtreeBits
                                     : 0);
    }

    // The entry a node's key maps to, or null when the table is off. The count is checked
    // against the entry, not hashed: siblings share a run of entries.
    SplitCacheEntry* splitSlot(uint32_t seed) {
        if (!splits) return nullptr;
        return &splits[siblingSlot(seed, splitBits)];
    }
    LeafEntry<T>* leafSlot(uint32_t seed, int32_t count) {
        if (!leaves || count > kCachedLeafFlakes) return nullptr;
        return &leaves[siblingSlot(seed, leafBits)];
    }

    // Asks for the entries of a node's four children (seeds firstSeed to firstSeed + 3) ahead
    // of their look-ups, so that their misses to memory overlap rather than queue.
    void prefetchChildren(uint32_t firstSeed, bool leafLevel) const {
        if (leafLevel) {
            if (leafBits >= 2) prefetchRun(&leaves[siblingSlot(firstSeed, leafBits)]);
        } else if (splitBits >= 2) {
            prefetchRun(&splits[siblingSlot(firstSeed, splitBits)]);
        }
    }

    SubtreeCacheEntry* subtreeSlot(uint32_t seed, int32_t count, int32_t levels) {
        if (!subtrees) return nullptr;
        return &subtrees[slot(seed ^ uint32_t(levels) * 0xC2B2AE35u, count, subtreeBits)];
    }

    // The entry holds this subtree's flakes, filled under the bound settings and not yet
    // overwritten in the ring.
    bool holds(const SubtreeCacheEntry& e, uint32_t seed, int32_t count, int32_t levels) const {
        return e.seed == seed && e.count == count && e.levels == levels && current(e.claim) &&
               ringWritten - e.at <= ringSize;
    }

    SubtreeFlakes subtreeFlakes(const SubtreeCacheEntry& e) const {
        const float* x = ring.get() + (e.at & (ringSize - 1));
        if constexpr (kPlainFlakes<T>) return {x, x + ringSize, x + 2 * ringSize, {}, {}, {}};
        return {x, x + ringSize, x + 2 * ringSize, x + 3 * ringSize, x + 4 * ringSize,
                x + 5 * ringSize};
    }

    // Keeps `count` flakes of the result, from `first` on, as the subtree's; `blocks` hold
    // their normals (not yet mirrored) and weights of 1. Returns the first flake's place in the
    // ring's running count, or -1 when it was not kept.
    int64_t storeSubtree(SubtreeCacheEntry& e, uint32_t seed, int32_t count, int32_t levels,
                         int32_t nodes, const FlakeBlock<T>* blocks, uint32_t first) {
        if (uint64_t(count) > ringSize) return -1;  // only in a ring made tiny on purpose
        uint64_t at = ringWritten;
        const uint64_t offset = at & (ringSize - 1);
        if (offset + uint64_t(count) > ringSize) at += ringSize - offset;  // kept contiguous
        ringWritten = at + uint64_t(count);
        float* x = ring.get() + (at & (ringSize - 1));
        for (int32_t f = 0; f < count; ++f) {
            const FlakeBlock<T>& block = blocks[(first + uint32_t(f)) / 4];
            const uint32_t lane = (first + uint32_t(f)) % 4;
            x[f] = block.x[lane];
            x[f + ringSize] = block.y[lane];
            x[f + 2 * ringSize] = block.z[lane];
            if constexpr (!kPlainFlakes<T>) {
                x[f + 3 * ringSize] = block.r[lane];
                x[f + 4 * ringSize] = block.g[lane];
                x[f + 5 * ringSize] = block.b[lane];
            }
        }
        storeNestedSubtree(e, seed, count, levels, nodes, at);
        return int64_t(at);
    }

    // Points the entry at flakes already in the ring: a subtree nested in one just kept has its
    // flakes as a run of the outer one's.
    void storeNestedSubtree(SubtreeCacheEntry& e, uint32_t seed, int32_t count, int32_t levels,
                            int32_t nodes, uint64_t at) {
        e = {seed, count, levels, nodes, nextClaim(), at};
    }

    uint64_t nextClaim() { return ++claims; }

    // Subtrees a search walked because the memo lacked them (those inside them included),
    // kept once its normals are in. A search seldom misses more than a few hundred; beyond
    // this many the rest are not kept.
    struct PendingSubtree {
        SubtreeCacheEntry* entry;
        uint32_t seed;
        int32_t count, levels, nodes;
        uint32_t first;
        int32_t outer;      // the pending subtree this one lies in, -1 for none
        int64_t nodesFrom;  // the search's node count when it was opened
        int64_t at;         // once kept: its first flake's place in the ring, -1 if not kept
    };
    static constexpr int32_t kMaxPendingSubtrees = 1024;
    PendingSubtree pending[kMaxPendingSubtrees];
    int32_t pendingCount = 0;

    // Leaf normals and colours depend on these settings too. A pooled query may serve more
    // than one material: when they change, what was filled before stops counting (64-bit
    // claims never wrap).
    void bind(const FlakeParams& p) {
        const Settings now{p.roughness, p.randomSaturation, p.saturation, p.randomLightness,
                           p.lightness};
        if (std::memcmp(&now, &settings, sizeof(Settings)) == 0) return;
        settings = now;
        validFrom = claims + 1;
    }

    // A leaf entry filled under this claim still holds under the bound settings.
    bool current(uint64_t claim) const { return claim >= validFrom; }

private:
    // A node's children (seeds 4p to 4p + 3) are looked up one after the other: they share a
    // run of four neighbouring entries, so one miss to memory brings in its neighbours' lines.
    static uint32_t siblingSlot(uint32_t seed, int32_t bits) {
        const int32_t groupBits = bits > 2 ? bits - 2 : 0;
        const uint32_t group = groupBits > 0 ? ((seed >> 2) * 0x9E3779B1u) >> (32 - groupBits) : 0;
        return ((group << 2) | (seed & 3u)) & ((1u << bits) - 1u);
    }

    template <class E>
    static void prefetchRun(const E* first) {
        const char* bytes = reinterpret_cast<const char*>(first);
        for (size_t offset = 0; offset < 4 * sizeof(E); offset += 64) {
            __builtin_prefetch(bytes + offset);
        }
        __builtin_prefetch(bytes + 4 * sizeof(E) - 1);
    }

    static uint32_t slot(uint32_t seed, int32_t count, int32_t bits) {
        // Sibling seeds are consecutive; a multiplicative hash spreads them over the table.
        const uint32_t h = (seed ^ (uint32_t(count) * 0x85EBCA6Bu)) * 0x9E3779B1u;
        return h >> (32 - bits);
    }

    static constexpr size_t kRingChannels = kPlainFlakes<T> ? 3 : 6;

    int32_t splitBits;
    int32_t leafBits;
    std::unique_ptr<SplitCacheEntry[]> splits;
    std::unique_ptr<LeafEntry<T>[]> leaves;
    int32_t subtreeBits;
    std::unique_ptr<SubtreeCacheEntry[]> subtrees;
    uint64_t ringSize;  // flakes, a power of two
    std::unique_ptr<float[]> ring;
    uint64_t ringWritten = 0;  // flakes ever written, and skipped to keep a subtree contiguous
    struct Settings {
        float roughness;
        int32_t randomSaturation;
        float saturation;
        int32_t randomLightness;
        float lightness;
    };
    Settings settings{};
    uint64_t claims = 0;
    uint64_t validFrom = 1;  // nothing is filled under unknown settings
};

}  // namespace glitter
