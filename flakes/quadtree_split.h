#pragma once
// Splitting a quadtree node's flake count among its four children with a seeded random
// sequence: exactly for small counts, by a normal approximation of the multinomial otherwise.
// Cost per node is constant however many flakes the node holds.

#include <cstdint>

#include "flakes/flake_node.h"
#include "flakes/flake_random.h"

namespace glitter {

// Children 0..3 counter-clockwise from the low corner; seeds 4*s + k (wrapping).
void splitFlakeCount(const FlakeNode& node, FlakeNode children[4]);

// The four child counts of a node with this seed and count: all a split computes that does not
// depend on where the node lies.
void splitCounts(uint32_t seed, int32_t n, int32_t counts[4]);

// The four children of `node` with the given counts.
void splitFlakeNode(const FlakeNode& node, const int32_t counts[4], FlakeNode children[4]);

// Makes the four counts non-negative with sum n, drawing at most one number from `random`.
// Counts below 1 are first set to 0. Runs in bounded time whatever the counts.
void balanceQuadrantCounts(int32_t n, int32_t counts[4], FlakeRandom& random);

namespace detail {
// floor(x + 0.5) as the split forms it: truncation, minus one when that overshoots. A value that
// is not a number gives 0; values beyond the int32 range saturate (neither can reach an int
// conversion, which would be undefined).
int32_t roundCount(float x);

// The four quadrant counts of the normal approximation before the fix-up (n >= 9).
void approximateQuadrantCounts(int32_t n, FlakeRandom& random, int32_t counts[4]);
}  // namespace detail

}  // namespace glitter
