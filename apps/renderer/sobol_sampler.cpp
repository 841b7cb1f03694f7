#include "apps/renderer/sobol_sampler.h"

namespace glitter::renderer {

namespace {

// Called four times per value: worth inlining everywhere.
[[gnu::always_inline]] inline std::uint32_t reverseBits(std::uint32_t x) {
    x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
    x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
    x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
    x = ((x >> 8) & 0x00FF00FFu) | ((x & 0x00FF00FFu) << 8);
    return (x >> 16) | (x << 16);
}

// Wellons' lowbias32.
[[gnu::always_inline]] inline std::uint32_t mix(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

// Laine and Karras' bit-reversed permutation with Burley's constants: applied to reversed
// bits it only lets each bit depend on the bits above it, which is Owen scrambling.
[[gnu::always_inline]] inline std::uint32_t laineKarrasPermutation(std::uint32_t x, std::uint32_t seed) {
    x ^= x * 0x3d20adeau;
    x += seed;
    x *= (seed >> 16) | 1u;
    x ^= x * 0x05526c56u;
    x ^= x * 0x53a22864u;
    return x;
}

[[gnu::always_inline]] inline std::uint32_t nestedUniformScramble(std::uint32_t x, std::uint32_t seed) {
    return reverseBits(laineKarrasPermutation(reverseBits(x), seed));
}

// The second Sobol dimension's generator matrix is Pascal's triangle mod 2: index bit k
// contributes column k, column 0 is the top bit and column k + 1 = column k ^ (column k >> 1).
// Its columns XOR-ed together for every value of each index byte.
struct PascalTables {
    std::uint32_t byByte[4][256];
};

constexpr PascalTables makePascalTables() {
    PascalTables t{};
    std::uint32_t column[32] = {};
    column[0] = 1u << 31;
    for (int k = 1; k < 32; ++k) {
        column[k] = column[k - 1] ^ (column[k - 1] >> 1);
    }
    for (int byte = 0; byte < 4; ++byte) {
        for (int value = 0; value < 256; ++value) {
            std::uint32_t sum = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if ((value >> bit) & 1) {
                    sum ^= column[byte * 8 + bit];
                }
            }
            t.byByte[byte][value] = sum;
        }
    }
    return t;
}

constexpr PascalTables kPascal = makePascalTables();

// The first two Sobol dimensions: van der Corput, and Pascal's triangle.
std::uint32_t sobolDimension(std::uint32_t index, std::uint32_t dimension) {
    if (dimension == 0) {
        return reverseBits(index);
    }
    return kPascal.byByte[0][index & 0xffu] ^ kPascal.byByte[1][(index >> 8) & 0xffu] ^
           kPascal.byByte[2][(index >> 16) & 0xffu] ^ kPascal.byByte[3][index >> 24];
}

}  // namespace

std::uint32_t SobolSampler::hash(std::uint32_t x) { return mix(x); }

std::uint32_t SobolSampler::pixelSeed(std::uint32_t x, std::uint32_t y, std::uint32_t frameSeed) {
    return hash(hash(hash(x + 0x9e3779b9u) ^ y) ^ hash(frameSeed + 0x632be5abu));
}

namespace {

// Both values of a pair of dimensions; they share the pair's seed and shuffled index.
void pairBits(std::uint32_t pixelSeed, std::uint32_t index, std::uint32_t pair,
              std::uint32_t bits[2]) {
    // Each pair of dimensions gets its own seed, and the shuffled index decorrelates the
    // pairs from one another (padding), so one 2-D sequence serves every dimension.
    const std::uint32_t pairSeed = mix(pixelSeed ^ mix(pair + 0x68bc21ebu));
    const std::uint32_t shuffled = nestedUniformScramble(index, pairSeed);
    bits[0] = nestedUniformScramble(sobolDimension(shuffled, 0), mix(pairSeed + 0x02e5be93u));
    bits[1] = nestedUniformScramble(sobolDimension(shuffled, 1), mix(pairSeed + 0x02e5be93u * 2u));
}

// Callers draw a pair's two dimensions one after the other (pixel jitter, light choice and
// position, BSDF uniforms), so each thread keeps the last pair it computed. The values are a
// pure function of the key, so this changes no result whichever thread draws what.
struct LastPair {
    std::uint32_t pixelSeed = 0;
    std::uint32_t index = 0;
    std::uint32_t pair = 0;
    bool valid = false;
    std::uint32_t bits[2] = {0, 0};
};

thread_local LastPair lastPair;

}  // namespace

std::uint32_t SobolSampler::sampleBits(std::uint32_t pixelSeed, std::uint32_t index,
                                       std::uint32_t dimension) {
    LastPair& last = lastPair;
    const std::uint32_t pair = dimension >> 1;
    if (!last.valid || last.pixelSeed != pixelSeed || last.index != index || last.pair != pair) {
        pairBits(pixelSeed, index, pair, last.bits);
        last.pixelSeed = pixelSeed;
        last.index = index;
        last.pair = pair;
        last.valid = true;
    }
    return last.bits[dimension & 1u];
}

float SobolSampler::sample(std::uint32_t pixelSeed, std::uint32_t index, std::uint32_t dimension) {
    // The top 24 bits convert exactly, so the value is at most 1 - 2^-24.
    return static_cast<float>(sampleBits(pixelSeed, index, dimension) >> 8) * 0x1p-24f;
}

}  // namespace glitter::renderer
