#pragma once
// Chi-square goodness-of-fit test for direction samplers: checks that the directions a sampler
// draws over the sphere are distributed like the density it claims, cell by cell.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace glitter {

/// Draws the direction of sample `sampleIndex` into `dir` (a unit vector, any hemisphere).
/// Returns false for a rejected or invalid sample: those are counted, not binned.
using DirectionSampler = std::function<bool(uint64_t sampleIndex, double dir[3])>;

/// Density per unit solid angle of what the sampler draws, at the unit direction `dir`.
/// It may integrate to less than 1 over the sphere: the missing mass is the rejected fraction.
using DirectionDensity = std::function<double(const double dir[3])>;

/// How the rows of the histogram divide the polar angle.
enum class ChiSquareRows {
    Angle,   ///< rows of equal θ: fine near the poles, where narrow lobes at normal incidence sit
    Cosine,  ///< rows of equal cos θ: cells of equal solid angle
};

struct ChiSquareOptions {
    /// Samples drawn, rejected ones included.
    uint64_t sampleCount = 1'000'000;
    /// Histogram rows (θ from 0 to π) and columns (φ from 0 to 2π). Odd counts put the equator
    /// and the half-plane φ = π (where an incident direction at φ = 0 is mirrored) in the middle of
    /// cells rather than on cell edges, so directions rounded onto the horizon never land in a
    /// neighbouring cell whose density is zero, and a lobe on the mirror plane is binned
    /// symmetrically.
    int thetaBins = 81;
    int phiBins = 161;
    ChiSquareRows rows = ChiSquareRows::Angle;
    /// Density integration. Each cell is divided into subCells × subCells sub-cells; each
    /// sub-cell is integrated with 2 × 2 Gauss–Legendre points and again as four quadrants (a
    /// 4 × 4 grid of points). A sub-cell is split into its quadrants, at most maxRefinement
    /// times, when the two estimates disagree or when two neighbouring grid points (also across
    /// the edge to the next sub-cell) differ enough that a step between them could move the
    /// integral; in either case by more than integrationTolerance × √(expected count of the
    /// cell) / subCells samples, halved per level. Hard edges (cone rims, the horizon) are
    /// followed this way down to the finest level.
    ///
    /// What this needs: a feature must be hit by at least one point of the first grid, whose
    /// spacing is 180° / (thetaBins × 4 × subCells), 0.28° by default. Uniform cones with a
    /// half-angle of 0.3° or more are integrated to about 1e-3 of their mass or better with the
    /// defaults; for narrower ones set subCells to about 0.6° / half-angle (4 for 0.15°, 6 for
    /// 0.1°), which costs about 20 × thetaBins × phiBins × subCells² density evaluations before
    /// refinement. A missed feature errs towards failing: its samples find too small an
    /// expected count, or (see chiSquareTest) none at all. Cells that receive samples but
    /// integrate to zero are integrated again on a 64 × 64 grid first.
    int subCells = 2;
    int maxRefinement = 6;
    double integrationTolerance = 0.05;
    /// Refinement stops once the density has been evaluated this many times.
    uint64_t maxDensityEvaluations = 50'000'000;
    /// Significance level α before correction, and the number of tests it is shared by: the test
    /// fails when p < α' = 1 − (1 − α)^(1 / testCount) (Šidák).
    double significance = 0.01;
    int testCount = 1;
    /// Cells with a smaller expected count are pooled.
    double minExpectedCount = 5.0;
    /// When true, the rejected samples form one more cell with expected count
    /// sampleCount × (1 − ∫pdf), so a wrong rejection rate fails the test. The variance of that
    /// cell includes the spread of the integral's error, so a density with hard edges that
    /// integrates to 1 does not fail for an integral a few parts in a million short; the price
    /// is that rejection rates off by less than that spread go unnoticed.
    bool testRejectedFraction = true;
    /// The density may integrate to at most 1 + this (integration error allowance).
    double maxDensityExcess = 1e-3;
    /// Where the tables go on failure (created if missing). Empty: the working directory, which
    /// under CTest is the test's build folder.
    std::string dumpDirectory;
    /// File stem of the tables: <tableName>_observed.txt and <tableName>_expected.txt.
    std::string tableName = "chi_square";
};

struct ChiSquareResult {
    bool passed = false;
    double statistic = 0.0;
    int degreesOfFreedom = 0;
    double pValue = 0.0;
    /// The Šidák-corrected significance α' that the p-value was compared with.
    double significance = 0.0;
    uint64_t sampleCount = 0;
    uint64_t rejectedCount = 0;
    /// ∫pdf over the sphere, and a conservative estimate of the integration error (the sum over
    /// sub-cells of the disagreement of the coarser rule, usually well above the actual error).
    double densityIntegral = 0.0;
    double integrationError = 0.0;
    uint64_t densityEvaluations = 0;
    /// Human-readable verdict with the figures above; on failure it names the dumped tables.
    std::string message;
    /// Paths of the dumped tables; empty when nothing was written.
    std::string observedFile;
    std::string expectedFile;
};

/// Runs the test: bins sampleCount draws of `sampler`, integrates `density` over the same cells,
/// pools cells expected to receive fewer than minExpectedCount samples, and compares the
/// chi-square p-value with the corrected significance.
///
/// Samples in a cell whose integrated density is zero fail the test at once when the density is
/// also zero at the first of those samples (the sampler draws where the density says it
/// cannot). When the density is positive there, the cell holds a sliver the integration missed
/// (a rim clipping a corner): the cell keeps its tiny expected count, is pooled, and the message
/// says so.
///
/// Never throws for bad input: invalid options, non-unit or non-finite directions, negative or
/// non-finite densities all give a failed result with a message saying which.
ChiSquareResult chiSquareTest(const DirectionSampler& sampler, const DirectionDensity& density,
                              const ChiSquareOptions& options = {});

/// Seed of the default uniform stream.
constexpr uint64_t kChiSquareSeed = 0x243F6A8885A308D3ULL;

/// Four uniform numbers in [0, 1) for sample `sampleIndex`: positions 4i … 4i + 3 of a splitmix64
/// stream started from `seed`, so any sample can be reproduced on its own and in any order.
std::array<double, 4> chiSquareUniforms(uint64_t sampleIndex, uint64_t seed = kChiSquareSeed);
/// The same stream with 24-bit floats in [0, 1).
std::array<float, 4> chiSquareUniformsFloat(uint64_t sampleIndex, uint64_t seed = kChiSquareSeed);

/// Regularized lower and upper incomplete gamma functions P(a, x) and Q(a, x) = 1 − P(a, x),
/// for a > 0 and x ≥ 0 (NaN otherwise).
double regularizedGammaP(double a, double x);
double regularizedGammaQ(double a, double x);

/// Probability that a chi-square variable with `degreesOfFreedom` exceeds `statistic`.
double chiSquarePValue(double statistic, double degreesOfFreedom);

/// α' = 1 − (1 − α)^(1 / testCount).
double sidakSignificance(double significance, int testCount);

namespace detail {

/// Cell (row × phiBins + column) that the unit direction falls in.
size_t chiSquareCell(const double dir[3], const ChiSquareOptions& options);

struct CellIntegrals {
    /// ∫pdf dω per cell, row-major.
    std::vector<double> probability;
    /// Sum over sub-cells of the estimated integration error (conservative: the disagreement of
    /// the coarser rule), and the sum of its squares.
    double error = 0.0;
    double errorSquares = 0.0;
    uint64_t evaluations = 0;
    bool budgetExhausted = false;
    /// First negative or non-finite density met (treated as zero), if any.
    bool invalidDensity = false;
    double invalidValue = 0.0;
    std::array<double, 3> invalidDirection{};
};

/// Integrates the density over every histogram cell with the Jacobian of the row parametrisation.
CellIntegrals integrateCells(const DirectionDensity& density, const ChiSquareOptions& options);

struct PooledStatistic {
    double statistic = 0.0;
    /// Cells that entered the statistic, the pooled cell counted once, minus one.
    int degreesOfFreedom = -1;
    /// Cells merged into the pooled cell.
    int pooledCells = 0;
    /// True when the pooled cell stayed below minExpected and was left out.
    bool poolIgnored = false;
};

/// Pearson's statistic over categories with pooling of small expected counts: categories are
/// taken in increasing expected count; those below minExpected are merged into one pooled cell,
/// which keeps absorbing the next categories until it reaches minExpected; a pool that never
/// does is left out. Categories with zero expected and zero observed count are skipped. Each
/// term divides by the expected count plus the category's extraVariance (none if the vector is
/// shorter), which accounts for uncertainty in the expected count itself.
PooledStatistic pooledChiSquare(const std::vector<double>& observed,
                                const std::vector<double>& expected, double minExpected,
                                const std::vector<double>& extraVariance = {});

}  // namespace detail

}  // namespace glitter
