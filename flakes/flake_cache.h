#pragma once
// A memo of the two things the footprint search recomputes most: the count split of a quadtree
// node and the normals (and colours) of a leaf's flakes. Both depend on nothing but the node's
// seed and flake count, so a search gives the same bits whatever the memo holds; neighbouring
// camera samples and pixels meet mostly the same nodes, so most lookups hit.
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

// Sizes as powers of two; 0 bits turns that table off.
struct FlakeCacheSize {
    int32_t splitBits = 14;
    int32_t leafBits = 13;
};

template <class T>
class FlakeCache {
public:
    explicit FlakeCache(FlakeCacheSize size)
        : splitBits(size.splitBits), leafBits(size.leafBits),
          splits(size.splitBits > 0 ? new SplitCacheEntry[size_t(1) << size.splitBits]() : nullptr),
          leaves(size.leafBits > 0 ? new LeafEntry<T>[size_t(1) << size.leafBits]() : nullptr) {}

    // Bytes held, for the stated memory bound.
    static size_t bytes(FlakeCacheSize size) {
        return (size.splitBits > 0 ? sizeof(SplitCacheEntry) << size.splitBits : 0) +
               (size.leafBits > 0 ? sizeof(LeafEntry<T>) << size.leafBits : 0);
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

    uint64_t nextClaim() { return ++claims; }

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
    static uint32_t slot(uint32_t seed, int32_t count, int32_t bits) {
        // Sibling seeds are consecutive; a multiplicative hash spreads them over the table.
        const uint32_t h = (seed ^ (uint32_t(count) * 0x85EBCA6Bu)) * 0x9E3779B1u;
        return h >> (32 - bits);
    }

    int32_t splitBits;
    int32_t leafBits;
    std::unique_ptr<SplitCacheEntry[]> splits;
    std::unique_ptr<LeafEntry<T>[]> leaves;
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
