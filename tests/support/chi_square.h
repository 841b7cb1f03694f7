#pragma once
// Chi-square goodness-of-fit test for direction samplers: the directions a sampler draws are
// binned on a (θ, φ) histogram of the sphere and compared, cell by cell, with the density it
// claims integrated over the same cells.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace glitter {

/// Draws sample `sampleIndex` into `dir` (a unit vector); false for a rejected sample, which is
/// counted, not binned.
using DirectionSampler = std::function<bool(uint64_t sampleIndex, double dir[3])>;
/// Density per unit solid angle; it may integrate to less than 1, the rest being rejections.
using DirectionDensity = std::function<double(const double dir[3])>;

struct ChiSquareOptions {
    uint64_t sampleCount = 1'000'000;
    /// Rows of equal θ, fine near the poles where narrow lobes at normal incidence sit. Odd counts
    /// put the horizon and the mirror plane φ = π inside cells, not on their edges.
    int thetaBins = 81;
    int phiBins = 161;
    /// Each cell is integrated on subCells² rects; a rect is split into quadrants (at most
    /// maxRefinement times) while its 2 × 2 and 4 × 4 Gauss rules disagree, or two neighbouring
    /// points differ, by more than integrationTolerance × √(expected count) / subCells samples.
    /// A feature must touch the first grid (180° / (thetaBins × 4 × subCells) apart): for cones
    /// narrower than 0.3° set subCells to about 0.6° / half-angle.
    int subCells = 2;
    int maxRefinement = 6;
    double integrationTolerance = 0.05;
    uint64_t maxDensityEvaluations = 50'000'000;
    /// The test fails when p < 1 − (1 − significance)^(1 / testCount) (Šidák).
    double significance = 0.01;
    int testCount = 1;
    /// Cells expected to receive fewer samples are pooled.
    double minExpectedCount = 5.0;
    /// The rejected samples form one more cell, so a wrong rejection rate fails; its variance
    /// includes the integration error, which would otherwise fail densities that integrate to 1.
    bool testRejectedFraction = true;
    double maxDensityExcess = 1e-3;
};

struct ChiSquareResult {
    bool passed = false;
    double statistic = 0.0;
    int degreesOfFreedom = 0;
    double pValue = 0.0;
    double significance = 0.0;  ///< the corrected level p was compared with
    uint64_t sampleCount = 0;
    uint64_t rejectedCount = 0;
    double densityIntegral = 0.0;
    std::string message;  ///< the verdict and its figures, or why there is none
};

/// Never throws: bad options, non-unit or non-finite directions, negative or non-finite densities
/// and samples where the density is zero all give a failed result saying which. Samples in a cell
/// whose integral is zero but whose density is positive at the sample (a sliver every point
/// missed) are pooled instead, and the message says so.
ChiSquareResult chiSquareTest(const DirectionSampler& sampler, const DirectionDensity& density,
                              const ChiSquareOptions& options = {});

constexpr uint64_t kChiSquareSeed = 0x243F6A8885A308D3ULL;
/// Uniforms in [0, 1) for sample `sampleIndex`: positions 4i … 4i + 3 of a splitmix64 stream, so
/// any sample can be drawn on its own; the float ones are the same numbers cut to 24 bits.
std::array<double, 4> chiSquareUniforms(uint64_t sampleIndex, uint64_t seed = kChiSquareSeed);
std::array<float, 4> chiSquareUniformsFloat(uint64_t sampleIndex, uint64_t seed = kChiSquareSeed);

/// Q(a, x), the regularized upper incomplete gamma function (NaN unless a > 0 and x ≥ 0), and the
/// chi-square tail probability built on it.
double regularizedGammaQ(double a, double x);
double chiSquarePValue(double statistic, double degreesOfFreedom);
double sidakSignificance(double significance, int testCount);

namespace detail {

struct CellIntegrals {
    std::vector<double> probability;  ///< ∫pdf dω per cell, row-major
    double error = 0.0;  ///< sum of the coarser rule's disagreements: an upper bound
    double errorSquares = 0.0;
    uint64_t evaluations = 0;
    bool budgetExhausted = false;
    bool invalidDensity = false;  ///< a negative or non-finite density was met (taken as 0)
    double invalidValue = 0.0;
    std::array<double, 3> invalidDirection{};
};
CellIntegrals integrateCells(const DirectionDensity& density, const ChiSquareOptions& options);

struct PooledStatistic {
    double statistic = 0.0;
    int degreesOfFreedom = -1;
    int pooledCells = 0;
    bool poolIgnored = false;
};
/// Pearson's statistic. Categories are taken in increasing expected count; those below
/// minExpected go into one pool, which keeps absorbing the next until it reaches minExpected (a
/// pool that never does is left out). Empty categories expected empty are skipped; each term
/// divides by the expected count plus its extraVariance.
PooledStatistic pooledChiSquare(const std::vector<double>& observed,
                                const std::vector<double>& expected, double minExpected,
                                const std::vector<double>& extraVariance = {});

}  // namespace detail

}  // namespace glitter
