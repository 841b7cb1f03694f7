// Deterministic sample values: padded two-dimensional Sobol points with hash-based Owen
// scrambling, keyed on a pixel seed, a sample index and a dimension. No state, so any thread
// can draw any pixel's samples and get the same numbers.
#pragma once

#include <cstdint>

namespace glitter::renderer {

class SobolSampler {
  public:
    /// The seed of pixel (x, y) in frame `frameSeed`.
    static std::uint32_t pixelSeed(std::uint32_t x, std::uint32_t y, std::uint32_t frameSeed);

    /// Sample number `index` of dimension `dimension` for a pixel, in [0, 1). Dimensions
    /// 2k and 2k + 1 form one scrambled (0, 2)-sequence over the indices, so the first 2^m
    /// indices of a pair are stratified in every elementary interval of area 2^-m.
    static float sample(std::uint32_t pixelSeed, std::uint32_t index, std::uint32_t dimension);

    /// The same value as a 32-bit fixed-point fraction (for tests of the stratification).
    static std::uint32_t sampleBits(std::uint32_t pixelSeed, std::uint32_t index,
                                    std::uint32_t dimension);

    /// A well-mixed 32-bit hash (used for seeds).
    static std::uint32_t hash(std::uint32_t x);
};

}  // namespace glitter::renderer
