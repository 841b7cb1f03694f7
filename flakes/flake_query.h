#pragma once
// The footprint flake search: walks the quadtrees of the cells under a footprint's corners,
// keeps every node that overlaps it, and at the leaves emits each flake's mirror direction with
// a weight (the covered fraction of its leaf) or its colour times that weight, four flakes to a
// block. The query lives inside every pooled BSDF and reuses its walk stack and blocks, so a
// warm search allocates nothing.

#include <bit>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "flakes/flake_block.h"
#include "flakes/flake_cache.h"
#include "flakes/flake_footprint.h"
#include "flakes/flake_node.h"
#include "flakes/flake_params.h"
#include "flakes/flake_random.h"
#include "flakes/leaf_flakes.h"
#include "flakes/math4.h"
#include "flakes/quadtree_split.h"
#include "flakes/simd/lane_pair.h"

namespace glitter {

struct FlakeVector {
    float x, y, z;
};

// One search may emit at most this many flakes and visit at most this many nodes. Footprints
// that discrete flakes are meant for stay far below (they hold at most a few thousand flakes);
// a shallow quadtree or a huge flake count could otherwise make one shading point enumerate
// billions. Beyond the budget the point is shaded without discrete flakes.
inline constexpr uint32_t kMaxFlakesPerSearch = 1u << 20;
inline constexpr int64_t kMaxNodesPerSearch = int64_t(1) << 22;

// Growable array of flake blocks; grows by doubling and never shrinks.
template <class T>
class FlakeBlockArray {
public:
    FlakeBlockArray() = default;
    FlakeBlockArray(const FlakeBlockArray&) = delete;
    FlakeBlockArray& operator=(const FlakeBlockArray&) = delete;
    ~FlakeBlockArray() { delete[] data; }

    // Room for n blocks, keeping the first `count`; `count` becomes n.
    void resize(int32_t n) {
        if (n > capacity) {
            int32_t grown = capacity < 1 ? n : capacity;
            while (grown < n) grown *= 2;
            FlakeBlock<T>* fresh = new FlakeBlock<T>[grown];
            for (int32_t i = 0; i < count; ++i) fresh[i] = data[i];
            delete[] data;
            data = fresh;
            capacity = grown;
        }
        count = n;
    }

    int32_t count = 0;
    int32_t step = -1;  // no fixed growth step: capacity doubles
    int32_t capacity = 0;
    FlakeBlock<T>* data = nullptr;
};

// A node of the walk, already known to overlap the footprint.
struct FlakeWalkNode {
    uint32_t seed;
    int32_t count;
    float uMin, vMin, uMax, vMax;
    int32_t depth;
    // 0: crosses the footprint's edge; 1: wholly inside it, so no more geometry is needed
    // below.
    int32_t inside;
};

// The walk's stack of nodes still to visit; grows by doubling and never shrinks. Depth first,
// it holds at most three siblings per level below the node being visited (plus the roots).
class FlakeWalkStack {
public:
    FlakeWalkStack() = default;
    FlakeWalkStack(const FlakeWalkStack&) = delete;
    FlakeWalkStack& operator=(const FlakeWalkStack&) = delete;
    ~FlakeWalkStack() { delete[] data; }

    void push(const FlakeWalkNode& node) {
        if (size == capacity) grow();
        data[size++] = node;
    }
    FlakeWalkNode pop() { return data[--size]; }

    int32_t size = 0;
    int32_t capacity = 0;
    FlakeWalkNode* data = nullptr;

private:
    void grow() {
        const int32_t grown = capacity < 64 ? 64 : capacity * 2;
        FlakeWalkNode* fresh = new FlakeWalkNode[grown];
        for (int32_t i = 0; i < size; ++i) fresh[i] = data[i];
        delete[] data;
        data = fresh;
        capacity = grown;
    }
};

template <class T>
struct FlakeQuery {
    FlakeQuery() = default;
    FlakeQuery(const FlakeQuery&) = delete;
    FlakeQuery& operator=(const FlakeQuery&) = delete;

    FlakeWalkStack stack;  // nodes still to visit
    FlakeBlockArray<T> blocks;  // the last search's result
    uint32_t flakeCount = 0;    // flakes emitted by the last search, filler lanes excluded
    FlakeVector viewDir{};      // incoming ray direction in the local frame
    FlakeVector probeDir{};     // light direction of the last evaluation
    int32_t enabled = 0;        // nonzero: discrete flakes in use at this point
    float expectedFlakes = 0.0f;
    FlakeFootprint footprint{};  // translated so that the first cell is (0, 0)
    FootprintBands bands{};      // of the footprint, for the walk's classifications
    int32_t cellCount = 0;
    int32_t cellX[4]{}, cellY[4]{};  // relative to the first cell
    uint32_t cellSeed[4]{};          // from the absolute cell integers
    const FlakeParams* params = nullptr;
    int64_t nodesVisited = 0;  // by the last search; for profiling only
    FlakeCacheSize cacheSize{};           // of the memo below
    std::unique_ptr<FlakeCache<T>> cache;  // made by the first search that needs it
};

// Resizes (and empties) the query's memo of splits and leaf normals; zero bits turn a table off.
// Results do not depend on it.
template <class T>
void setFlakeCacheSize(FlakeQuery<T>& q, FlakeCacheSize size) {
    q.cacheSize = size;
    q.cache.reset();
}

namespace detail {

// Finds the (at most four) cells of the footprint's corners, their seeds and relative
// integers, and translates the footprint to the first cell. False when the footprint is not
// finite or lies beyond the 32-bit cell range: no discrete flakes can be placed there.
bool prepareFlakeCells(FlakeFootprint& footprint, int32_t& cellCount, int32_t cellX[4],
                       int32_t cellY[4], uint32_t cellSeeds[4]);

// Flakes whose normals are still to be computed, eight at a time (two independent dependency
// chains); each knows its place in the result and, when its leaf is being memoised, the entry
// that keeps the normal.
template <class T>
struct MissingNormals {
    alignas(16) float a[8];
    alignas(16) float b[8];
    uint32_t flake[8];
    LeafEntry<T>* entry[8];
    uint64_t claim[8];
    int32_t slot[8];  // the flake's place in its leaf
    int lanes = 0;
};

template <class T>
FlakeBlock<T>& blockOf(FlakeQuery<T>& q, uint32_t flake) {
    return q.blocks.data[flake / 4];
}

// Computes the normals of the waiting flakes and stores them in the result's direction arrays
// (turned into mirror directions once the search is done) and in their memo entries.
template <class T>
void computeMissingNormals(FlakeQuery<T>& q, MissingNormals<T>& m) {
    using simd::Float4;
    if (m.lanes == 0) return;
    const int groups = m.lanes > 4 ? 2 : 1;
    for (int k = m.lanes; k < 4 * groups; ++k) {
        m.a[k] = 0.5f;
        m.b[k] = 0.5f;
    }
    alignas(16) float nx[8], ny[8], nz[8];
    const float alpha = q.params->roughness;
    // The scalar back end gains nothing from pairing (and loses its auto-vectorised loops).
    constexpr bool kPaired = !std::is_same_v<Float4, simd::scalar::Float4>;
    if (groups == 2 && kPaired) {
        using Pair = simd::PairOf<Float4>;
        Pair x, y, z;
        kernels::sampleBeckmannNormals4(Pair(Float4::load(m.a), Float4::load(m.a + 4)),
                                        Pair(Float4::load(m.b), Float4::load(m.b + 4)), alpha,
                                        x, y, z);
        x.lo.store(nx);
        x.hi.store(nx + 4);
        y.lo.store(ny);
        y.hi.store(ny + 4);
        z.lo.store(nz);
        z.hi.store(nz + 4);
    } else {
        for (int g = 0; g < groups; ++g) {
            Float4 x, y, z;
            kernels::sampleBeckmannNormals4(Float4::load(m.a + 4 * g), Float4::load(m.b + 4 * g),
                                            alpha, x, y, z);
            x.store(nx + 4 * g);
            y.store(ny + 4 * g);
            z.store(nz + 4 * g);
        }
    }
    for (int i = 0; i < m.lanes; ++i) {
        FlakeBlock<T>& block = blockOf(q, m.flake[i]);
        const uint32_t lane = m.flake[i] % 4;
        block.x[lane] = nx[i];
        block.y[lane] = ny[i];
        block.z[lane] = nz[i];
        LeafEntry<T>* e = m.entry[i];
        // The entry may have gone to another leaf since it was claimed.
        if (e != nullptr && e->claim == m.claim[i]) {
            e->nx[m.slot[i]] = nx[i];
            e->ny[m.slot[i]] = ny[i];
            e->nz[m.slot[i]] = nz[i];
            // Ready once the last slot's normal is in (they arrive in slot order); a mask
            // rather than a branch, which a leaf's count makes a coin toss.
            e->ready = e->claim & (uint64_t(0) - uint64_t(m.slot[i] == e->count - 1));
        }
    }
    m.lanes = 0;
}

template <class T>
void addMissingNormal(FlakeQuery<T>& q, MissingNormals<T>& m, float a, float b, uint32_t flake,
                      LeafEntry<T>* entry, uint64_t claim, int32_t slot) {
    const int i = m.lanes++;
    m.a[i] = a;
    m.b[i] = b;
    m.flake[i] = flake;
    m.entry[i] = entry;
    m.claim[i] = claim;
    m.slot[i] = slot;
    if (m.lanes == 8) computeMissingNormals(q, m);
}

template <class T>
void setFlakeValue(FlakeBlock<T>& block, uint32_t lane, const FlakeRgb& color, float weight) {
    if constexpr (kPlainFlakes<T>) {
        (void)color;
        block.weight[lane] = weight;
    } else {
        block.r[lane] = color.r * weight;
        block.g[lane] = color.g * weight;
        block.b[lane] = color.b * weight;
    }
}

// Draws a leaf's flakes (from `first` on in the result) from the leaf's sequence, their normals
// left to computeMissingNormals, and claims the memo entry e (when not null) for them. Apart
// from emitLeaf: most leaves are found in the memo, and this keeps that path small.
template <class T>
[[gnu::noinline]] void drawLeaf(FlakeQuery<T>& q, MissingNormals<T>& m, LeafEntry<T>* e,
                                uint32_t first, uint32_t seed, int32_t count, float weight) {
    uint64_t claim = 0;
    if (e != nullptr) {
        e->seed = seed;
        e->count = count;
        e->claim = claim = q.cache->nextClaim();
        e->ready = 0;
    }
    // Flakes of zero weight are emitted too: they keep their place in the sequence.
    const FlakeParams& p = *q.params;
    LeafFlakes leaf(seed);
    for (int32_t f = 0; f < count; ++f) {
        const uint32_t flake = first + uint32_t(f);
        float a, b;
        FlakeRgb color{1.0f, 1.0f, 1.0f};
        if constexpr (kPlainFlakes<T>) {
            leaf.next(a, b);
        } else {
            leaf.next(p, a, b, color);
            if (e != nullptr) {
                e->r[f] = color.r;
                e->g[f] = color.g;
                e->b[f] = color.b;
            }
        }
        setFlakeValue(blockOf(q, flake), flake % 4, color, weight);
        addMissingNormal(q, m, a, b, flake, e, claim, f);
    }
}

// Emits a leaf's flakes: from its memo entry when that holds them, otherwise drawn.
template <class T>
[[gnu::always_inline]] inline void emitLeaf(FlakeQuery<T>& q, FlakeCache<T>* cache,
                                            MissingNormals<T>& m, uint32_t seed, int32_t count,
                                            float weight) {
    const uint32_t first = q.flakeCount;
    q.flakeCount += uint32_t(count);
    q.blocks.resize(int32_t((q.flakeCount + 3u) / 4u));
    LeafEntry<T>* e = cache != nullptr ? cache->leafSlot(seed, count) : nullptr;
    // An entry not ready holds claim 0, which is never current.
    if (e == nullptr || e->seed != seed || e->count != count || !cache->current(e->ready)) {
        drawLeaf(q, m, e, first, seed, count, weight);
        return;
    }
    for (int32_t f = 0; f < count; ++f) {
        const uint32_t flake = first + uint32_t(f);
        FlakeBlock<T>& block = blockOf(q, flake);
        const uint32_t lane = flake % 4;
        block.x[lane] = e->nx[f];
        block.y[lane] = e->ny[f];
        block.z[lane] = e->nz[f];
        if constexpr (kPlainFlakes<T>) {
            block.weight[lane] = weight;
        } else {
            setFlakeValue(block, lane, FlakeRgb{e->r[f], e->g[f], e->b[f]}, weight);
        }
    }
}

// The four child counts of a node, from the memo when it has them. Inlined into the walk, which
// then keeps the counts in registers (the compiler stopped inlining it on its own).
template <class T>
[[gnu::always_inline]] inline void childCounts(FlakeCache<T>* cache, uint32_t seed, int32_t count,
                                               int32_t counts[4]) {
    SplitCacheEntry* e = cache != nullptr ? cache->splitSlot(seed) : nullptr;
    if (e != nullptr && e->seed == seed && e->count == count) {
        for (int k = 0; k < 4; ++k) counts[k] = e->children[k];
        return;
    }
    if (count == 1) {
        // The most common miss near the leaves: a lone flake's quadrant is a single draw, as
        // splitCounts makes it, without the call and its general loop.
        FlakeRandom random(seed);
        const float x = random.nextUniform();
        const int quadrant = int(x > 0.25f) + int(x > 0.5f) + int(x > 0.75f);
        for (int k = 0; k < 4; ++k) counts[k] = int32_t(k == quadrant);
    } else {
        splitCounts(seed, count, counts);
    }
    if (e != nullptr) {
        e->seed = seed;
        e->count = count;
        for (int k = 0; k < 4; ++k) e->children[k] = counts[k];
    }
}

// Emits a subtree's flakes from the memo: all of weight 1, as an inside subtree's leaves are.
template <class T>
void emitSubtree(FlakeQuery<T>& q, const FlakeCache<T>& cache, const SubtreeCacheEntry& e) {
    const uint32_t first = q.flakeCount;
    q.flakeCount += uint32_t(e.count);
    q.blocks.resize(int32_t((q.flakeCount + 3u) / 4u));
    const SubtreeFlakes s = cache.subtreeFlakes(e);
    for (int32_t f = 0; f < e.count; ++f) {
        const uint32_t flake = first + uint32_t(f);
        FlakeBlock<T>& block = blockOf(q, flake);
        const uint32_t lane = flake % 4;
        block.x[lane] = s.x[f];
        block.y[lane] = s.y[f];
        block.z[lane] = s.z[f];
        if constexpr (kPlainFlakes<T>) {
            block.weight[lane] = 1.0f;
        } else {
            block.r[lane] = s.r[f];
            block.g[lane] = s.g[f];
            block.b[lane] = s.b[f];
        }
    }
}

// Keeps the subtrees this search walked for want of them in the memo; their normals are in. A
// subtree inside another is kept as a run of the outer one's flakes.
template <class T>
void keepPendingSubtrees(FlakeQuery<T>& q, FlakeCache<T>* cache) {
    if (cache == nullptr) return;
    for (int32_t i = 0; i < cache->pendingCount; ++i) {
        auto& p = cache->pending[i];
        p.at = -1;
        if (p.nodes < 0) continue;
        if (p.outer < 0) {
            p.at = cache->storeSubtree(*p.entry, p.seed, p.count, p.levels, p.nodes,
                                       q.blocks.data, p.first);
        } else if (const auto& o = cache->pending[p.outer]; o.at >= 0) {
            p.at = o.at + int64_t(p.first - o.first);
            cache->storeNestedSubtree(*p.entry, p.seed, p.count, p.levels, p.nodes,
                                      uint64_t(p.at));
        }
    }
    cache->pendingCount = 0;
}

// Turns the normals in the result into mirror directions of the view direction.
template <class T>
void mirrorFlakeNormals(FlakeQuery<T>& q) {
    using simd::Float4;
    const Float4 vx(q.viewDir.x), vy(q.viewDir.y), vz(q.viewDir.z);
    for (int32_t i = 0; i < q.blocks.count; ++i) {
        FlakeBlock<T>& block = q.blocks.data[i];
        const Float4 nx = Float4::load(block.x), ny = Float4::load(block.y),
                     nz = Float4::load(block.z);
        const Float4 k = Float4(2.0f) * ((ny * vy + nx * vx) + nz * vz);
        (vx - nx * k).store(block.x);
        (vy - ny * k).store(block.y);
        (vz - nz * k).store(block.z);
    }
}

// The weight of a leaf that the footprint covers in part: its covered fraction, clamped.
template <class T>
float leafWeight(const FlakeQuery<T>& q, const FlakeSquare& leaf) {
    const float w = coveredFraction(q.footprint, leaf);
    return !(w > 0.0f) ? 0.0f : (w >= 1.0f ? 1.0f : w);
}

// Over budget: drop the rest of the walk and shade this point without discrete flakes.
template <class T>
bool abandonFlakeSearch(FlakeQuery<T>& q) {
    if (q.cache) q.cache->pendingCount = 0;
    q.stack.size = 0;
    q.flakeCount = 0;
    q.blocks.count = 0;
    q.enabled = 0;
    return true;
}

}  // namespace detail

// Stores the point's settings; with discrete flakes on, also the footprint and its cells. A
// footprint that is not finite or lies beyond the cell range switches discrete flakes off.
template <class T>
void beginFlakeQuery(FlakeQuery<T>& q, int32_t enabled, float expectedFlakes,
                     const FlakeFootprint& footprint, const FlakeParams* params) {
    q.expectedFlakes = expectedFlakes;
    q.enabled = enabled;
    q.params = params;
    if (enabled == 0) return;
    q.footprint = footprint;
    if (!detail::prepareFlakeCells(q.footprint, q.cellCount, q.cellX, q.cellY, q.cellSeed)) {
        q.enabled = 0;
    }
}

// True when discrete flakes are off (nothing searched) or at least one block was written.
template <class T>
bool searchFlakes(FlakeQuery<T>& q) {
    if (q.enabled == 0) return true;
    const FlakeParams& p = *q.params;
    q.flakeCount = 0;
    q.blocks.count = 0;
    if (!q.cache && (q.cacheSize.splitBits > 0 || q.cacheSize.leafBits > 0)) {
        q.cache = std::make_unique<FlakeCache<T>>(q.cacheSize);
    }
    FlakeCache<T>* const cache = q.cache.get();
    if (cache != nullptr) cache->bind(p);
    detail::MissingNormals<T> missing;
    int64_t& nodesVisited = q.nodesVisited;
    nodesVisited = 0;
    q.bands = footprintBands(q.footprint);

    // Depth first, children in order: the leaves come out in the order a level-by-level walk
    // reaches them, and every node is visited exactly once either way. Children are
    // classified together when their parent is split, those outside dropped there; leaves are
    // emitted straight from their parent.
    const int32_t leafDepth = p.textureSubdivs;
    const QuadrantClassifier quadrants(q.bands);
    FlakeWalkStack& stack = q.stack;
    // The innermost subtree being walked to be kept; the ones it lies in follow its `outer`.
    int32_t open = -1;
    // Closes the open subtrees whose flakes are all out.
    const auto closeFinished = [&] {
        while (open >= 0) {
            auto& p = cache->pending[open];
            if (q.flakeCount != p.first + uint32_t(p.count)) break;
            p.nodes = int32_t(nodesVisited - p.nodesFrom);
            open = p.outer;
        }
    };
    for (int32_t i = 0; i < q.cellCount; ++i) {
        const FlakeSquare root{float(q.cellX[i]), float(q.cellY[i]),
                               float(int64_t(q.cellX[i]) + 1), float(int64_t(q.cellY[i]) + 1)};
        ++nodesVisited;
        const BoxClass c = classifyBox(q.bands, root);
        if (c == BoxClass::outside) continue;
        if (leafDepth == 0) {
            if (int64_t(q.flakeCount) + p.numFlakes > int64_t(kMaxFlakesPerSearch)) {
                return detail::abandonFlakeSearch(q);
            }
            detail::emitLeaf(q, cache, missing, q.cellSeed[i], p.numFlakes,
                             c == BoxClass::inside ? 1.0f : detail::leafWeight(q, root));
            continue;
        }
        // The first child to visit is walked at once rather than pushed and popped again.
        FlakeWalkNode node{q.cellSeed[i], p.numFlakes, root.uMin, root.vMin, root.uMax,
                           root.vMax, 0, c == BoxClass::inside ? 1 : 0};
        for (;;) {
            // A small subtree wholly inside the footprint comes whole from the memo, or is
            // walked and kept. Its flakes and node count are a pure function of the node, so
            // the result and both budgets come out as the walk would have them. Inside a
            // subtree being kept, smaller ones are looked up too and kept as runs of its flakes:
            // a footprint moved a little has its first inside nodes a level higher or lower.
            if (node.inside == 1 && node.count <= kCachedSubtreeFlakes && cache != nullptr) {
                const int32_t levels = leafDepth - node.depth;
                SubtreeCacheEntry* e = cache->subtreeSlot(node.seed, node.count, levels);
                if (e != nullptr && cache->holds(*e, node.seed, node.count, levels)) {
                    nodesVisited += e->nodes;
                    if (nodesVisited > kMaxNodesPerSearch ||
                        int64_t(q.flakeCount) + node.count > int64_t(kMaxFlakesPerSearch)) {
                        return detail::abandonFlakeSearch(q);
                    }
                    detail::emitSubtree(q, *cache, *e);
                    closeFinished();
                    if (stack.size == 0) break;
                    node = stack.pop();
                    continue;
                }
                if (e != nullptr && cache->pendingCount < cache->kMaxPendingSubtrees) {
                    cache->pending[cache->pendingCount] = {
                        e, node.seed, node.count, levels, -1, q.flakeCount, open, nodesVisited, -1};
                    open = cache->pendingCount++;
                }
            }
            // A leaf's parent: its leaves' memo entries are asked for before its own split is
            // looked up and its children classified, which gives their misses time to land.
            if (cache != nullptr && node.depth + 1 == leafDepth) {
                cache->prefetchChildren(4u * node.seed, true);
            }
            int32_t counts[4];
            detail::childCounts(cache, node.seed, node.count, counts);
            nodesVisited += int32_t(counts[0] > 0) + int32_t(counts[1] > 0) +
                            int32_t(counts[2] > 0) + int32_t(counts[3] > 0);
            if (nodesVisited > kMaxNodesPerSearch) return detail::abandonFlakeSearch(q);

            const float u[3] = {node.uMin, (node.uMin + node.uMax) * 0.5f, node.uMax};
            const float v[3] = {node.vMin, (node.vMin + node.vMax) * 0.5f, node.vMax};
            int outside = 0, inside = 0xF;
            if (node.inside == 0) quadrants.classify(u, v, outside, inside);
            // Quadrant k spans u[kU[k]]..u[kU[k] + 1] and v[kV[k]]..v[kV[k] + 1].
            static constexpr int kU[4] = {0, 1, 1, 0};
            static constexpr int kV[4] = {0, 0, 1, 1};
            const uint32_t seed = 4u * node.seed;
            const int32_t depth = node.depth + 1;
            // Children to visit as bits: whether a quadrant holds flakes is close to a coin toss
            // near the leaves, so walking the set bits saves a mispredicted branch per child.
            const unsigned visit = (unsigned(counts[0] > 0) | unsigned(counts[1] > 0) << 1 |
                                    unsigned(counts[2] > 0) << 2 | unsigned(counts[3] > 0) << 3) &
                                   ~unsigned(outside);
            if (cache != nullptr && depth < leafDepth) cache->prefetchChildren(seed, false);
            if (depth == leafDepth) {
                for (unsigned rest = visit; rest != 0; rest &= rest - 1) {
                    const int k = std::countr_zero(rest);
                    float weight = 1.0f;
                    if (((inside >> k) & 1) == 0) {
                        const FlakeSquare leaf{u[kU[k]], v[kV[k]], u[kU[k] + 1], v[kV[k] + 1]};
                        weight = detail::leafWeight(q, leaf);
                    }
                    if (int64_t(q.flakeCount) + counts[k] > int64_t(kMaxFlakesPerSearch)) {
                        return detail::abandonFlakeSearch(q);
                    }
                    detail::emitLeaf(q, cache, missing, seed + uint32_t(k), counts[k], weight);
                }
                // A subtree being kept is done once all its flakes are out.
                closeFinished();
            } else if (visit != 0) {
                // The lowest child is walked next; the others wait on the stack, highest first,
                // so that they come off it in order.
                const int first = std::countr_zero(visit);
                for (unsigned rest = visit & (visit - 1); rest != 0;) {
                    const int k = 31 - std::countl_zero(rest);
                    rest &= ~(1u << k);
                    stack.push({seed + uint32_t(k), counts[k], u[kU[k]], v[kV[k]], u[kU[k] + 1],
                                v[kV[k] + 1], depth, (inside >> k) & 1});
                }
                node = {seed + uint32_t(first), counts[first], u[kU[first]], v[kV[first]],
                        u[kU[first] + 1], v[kV[first] + 1], depth, (inside >> first) & 1};
                continue;
            }
            if (stack.size == 0) break;
            node = stack.pop();
        }
    }

    // The last block's lanes beyond the real flakes are filler: the normal of a = b = 0.5 and
    // weight 0.
    const uint32_t lanes = uint32_t(q.blocks.count) * 4u;
    for (uint32_t k = q.flakeCount; k < lanes; ++k) {
        detail::setFlakeValue(detail::blockOf(q, k), k % 4, FlakeRgb{0.0f, 0.0f, 0.0f}, 0.0f);
        detail::addMissingNormal(q, missing, 0.5f, 0.5f, k, static_cast<LeafEntry<T>*>(nullptr),
                                 uint64_t(0), 0);
    }
    detail::computeMissingNormals(q, missing);
    detail::keepPendingSubtrees(q, cache);
    detail::mirrorFlakeNormals(q);
    return q.blocks.count > 0;
}

}  // namespace glitter
