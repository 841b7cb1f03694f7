#include "apps/renderer/sobol_sampler.h"

namespace glitter::renderer {

namespace {

std::uint32_t reverseBits(std::uint32_t x) {
    x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
    x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
    x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
    x = ((x >> 8) & 0x00FF00FFu) | ((x & 0x00FF00FFu) << 8);
    return (x >> 16) | (x << 16);
}

// Laine and Karras' bit-reversed permutation with Burley's constants: applied to reversed
// bits it only lets each bit depend on the bits above it, which is Owen scrambling.
std::uint32_t laineKarrasPermutation(std::uint32_t x, std::uint32_t seed) {
    x ^= x * 0x3d20adeau;
    x += seed;
    x *= (seed >> 16) | 1u;
    x ^= x * 0x05526c56u;
    x ^= x * 0x53a22864u;
    return x;
}

std::uint32_t nestedUniformScramble(std::uint32_t x, std::uint32_t seed) {
    return reverseBits(laineKarrasPermutation(reverseBits(x), seed));
}

// The first two Sobol dimensions: van der Corput, and the one whose generator matrix is
// Pascal's triangle mod 2.
std::uint32_t sobolDimension(std::uint32_t index, std::uint32_t dimension) {
    if (dimension == 0) {
        return reverseBits(index);
    }
    std::uint32_t result = 0;
    for (std::uint32_t v = 1u << 31; index != 0; index >>= 1, v ^= v >> 1) {
        if ((index & 1u) != 0) {
            result ^= v;
        }
    }
    return result;
}

}  // namespace

std::uint32_t SobolSampler::hash(std::uint32_t x) {
    // Wellons' lowbias32.
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

std::uint32_t SobolSampler::pixelSeed(std::uint32_t x, std::uint32_t y, std::uint32_t frameSeed) {
    return hash(hash(hash(x + 0x9e3779b9u) ^ y) ^ hash(frameSeed + 0x632be5abu));
}

std::uint32_t SobolSampler::sampleBits(std::uint32_t pixelSeed, std::uint32_t index,
                                       std::uint32_t dimension) {
    // Each pair of dimensions gets its own seed, and the shuffled index decorrelates the
    // pairs from one another (padding), so one 2-D sequence serves every dimension.
    const std::uint32_t pairSeed = hash(pixelSeed ^ hash((dimension >> 1) + 0x68bc21ebu));
    const std::uint32_t shuffled = nestedUniformScramble(index, pairSeed);
    const std::uint32_t component = dimension & 1u;
    const std::uint32_t bits = sobolDimension(shuffled, component);
    return nestedUniformScramble(bits, hash(pairSeed + 0x02e5be93u * (component + 1)));
}

float SobolSampler::sample(std::uint32_t pixelSeed, std::uint32_t index, std::uint32_t dimension) {
    // The top 24 bits convert exactly, so the value is at most 1 - 2^-24.
    return static_cast<float>(sampleBits(pixelSeed, index, dimension) >> 8) * 0x1p-24f;
}

}  // namespace glitter::renderer
