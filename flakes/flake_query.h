#pragma once
// The footprint flake search: walks the quadtrees of the cells under a footprint's corners,
// keeps every node that overlaps it, and at the leaves emits each flake's mirror direction with
// a weight (the covered fraction of its leaf) or its colour times that weight, four flakes to a
// block. The query lives inside every pooled BSDF and reuses its nodes and blocks, so a warm
// search allocates nothing.

#include <cstdint>
#include <type_traits>

#include "flakes/flake_block.h"
#include "flakes/flake_footprint.h"
#include "flakes/flake_node.h"
#include "flakes/flake_params.h"
#include "flakes/leaf_flakes.h"
#include "flakes/math4.h"
#include "flakes/quadtree_split.h"
#include "flakes/simd/lane_pair.h"
#include "pools/block_sequence.h"

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

template <class T>
struct FlakeQuery {
    FlakeQuery() : nodes(1000) {}
    FlakeQuery(const FlakeQuery&) = delete;
    FlakeQuery& operator=(const FlakeQuery&) = delete;

    BlockSequence<FlakeNode> nodes;  // every node this query ever used
    FlakeNode* queueHead = nullptr;  // FIFO of nodes still to visit
    FlakeNode* queueTail = nullptr;
    FlakeNode* freeNodes = nullptr;  // LIFO of nodes ready for reuse
    int32_t queueLength = 0;
    FlakeBlockArray<T> blocks;  // the last search's result
    uint32_t flakeCount = 0;    // flakes emitted by the last search, filler lanes excluded
    FlakeVector viewDir{};      // incoming ray direction in the local frame
    FlakeVector probeDir{};     // light direction of the last evaluation
    int32_t enabled = 0;        // nonzero: discrete flakes in use at this point
    float expectedFlakes = 0.0f;
    FlakeFootprint footprint{};  // translated so that the first cell is (0, 0)
    int32_t cellCount = 0;
    int32_t cellX[4]{}, cellY[4]{};  // relative to the first cell
    uint32_t cellSeed[4]{};          // from the absolute cell integers
    const FlakeParams* params = nullptr;
    int64_t nodesVisited = 0;  // by the last search; for profiling only
};

namespace detail {

// Finds the (at most four) cells of the footprint's corners, their seeds and relative
// integers, and translates the footprint to the first cell. False when the footprint is not
// finite or lies beyond the 32-bit cell range: no discrete flakes can be placed there.
bool prepareFlakeCells(FlakeFootprint& footprint, int32_t& cellCount, int32_t cellX[4],
                       int32_t cellY[4], uint32_t cellSeeds[4]);

// Flakes waiting for their normals: two blocks' worth, so that the normals of two blocks are
// computed together (two independent dependency chains).
template <class T>
struct PendingFlakes {
    alignas(16) float a[8];
    alignas(16) float b[8];
    alignas(16) float value[kPlainFlakes<T> ? 1 : 3][8];  // weight, or colour times weight
};

template <class T>
void pushNode(FlakeQuery<T>& q, const FlakeNode& value) {
    FlakeNode* node = q.freeNodes;
    if (node != nullptr) {
        q.freeNodes = node->next;
    } else {
        node = q.nodes.allocate();
    }
    *node = value;
    node->next = nullptr;
    if (q.queueTail != nullptr) {
        q.queueTail->next = node;
    } else {
        q.queueHead = node;
    }
    q.queueTail = node;
    ++q.queueLength;
}

// Takes the head's values and puts its storage straight onto the free list.
template <class T>
FlakeNode popNode(FlakeQuery<T>& q) {
    FlakeNode* node = q.queueHead;
    q.queueHead = node->next;
    if (q.queueHead == nullptr) q.queueTail = nullptr;
    --q.queueLength;
    const FlakeNode value = *node;
    node->next = q.freeNodes;
    q.freeNodes = node;
    return value;
}

// Stores mirror directions and weights (or colours) of pending lanes [first, first + 4) into
// `block`, given their normals.
template <class T>
void storeFlakeBlock(const FlakeQuery<T>& q, const PendingFlakes<T>& pending, int first,
                     simd::Float4 nx, simd::Float4 ny, simd::Float4 nz, FlakeBlock<T>& block) {
    using simd::Float4;
    const Float4 vx(q.viewDir.x), vy(q.viewDir.y), vz(q.viewDir.z);
    const Float4 k = Float4(2.0f) * ((ny * vy + nx * vx) + nz * vz);
    (vx - nx * k).store(block.x);
    (vy - ny * k).store(block.y);
    (vz - nz * k).store(block.z);
    if constexpr (kPlainFlakes<T>) {
        Float4::load(pending.value[0] + first).store(block.weight);
    } else {
        Float4::load(pending.value[0] + first).store(block.r);
        Float4::load(pending.value[1] + first).store(block.g);
        Float4::load(pending.value[2] + first).store(block.b);
    }
}

// Appends one block (lanes 0-3) or two (lanes 0-7) to the result.
template <class T>
void appendFlakeBlocks(FlakeQuery<T>& q, const PendingFlakes<T>& pending, int blocks) {
    using simd::Float4;
    const int32_t first = q.blocks.count;
    q.blocks.resize(first + blocks);
    const float alpha = q.params->roughness;
    // The scalar back end gains nothing from pairing (and loses its auto-vectorised loops).
    constexpr bool kPaired = !std::is_same_v<Float4, simd::scalar::Float4>;
    if (blocks == 2 && !kPaired) {
        Float4 x, y, z;
        for (int g = 0; g < 2; ++g) {
            kernels::sampleBeckmannNormals4(Float4::load(pending.a + 4 * g),
                                            Float4::load(pending.b + 4 * g), alpha, x, y, z);
            storeFlakeBlock(q, pending, 4 * g, x, y, z, q.blocks.data[first + g]);
        }
    } else if (blocks == 2) {
        using Pair = simd::PairOf<Float4>;
        Pair x, y, z;
        kernels::sampleBeckmannNormals4(Pair(Float4::load(pending.a), Float4::load(pending.a + 4)),
                                        Pair(Float4::load(pending.b), Float4::load(pending.b + 4)),
                                        alpha, x, y, z);
        storeFlakeBlock(q, pending, 0, x.lo, y.lo, z.lo, q.blocks.data[first]);
        storeFlakeBlock(q, pending, 4, x.hi, y.hi, z.hi, q.blocks.data[first + 1]);
    } else {
        Float4 x, y, z;
        kernels::sampleBeckmannNormals4(Float4::load(pending.a), Float4::load(pending.b), alpha, x,
                                        y, z);
        storeFlakeBlock(q, pending, 0, x, y, z, q.blocks.data[first]);
    }
}

// Over budget: drop the rest of the walk and shade this point without discrete flakes.
template <class T>
bool abandonFlakeSearch(FlakeQuery<T>& q) {
    while (q.queueHead != nullptr) popNode(q);
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
    detail::PendingFlakes<T> pending;
    int lanes = 0;  // carried over from leaf to leaf and cell to cell
    int64_t& nodesVisited = q.nodesVisited;
    nodesVisited = 0;

    for (int32_t i = 0; i < q.cellCount; ++i) {
        const FlakeNode root{q.cellSeed[i],
                             p.numFlakes,
                             float(q.cellX[i]),
                             float(q.cellY[i]),
                             float(int64_t(q.cellX[i]) + 1),
                             float(int64_t(q.cellY[i]) + 1),
                             0,
                             nullptr};
        detail::pushNode(q, root);
        int32_t depth = 0;
        int32_t levelRemaining = q.queueLength;

        while (q.queueHead != nullptr) {
            if (levelRemaining <= 0) {
                levelRemaining = q.queueLength;
                ++depth;
            }
            FlakeNode node = detail::popNode(q);
            --levelRemaining;
            if (++nodesVisited > kMaxNodesPerSearch) return detail::abandonFlakeSearch(q);

            const FlakeSquare square{node.uMin, node.vMin, node.uMax, node.vMax};
            if (!node.inside) {
                const BoxClass c = classifyBox(q.footprint, square);
                if (c == BoxClass::outside) continue;
                if (c == BoxClass::inside) node.inside = 1;
            }

            if (depth != p.textureSubdivs) {
                FlakeNode children[4];
                splitFlakeCount(node, children);
                for (const FlakeNode& child : children) {
                    if (child.count > 0) detail::pushNode(q, child);
                }
                continue;
            }

            float weight = 1.0f;
            if (!node.inside) {
                const float w = coveredFraction(q.footprint, square);
                weight = !(w > 0.0f) ? 0.0f : (w >= 1.0f ? 1.0f : w);
            }
            if (int64_t(q.flakeCount) + lanes + node.count > int64_t(kMaxFlakesPerSearch)) {
                return detail::abandonFlakeSearch(q);
            }

            // Flakes of zero weight are emitted too: they keep their place in the sequence.
            LeafFlakes leaf(node.seed);
            for (int32_t f = 0; f < node.count; ++f) {
                if constexpr (kPlainFlakes<T>) {
                    leaf.next(pending.a[lanes], pending.b[lanes]);
                    pending.value[0][lanes] = weight;
                } else {
                    FlakeRgb color;
                    leaf.next(p, pending.a[lanes], pending.b[lanes], color);
                    pending.value[0][lanes] = color.r * weight;
                    pending.value[1][lanes] = color.g * weight;
                    pending.value[2][lanes] = color.b * weight;
                }
                if (++lanes == 8) {
                    q.flakeCount += 8;
                    detail::appendFlakeBlocks(q, pending, 2);
                    lanes = 0;
                }
            }
        }
    }

    // The last block's lanes beyond the real flakes are filler: a = b = 0.5 and weight 0.
    if (lanes > 0) {
        q.flakeCount += uint32_t(lanes);
        const int blocks = lanes > 4 ? 2 : 1;
        for (int k = lanes; k < 4 * blocks; ++k) {
            pending.a[k] = 0.5f;
            pending.b[k] = 0.5f;
            for (auto& channel : pending.value) channel[k] = 0.0f;
        }
        detail::appendFlakeBlocks(q, pending, blocks);
    }
    return q.blocks.count > 0;
}

}  // namespace glitter
