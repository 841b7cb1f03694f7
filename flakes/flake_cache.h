#pragma once
// A memo of what the footprint search recomputes most: the count split of a quadtree node, the
// normals (and colours) of a leaf's flakes, and the whole run of flakes under a node that lies
// inside the footprint. Each depends on nothing but the node's seed, flake count (and depth), so
// a search gives the same bits whatever the memo holds; neighbouring camera samples and pixels
// meet mostly the same nodes, so most lookups hit.
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
    int32_t ready;   // every normal of this claim has arrived
    float nx[kCachedLeafFlakes], ny[kCachedLeafFlakes], nz[kCachedLeafFlakes];
};

template <class T>
struct ColoredLeafCacheEntry : LeafCacheEntry<T> {
    float r[kCachedLeafFlakes], g[kCachedLeafFlakes], b[kCachedLeafFlakes];
};

template <class T>
using LeafEntry = std::conditional_t<kPlainFlakes<T>, LeafCacheEntry<T>, ColoredLeafCacheEntry<T>>;

// Subtrees with more flakes than this are not memoised whole; their children may be.
inline constexpr int32_t kCachedSubtreeFlakes = 64;

// Every flake of a node that lies wholly inside a footprint, in the order the search emits
// them: each has weight 1, so the run depends on nothing but the node's seed, count and depth.
template <class T>
struct SubtreeCacheEntry {
    uint32_t seed;
    int32_t count;   // 0: empty
    int32_t depth;   // of the node, which fixes how far below it the leaves lie
    uint64_t claim;  // which fill owns the entry
    int32_t ready;   // the run below is complete for this claim
    int64_t nodes;   // nodes below the node that the walk visits, for the search's budget
    float nx[kCachedSubtreeFlakes], ny[kCachedSubtreeFlakes], nz[kCachedSubtreeFlakes];
};

template <class T>
struct ColoredSubtreeCacheEntry : SubtreeCacheEntry<T> {
    float r[kCachedSubtreeFlakes], g[kCachedSubtreeFlakes], b[kCachedSubtreeFlakes];
};

template <class T>
using SubtreeEntry =
    std::conditional_t<kPlainFlakes<T>, SubtreeCacheEntry<T>, ColoredSubtreeCacheEntry<T>>;

// Sizes as powers of two; 0 bits turns that table off.
struct FlakeCacheSize {
    int32_t splitBits = 14;
    int32_t leafBits = 13;
    int32_t subtreeBits = 10;
};

template <class T>
class FlakeCache {
public:
    explicit FlakeCache(FlakeCacheSize size)
        : splitBits(size.splitBits), leafBits(size.leafBits),
          splits(size.splitBits > 0 ? new SplitCacheEntry[size_t(1) << size.splitBits]() : nullptr),
          leaves(size.leafBits > 0 ? new LeafEntry<T>[size_t(1) << size.leafBits]() : nullptr),
          subtreeBits(size.subtreeBits),
          subtrees(size.subtreeBits > 0 ? new SubtreeEntry<T>[size_t(1) << size.subtreeBits]()
                                        : nullptr) {}

    // Bytes held, for the stated memory bound.
    static size_t bytes(FlakeCacheSize size) {
        return (size.splitBits > 0 ? sizeof(SplitCacheEntry) << size.splitBits : 0) +
               (size.leafBits > 0 ? sizeof(LeafEntry<T>) << size.leafBits : 0) +
               (size.subtreeBits > 0 ? sizeof(SubtreeEntry<T>) << size.subtreeBits : 0);
    }

    // The entry a node's key maps to, or null when the table is off.
    SplitCacheEntry* splitSlot(uint32_t seed, int32_t count) {
        if (!splits) return nullptr;
        return &splits[slot(seed, count, splitBits)];
    }
    LeafEntry<T>* leafSlot(uint32_t seed, int32_t count) {
        if (!leaves || count > kCachedLeafFlakes) return nullptr;
        return &leaves[slot(seed, count, leafBits)];
    }

    SubtreeEntry<T>* subtreeSlot(uint32_t seed, int32_t count) {
        if (!subtrees || count > kCachedSubtreeFlakes) return nullptr;
        return &subtrees[slot(seed, count, subtreeBits)];
    }

    uint64_t nextClaim() { return ++claims; }

    // Leaf normals and colours, and so the runs, depend on these settings too. A pooled query
    // serves every material of its thread: when they change, what was filled before stops
    // counting (64-bit claims never wrap).
    void bind(const FlakeParams& p) {
        const Settings now{p.roughness, p.textureSubdivs, p.randomSaturation, p.saturation,
                           p.randomLightness, p.lightness};
        if (std::memcmp(&now, &settings, sizeof(Settings)) == 0) return;
        settings = now;
        validFrom = claims + 1;
    }

    // A filled entry of this claim still holds under the bound settings.
    bool current(uint64_t claim) const { return claim >= validFrom; }

private:
    static uint32_t slot(uint32_t seed, int32_t count, int32_t bits) {
        // Sibling seeds are consecutive; a multiplicative hash spreads them over the table.
        const uint32_t h = (seed ^ (uint32_t(count) * 0x85EBCA6Bu)) * 0x9E3779B1u;
        return h >> (32 - bits);
    }

    int32_t splitBits;
    int32_t leafBits;
    std::unique_ptr<SplitCacheEntry[]> splits;
    std::unique_ptr<LeafEntry<T>[]> leaves;
    int32_t subtreeBits;
    std::unique_ptr<SubtreeEntry<T>[]> subtrees;
    struct Settings {
        float roughness;
        int32_t textureSubdivs;
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
