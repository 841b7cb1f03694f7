#include "apps/renderer/sobol_sampler.h"

namespace glitter::renderer {

namespace {

// Each byte's bits reversed.
struct ByteReversal {
    std::uint8_t byByte[256];
};

constexpr ByteReversal makeByteReversal() {
    ByteReversal t{};
    for (int value = 0; value < 256; ++value) {
        int reversed = 0;
        for (int bit = 0; bit < 8; ++bit) {
            reversed |= ((value >> bit) & 1) << (7 - bit);
        }
        t.byByte[value] = static_cast<std::uint8_t>(reversed);
    }
    return t;
}

constexpr ByteReversal kReversed = makeByteReversal();

// Called four times per value: four table reads, inlined everywhere.
[[gnu::always_inline]] constexpr std::uint32_t reverseBits(std::uint32_t x) {
    return (std::uint32_t{kReversed.byByte[x & 0xffu]} << 24) |
           (std::uint32_t{kReversed.byByte[(x >> 8) & 0xffu]} << 16) |
           (std::uint32_t{kReversed.byByte[(x >> 16) & 0xffu]} << 8) |
           std::uint32_t{kReversed.byByte[x >> 24]};
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
// Its columns XOR-ed together for every value of each index byte, bit-reversed: reversal
// commutes with XOR, so the tables give the reversed point that the scramble starts from.
struct PascalTables {
    std::uint32_t byByte[4][256];
};

constexpr PascalTables makeReversedPascalTables() {
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
            t.byByte[byte][value] = reverseBits(sum);
        }
    }
    return t;
}

constexpr PascalTables kReversedPascal = makeReversedPascalTables();

// The first two Sobol dimensions (van der Corput, and Pascal's triangle), bit-reversed. The
// van der Corput point is the reversed index, so reversed it is the index itself.
[[gnu::always_inline]] inline std::uint32_t reversedSobolDimension(std::uint32_t index,
                                                                  std::uint32_t dimension) {
    if (dimension == 0) return index;
    return kReversedPascal.byByte[0][index & 0xffu] ^
           kReversedPascal.byByte[1][(index >> 8) & 0xffu] ^
           kReversedPascal.byByte[2][(index >> 16) & 0xffu] ^ kReversedPascal.byByte[3][index >> 24];
}

}  // namespace

std::uint32_t SobolSampler::hash(std::uint32_t x) { return mix(x); }

std::uint32_t SobolSampler::pixelSeed(std::uint32_t x, std::uint32_t y, std::uint32_t frameSeed) {
    return hash(hash(hash(x + 0x9e3779b9u) ^ y) ^ hash(frameSeed + 0x632be5abu));
}

namespace {

// Callers draw a pair's two dimensions one after the other (pixel jitter, light position, BSDF
// uniforms), and the two share the pair's seed and shuffled index. Each thread keeps those of
// the last pair it met and the values it has computed of it. The values are a pure function of
// pixel seed, index and dimension, so this changes no result whichever thread draws what.
struct LastPair {
    std::uint32_t pixelSeed = 0;
    std::uint32_t index = 0;
    std::uint32_t pair = 0;
    bool known = false;
    std::uint32_t pairSeed = 0;
    std::uint32_t shuffled = 0;
    bool valueKnown[2] = {false, false};
    std::uint32_t bits[2] = {0, 0};
};

thread_local LastPair lastPair;

}  // namespace

std::uint32_t SobolSampler::sampleBits(std::uint32_t pixelSeed, std::uint32_t index,
                                       std::uint32_t dimension) {
    LastPair& last = lastPair;
    const std::uint32_t pair = dimension >> 1;
    if (!last.known || last.pixelSeed != pixelSeed || last.index != index || last.pair != pair) {
        // Each pair of dimensions gets its own seed, and the shuffled index decorrelates the
        // pairs from one another (padding), so one 2-D sequence serves every dimension.
        last.pixelSeed = pixelSeed;
        last.index = index;
        last.pair = pair;
        last.known = true;
        last.pairSeed = mix(pixelSeed ^ mix(pair + 0x68bc21ebu));
        last.shuffled = nestedUniformScramble(index, last.pairSeed);
        last.valueKnown[0] = last.valueKnown[1] = false;
    }
    const std::uint32_t component = dimension & 1u;
    if (!last.valueKnown[component]) {
        // The nested uniform scramble of the Sobol point, whose first reversal the reversed
        // dimension has already made.
        last.bits[component] =
            reverseBits(laineKarrasPermutation(reversedSobolDimension(last.shuffled, component),
                                               mix(last.pairSeed + 0x02e5be93u * (component + 1))));
        last.valueKnown[component] = true;
    }
    return last.bits[component];
}

float SobolSampler::sample(std::uint32_t pixelSeed, std::uint32_t index, std::uint32_t dimension) {
    // The top 24 bits convert exactly, so the value is at most 1 - 2^-24.
    return static_cast<float>(sampleBits(pixelSeed, index, dimension) >> 8) * 0x1p-24f;
}

}  // namespace glitter::renderer
