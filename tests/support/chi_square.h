#pragma once
// Chi-square goodness-of-fit test for direction samplers: the directions drawn are binned on a
// (θ, φ) histogram of the sphere and compared, cell by cell, with the claimed density integrated.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace glitter {

/// Draws sample `sampleIndex` into `dir` (a unit vector); false for a rejected sample.
using DirectionSampler = std::function<bool(uint64_t sampleIndex, double dir[3])>;
/// Density per unit solid angle; it may integrate to less than 1, the rest being rejections.
using DirectionDensity = std::function<double(const double dir[3])>;

struct ChiSquareOptions {
    uint64_t sampleCount = 1'000'000;
    /// Odd counts put the horizon and the mirror plane φ = π inside cells, not on their edges.
    int thetaBins = 81;
    int phiBins = 161;
    /// Each cell is integrated on subCells² rects, split (at most maxRefinement times) where the
    /// density changes. A feature narrower than a rect's half may be missed.
    int subCells = 4;
    int maxRefinement = 6;
    double integrationTolerance = 0.05;  ///< in standard deviations of a cell's count
    double significance = 0.01;          ///< Šidák-corrected over testCount runs
    int testCount = 1;
    double minExpectedCount = 5.0;  ///< cells expected to receive fewer samples are pooled
    /// The rejected samples form one more cell, so a wrong rejection rate fails.
    bool testRejectedFraction = true;
};

struct ChiSquareResult {
    bool passed = false;
    int degreesOfFreedom = 0;
    uint64_t rejectedCount = 0;
    double densityIntegral = 0.0;
    std::string message;  ///< the verdict and its figures, or why there is none
};

/// Non-unit directions, invalid densities and samples where the density is zero fail, saying so.
ChiSquareResult chiSquareTest(const DirectionSampler& sampler, const DirectionDensity& density,
                              const ChiSquareOptions& options = {});

/// Upper tail of the chi-square distribution (Wilson-Hilferty: good to a few per cent of p from
/// ten degrees of freedom on, and a histogram has thousands).
double chiSquarePValue(double statistic, int degreesOfFreedom);

constexpr uint64_t kChiSquareSeed = 0x243F6A8885A308D3ULL;
/// Uniforms in [0, 1) for sample `sampleIndex`, drawn independently of every other sample; the
/// float ones are the same numbers cut to 24 bits.
std::array<double, 4> chiSquareUniforms(uint64_t sampleIndex, uint64_t seed = kChiSquareSeed);
std::array<float, 4> chiSquareUniformsFloat(uint64_t sampleIndex, uint64_t seed = kChiSquareSeed);

}  // namespace glitter
