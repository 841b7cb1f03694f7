#pragma once
// The 64-bit xorshift-multiply sequence every flake quantity is drawn from. One instance is
// seeded per quadtree node split and per leaf, always from that node's seed, so a flake depends
// on nothing but its cell and its place in the tree.

#include <bit>
#include <cstdint>

namespace glitter {

class FlakeRandom {
public:
    static constexpr uint64_t kMultiplier = 0x6A5D39EAE116586DULL;
    static constexpr uint64_t kSeedMix = 0x38ECAC5FB3251675ULL;

    // Seeding is one full generator step on (seed XOR kSeedMix); its output becomes the state.
    explicit FlakeRandom(uint32_t seed) {
        uint64_t x = uint64_t(seed) ^ kSeedMix;
        x ^= x >> 20;
        x ^= x << 41;
        x ^= x >> 5;
        state = x * kMultiplier;
    }

    uint64_t next() {
        state ^= state >> 20;
        state ^= state << 41;
        state ^= state >> 5;
        return state * kMultiplier;
    }

    // A float in (0, 1]. It is exactly 1 when the output lies within about 2^39 of 2^64.
    float nextUniform() {
        const uint64_t r = next();
        // Signed conversion plus 2^64 for the upper half: the rounding of the unsigned value
        // this way is part of the pattern. The addend (2^64 or +0.0, which leaves d unchanged)
        // is picked by a mask: the compiler turns a select into a branch, and the top bit of a
        // random number is a coin toss the predictor loses half the time.
        const uint64_t upper = (uint64_t(0) - (r >> 63)) & 0x43F0000000000000ULL;  // 2^64
        const double d = double(int64_t(r)) + std::bit_cast<double>(upper);
        return float(d * 5.421010862427522e-20);
    }

    uint32_t next32() { return uint32_t(next()); }

    uint64_t currentState() const { return state; }

private:
    uint64_t state;
};

}  // namespace glitter
