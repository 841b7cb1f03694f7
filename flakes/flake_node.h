#pragma once
// One square of a cell's quadtree, and the seed of a cell's root.

#include <cstdint>

namespace glitter {

struct FlakeNode {
    uint32_t seed;
    int32_t count;  // flakes inside the square
    float uMin, vMin, uMax, vMax;
    uint8_t inside;  // the square lies wholly inside the footprint: no more geometry needed
};

// NOT (X XOR Y) on the two's-complement patterns. Cells on which X XOR Y agrees, such as (3, 5)
// and (5, 3), share a seed and so an identical flake layout; that is the defined pattern.
constexpr uint32_t cellSeed(int32_t x, int32_t y) { return ~(uint32_t(x) ^ uint32_t(y)); }

}  // namespace glitter
