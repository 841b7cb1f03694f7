#include "tests/support/chi_square.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

namespace glitter {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
// Below this a cell counts as impossible: even with every cell just under it an honest sampler
// would hit one with a chance of about 1e-5.
constexpr double kZeroExpectedCount = 1e-9;
// Single-precision directions are a few ulps off unit length; more is a sampler bug.
constexpr double kUnitLengthTolerance = 1e-3;
// Cells with samples but no integral are integrated again this finely before the sampler is
// blamed, at most kMaxRecheckedCells of them.
constexpr int kRecheckSubCells = 64;
constexpr size_t kMaxRecheckedCells = 64;
constexpr int kMaxGammaIterations = 1'000'000;

struct CellIntegrals {
    std::vector<double> probability;  // ∫pdf dω per cell, row-major
    double error = 0.0;  // sum of the coarser rule's disagreements: an upper bound
    double errorSquares = 0.0;
    uint64_t evaluations = 0;
    bool budgetExhausted = false;
    bool invalidDensity = false;  // a negative or non-finite density was met (taken as 0)
    double invalidValue = 0.0;
    std::array<double, 3> invalidDirection{};
};

std::string num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string direction(const double d[3]) {
    return "(" + num(d[0]) + ", " + num(d[1]) + ", " + num(d[2]) + ")";
}

uint64_t splitmix64(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

uint64_t streamValue(uint64_t seed, uint64_t position) {
    constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ULL;
    return splitmix64(splitmix64(seed + kGolden) + (position + 1) * kGolden);
}

// e^-x x^a / Γ(a) times P(a, x) by its series (x < a + 1) or Q(a, x) by its continued fraction
// (modified Lentz); both converge in O(√a) steps.
double gammaSeries(double a, double x) {
    double term = 1.0 / a, sum = term;
    for (int n = 1; n < kMaxGammaIterations; ++n) {
        term *= x / (a + n);
        sum += term;
        if (std::fabs(term) <= std::fabs(sum) * std::numeric_limits<double>::epsilon()) break;
    }
    return sum * std::exp(a * std::log(x) - x - std::lgamma(a));
}

double gammaContinuedFraction(double a, double x) {
    constexpr double kTiny = 1e-300;
    double b = x + 1.0 - a, c = 1.0 / kTiny, d = 1.0 / b, h = d;
    for (int i = 1; i < kMaxGammaIterations; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        d = std::fabs(d) < kTiny ? kTiny : d;
        c = b + an / c;
        c = std::fabs(c) < kTiny ? kTiny : c;
        d = 1.0 / d;
        h *= d * c;
        if (std::fabs(d * c - 1.0) <= std::numeric_limits<double>::epsilon()) break;
    }
    return h * std::exp(a * std::log(x) - x - std::lgamma(a));
}

// Row coordinate t in [0, 1] (θ = πt) and φ to a direction; returns dω / (dt dφ).
double directionAt(double t, double phi, double dir[3]) {
    const double sinTheta = std::sin(kPi * t);
    dir[0] = sinTheta * std::cos(phi);
    dir[1] = sinTheta * std::sin(phi);
    dir[2] = std::cos(kPi * t);
    return kPi * sinTheta;
}

// Integrates the density over the cells on a hierarchy of rect grids. Each rect is integrated
// with 2 × 2 Gauss-Legendre points and again as four quadrants (4 × 4 points), and is split into
// those quadrants when the two disagree, or when two neighbouring points, within the rect or
// across its edge with the next rect, differ by enough that a step between them could move the
// integral. The second test finds hard edges (cone rims, the horizon): symmetric rules agree by
// accident when an edge runs through a rect's middle, and an edge between two rects' outer points
// is seen by neither alone.
class CellIntegrator {
  public:
    CellIntegrator(const DirectionDensity& density, const ChiSquareOptions& o,
                   CellIntegrals& out)
        : density(density),
          o(o),
          out(out),
          sub(uint64_t(o.subCells)),
          rows(uint64_t(o.thetaBins)),
          columns(uint64_t(o.phiBins)) {}

    void run() {
        out.probability.assign(rows * columns, 0.0);
        std::vector<Rect> active;
        for (uint64_t i = 0; i < rows * sub; ++i) {
            for (uint64_t j = 0; j < columns * sub; ++j) {
                const size_t cell = size_t((i / sub) * columns + j / sub);
                const double h = double(rows * sub), w = double(columns * sub);
                active.push_back({i, j,
                                  gauss(double(i) / h, double(i + 1) / h, kTwoPi * double(j) / w,
                                        kTwoPi * double(j + 1) / w),
                                  cell});
            }
        }
        // Each cell may err by a fraction of its count's standard deviation, shared over its
        // rects in quadrature.
        const double samples = double(o.sampleCount);
        std::vector<double> tolerance(rows * columns, 0.0);
        for (const Rect& rect : active) tolerance[rect.cell] += rect.value;
        for (double& t : tolerance) {
            t = o.integrationTolerance * std::sqrt(std::max(samples * t, 1.0)) / samples /
                double(sub);
        }
        std::vector<Rect> next;
        std::vector<Points> points;
        std::vector<double> jump;
        for (int level = 0; !active.empty(); ++level) {
            const uint64_t height = (rows * sub) << level, width = (columns * sub) << level;
            const size_t n = active.size();
            points.resize(n);
            jump.assign(n, 0.0);
            for (size_t k = 0; k < n; ++k) {
                evaluate(level, active[k].i, active[k].j, points[k]);
                jump[k] = points[k].innerJump();
            }
            const auto neighbour = [&](size_t k, uint64_t i, uint64_t j, bool below) {
                const auto found =
                    std::lower_bound(active.begin(), active.end(), Rect{i, j, 0.0, 0}, before);
                if (found == active.end() || found->i != i || found->j != j) return;
                const size_t m = size_t(found - active.begin());
                const double d = points[k].edgeJump(points[m], below);
                jump[k] = std::max(jump[k], d);
                jump[m] = std::max(jump[m], d);
            };
            for (size_t k = 0; k < n; ++k) {
                if (active[k].i + 1 < height) neighbour(k, active[k].i + 1, active[k].j, true);
                neighbour(k, active[k].i, (active[k].j + 1) % width, false);
            }
            // A step between two neighbouring points moves at most one point's share of the
            // rect, a sixteenth, across it.
            const double pointShare = kTwoPi / (16.0 * double(height) * double(width));
            next.clear();
            for (size_t k = 0; k < n; ++k) {
                const Rect& rect = active[k];
                const Points& p = points[k];
                const double fine = p.quadrant[0] + p.quadrant[1] + p.quadrant[2] + p.quadrant[3];
                const double allowed = tolerance[rect.cell] * std::ldexp(1.0, -level);
                bool accept =
                    (std::fabs(fine - rect.value) <= allowed && jump[k] * pointShare <= allowed) ||
                    level >= o.maxRefinement;
                if (!accept && out.evaluations >= o.maxDensityEvaluations) {
                    out.budgetExhausted = accept = true;
                }
                if (accept) {
                    out.probability[rect.cell] += fine;
                    out.error += std::fabs(fine - rect.value);
                    out.errorSquares += (fine - rect.value) * (fine - rect.value);
                    continue;
                }
                for (uint64_t q = 0; q < 4; ++q) {
                    next.push_back(
                        {2 * rect.i + (q >> 1), 2 * rect.j + (q & 1), p.quadrant[q], rect.cell});
                }
            }
            std::sort(next.begin(), next.end(), before);
            active.swap(next);
        }
    }

    // ∫pdf over one cell on a uniform perAxis × perAxis grid of rects.
    double integrateUniformly(size_t cell, int perAxis) {
        const double dt = 1.0 / (double(rows) * perAxis);
        const double dp = kTwoPi / (double(columns) * perAxis);
        double sum = 0.0;
        for (int a = 0; a < perAxis; ++a) {
            const double t0 = (double(cell / columns) * perAxis + a) * dt;
            for (int b = 0; b < perAxis; ++b) {
                const double phi0 = (double(cell % columns) * perAxis + b) * dp;
                sum += gauss(t0, t0 + dt, phi0, phi0 + dp);
            }
        }
        return sum;
    }

  private:
    struct Rect {
        uint64_t i, j;
        double value;
        size_t cell;
    };

    // The integrand on a rect's 4 × 4 grid (rows along θ) and its quadrants' Gauss estimates,
    // quadrant q being row half q >> 1 and column half q & 1.
    struct Points {
        std::array<double, 4> quadrant;
        std::array<float, 16> value;

        float at(int a, int b) const { return value[size_t(a * 4 + b)]; }
        double innerJump() const {
            float d = 0.0f;
            for (int a = 0; a < 4; ++a) {
                for (int b = 0; b < 3; ++b) {
                    d = std::max({d, std::fabs(at(a, b) - at(a, b + 1)),
                                  std::fabs(at(b, a) - at(b + 1, a))});
                }
            }
            return d;
        }
        // Against the rect after this one in θ (below) or in φ.
        double edgeJump(const Points& other, bool below) const {
            float d = 0.0f;
            for (int k = 0; k < 4; ++k) {
                d = std::max(d, below ? std::fabs(at(3, k) - other.at(0, k))
                                      : std::fabs(at(k, 3) - other.at(k, 0)));
            }
            return d;
        }
    };

    static bool before(const Rect& a, const Rect& b) { return a.i != b.i ? a.i < b.i : a.j < b.j; }

    void evaluate(int level, uint64_t i, uint64_t j, Points& p) {
        const double height = double((rows * sub) << level);
        const double width = double((columns * sub) << level);
        const double t0 = double(i) / height;
        const double phi0 = kTwoPi * double(j) / width;
        // Gauss nodes of the two halves of [0, 1].
        const double node = 0.5 / std::sqrt(3.0);
        const double offsets[4] = {0.5 * (0.5 - node), 0.5 * (0.5 + node), 0.5 * (1.5 - node),
                                   0.5 * (1.5 + node)};
        double sums[4] = {0.0, 0.0, 0.0, 0.0};
        for (int a = 0; a < 4; ++a) {
            for (int b = 0; b < 4; ++b) {
                const double v =
                    integrand(t0 + offsets[a] / height, phi0 + kTwoPi * offsets[b] / width);
                p.value[size_t(a * 4 + b)] = float(v);
                sums[(a >> 1) * 2 + (b >> 1)] += v;
            }
        }
        const double weight = 1.0 / (4.0 * height) * kTwoPi / (4.0 * width);
        for (int q = 0; q < 4; ++q) p.quadrant[size_t(q)] = sums[q] * weight;
    }

    double integrand(double t, double phi) {
        double dir[3];
        const double jacobian = directionAt(t, phi, dir);
        const double value = density(dir);
        ++out.evaluations;
        if (!(value >= 0.0) || !std::isfinite(value)) {
            if (!out.invalidDensity) {
                out.invalidDensity = true;
                out.invalidValue = value;
                out.invalidDirection = {dir[0], dir[1], dir[2]};
            }
            return 0.0;
        }
        return value * jacobian;
    }

    // Two-point Gauss-Legendre per axis: exact for bicubics, and never on a rect's edge, so the
    // poles and a cut-off at the horizon are never evaluated.
    double gauss(double t0, double t1, double phi0, double phi1) {
        const double ht = 0.5 * (t1 - t0), hp = 0.5 * (phi1 - phi0);
        const double mt = t0 + ht, mp = phi0 + hp;
        const double ot = ht / std::sqrt(3.0), op = hp / std::sqrt(3.0);
        const double sum = integrand(mt - ot, mp - op) + integrand(mt + ot, mp - op) +
                           integrand(mt - ot, mp + op) + integrand(mt + ot, mp + op);
        return sum * ht * hp;
    }

    const DirectionDensity& density;
    const ChiSquareOptions& o;
    CellIntegrals& out;
    const uint64_t sub, rows, columns;
};

size_t chiSquareCell(const double dir[3], const ChiSquareOptions& o) {
    const double t = std::atan2(std::hypot(dir[0], dir[1]), dir[2]) / kPi;
    double phi = std::atan2(dir[1], dir[0]);
    phi += phi < 0.0 ? kTwoPi : 0.0;
    // t and φ / 2π lie in [0, 1] for finite directions; exactly 1 belongs to the last cell.
    const int row = std::min(o.thetaBins - 1, int(t * o.thetaBins));
    const int column = std::min(o.phiBins - 1, int(phi / kTwoPi * o.phiBins));
    return size_t(row) * size_t(o.phiBins) + size_t(column);
}

bool validOptions(const ChiSquareOptions& o) {
    const double cells = double(o.thetaBins) * o.phiBins;
    return o.sampleCount >= 1 && o.thetaBins >= 1 && o.phiBins >= 1 && cells <= 0x1p20 &&
           o.subCells >= 1 && o.subCells <= 64 && cells * o.subCells * o.subCells <= 0x1p23 &&
           o.maxRefinement >= 0 && o.maxRefinement <= 20 && o.integrationTolerance > 0.0 &&
           std::isfinite(o.integrationTolerance) && o.significance > 0.0 &&
           o.significance < 1.0 && o.testCount >= 1 && o.minExpectedCount > 0.0 &&
           std::isfinite(o.minExpectedCount) && o.maxDensityExcess >= 0.0;
}

}  // namespace

std::array<double, 4> chiSquareUniforms(uint64_t sampleIndex, uint64_t seed) {
    std::array<double, 4> u;
    for (uint64_t k = 0; k < 4; ++k) {
        u[k] = double(streamValue(seed, 4 * sampleIndex + k) >> 11) * 0x1.0p-53;
    }
    return u;
}

std::array<float, 4> chiSquareUniformsFloat(uint64_t sampleIndex, uint64_t seed) {
    std::array<float, 4> u;
    for (uint64_t k = 0; k < 4; ++k) {
        u[k] = float(streamValue(seed, 4 * sampleIndex + k) >> 40) * 0x1.0p-24f;
    }
    return u;
}

double regularizedGammaQ(double a, double x) {
    if (!(std::isfinite(a) && a > 0.0 && x >= 0.0)) return std::numeric_limits<double>::quiet_NaN();
    if (x == 0.0) return 1.0;
    if (std::isinf(x)) return 0.0;
    return x < a + 1.0 ? 1.0 - gammaSeries(a, x) : gammaContinuedFraction(a, x);
}

double chiSquarePValue(double statistic, double degreesOfFreedom) {
    return regularizedGammaQ(0.5 * degreesOfFreedom, 0.5 * statistic);
}

double sidakSignificance(double significance, int testCount) {
    // 1 − (1 − α)^(1/n), written to keep its digits for small α and large n.
    return -std::expm1(std::log1p(-significance) / double(testCount));
}

namespace detail {

PooledStatistic pooledChiSquare(const std::vector<double>& observed,
                                const std::vector<double>& expected, double minExpected,
                                const std::vector<double>& extraVariance) {
    std::vector<size_t> order(expected.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return expected[a] < expected[b]; });
    PooledStatistic result;
    int cells = 0;
    double poolObserved = 0.0, poolExpected = 0.0, poolVariance = 0.0;
    for (const size_t i : order) {
        if (expected[i] <= 0.0 && observed[i] == 0.0) continue;
        const double variance = expected[i] + (i < extraVariance.size() ? extraVariance[i] : 0.0);
        if (expected[i] < minExpected || (result.pooledCells > 0 && poolExpected < minExpected)) {
            poolObserved += observed[i];
            poolExpected += expected[i];
            poolVariance += variance;
            ++result.pooledCells;
            continue;
        }
        result.statistic += (observed[i] - expected[i]) * (observed[i] - expected[i]) / variance;
        ++cells;
    }
    if (result.pooledCells > 0 && poolExpected >= minExpected) {
        result.statistic +=
            (poolObserved - poolExpected) * (poolObserved - poolExpected) / poolVariance;
        ++cells;
    }
    result.poolIgnored = result.pooledCells > 0 && poolExpected < minExpected;
    // Every expected count is known in advance: the only constraint is the total.
    result.degreesOfFreedom = cells - 1;
    return result;
}

}  // namespace detail

ChiSquareResult chiSquareTest(const DirectionSampler& sampler, const DirectionDensity& density,
                              const ChiSquareOptions& o) {
    ChiSquareResult result;
    result.sampleCount = o.sampleCount;
    if (!validOptions(o)) {
        result.message = "Invalid chi-square options.";
        return result;
    }
    result.significance = sidakSignificance(o.significance, o.testCount);

    const size_t cellCount = size_t(o.thetaBins) * size_t(o.phiBins);
    std::vector<double> observed(cellCount, 0.0);
    // The first direction in each cell, to ask the density about if the cell has none.
    std::vector<std::array<double, 3>> firstDirection(cellCount);
    for (uint64_t i = 0; i < o.sampleCount; ++i) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        double dir[3] = {nan, nan, nan};
        if (!sampler(i, dir)) {
            ++result.rejectedCount;
            continue;
        }
        const double length = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
        if (!(std::fabs(length - 1.0) <= kUnitLengthTolerance)) {
            result.message = "Sample " + std::to_string(i) + " is not a finite unit vector: " +
                             direction(dir) + ".";
            return result;
        }
        for (double& component : dir) component /= length;
        const size_t cell = chiSquareCell(dir, o);
        if (observed[cell] == 0.0) firstDirection[cell] = {dir[0], dir[1], dir[2]};
        observed[cell] += 1.0;
    }

    CellIntegrals integrals;
    CellIntegrator integrator(density, o, integrals);
    integrator.run();
    const double samples = double(o.sampleCount);
    // A cell with samples and no integral may hold a sliver every point missed: look again.
    size_t rechecked = 0;
    for (size_t i = 0; i < cellCount && rechecked < kMaxRecheckedCells; ++i) {
        if (observed[i] > 0.0 && samples * integrals.probability[i] < kZeroExpectedCount) {
            integrals.probability[i] = integrator.integrateUniformly(i, kRecheckSubCells);
            ++rechecked;
        }
    }
    result.densityIntegral =
        std::accumulate(integrals.probability.begin(), integrals.probability.end(), 0.0);
    if (integrals.invalidDensity) {
        result.message = "The density returned " + num(integrals.invalidValue) + " at " +
                         direction(integrals.invalidDirection.data()) +
                         "; a density must be finite and non-negative.";
        return result;
    }
    const std::string figures =
        " " + std::to_string(o.sampleCount) + " samples, " +
        std::to_string(result.rejectedCount) + " rejected, density integral " +
        num(result.densityIntegral) + " (integration error ~" + num(integrals.error * samples) +
        " samples" + (integrals.budgetExhausted ? ", evaluation budget exhausted)." : ").");

    // Samples where the integral is zero are the sampler's fault if the density is zero right
    // where they landed; otherwise the cell holds a sliver too thin for every point (a rim
    // clipping a corner) and keeps its tiny expected count, to be pooled.
    std::vector<double> expected(cellCount);
    uint64_t strayCount = 0, slightCount = 0;
    size_t firstStray = cellCount;
    for (size_t i = 0; i < cellCount; ++i) {
        expected[i] = samples * integrals.probability[i];
        if (expected[i] >= kZeroExpectedCount || observed[i] == 0.0) continue;
        const double atSample = density(firstDirection[i].data());
        const bool slight = atSample > 0.0 && std::isfinite(atSample);
        (slight ? slightCount : strayCount) += uint64_t(observed[i]);
        firstStray = slight ? firstStray : std::min(firstStray, i);
    }
    if (strayCount > 0) {
        result.message = std::to_string(strayCount) +
                         " samples landed where the density calls them impossible (first at " +
                         direction(firstDirection[firstStray].data()) + ")." + figures;
        return result;
    }
    const std::string slightNote =
        slightCount == 0 ? ""
                         : " " + std::to_string(slightCount) +
                               " samples fell in cells where the integration found no density "
                               "although it is positive at the samples; they were pooled.";
    if (result.densityIntegral > 1.0 + o.maxDensityExcess) {
        result.message = "The density integrates to more than 1." + figures;
        return result;
    }

    std::vector<double> categoryObserved = observed, categoryExpected = expected, extraVariance;
    if (o.testRejectedFraction) {
        // The expected rejections carry the error of the whole integral (rect errors taken as
        // independent), negligible in each cell but not summed over all of them.
        const double spread = samples * std::sqrt(integrals.errorSquares);
        categoryObserved.push_back(double(result.rejectedCount));
        categoryExpected.push_back(samples * std::max(0.0, 1.0 - result.densityIntegral));
        extraVariance.assign(cellCount, 0.0);
        extraVariance.push_back(spread * spread);
    }
    const detail::PooledStatistic pooled = detail::pooledChiSquare(
        categoryObserved, categoryExpected, o.minExpectedCount, extraVariance);
    result.statistic = pooled.statistic;
    result.degreesOfFreedom = pooled.degreesOfFreedom;
    if (pooled.degreesOfFreedom < 1) {
        result.message = "Too few cells with an expected count of at least " +
                         num(o.minExpectedCount) + " for a chi-square test." + figures;
        return result;
    }
    result.pValue = chiSquarePValue(pooled.statistic, pooled.degreesOfFreedom);
    result.passed = std::isfinite(result.pValue) && result.pValue >= result.significance;
    result.message = std::string("Chi-square test ") + (result.passed ? "passed" : "failed") +
                     ": p-value " + num(result.pValue) + (result.passed ? " >= " : " < ") +
                     num(result.significance) + " (statistic " + num(result.statistic) + ", " +
                     std::to_string(result.degreesOfFreedom) + " degrees of freedom, " +
                     std::to_string(pooled.pooledCells) + " cells pooled" +
                     (pooled.poolIgnored ? " and ignored" : "") + ")." + slightNote + figures;
    return result;
}

}  // namespace glitter
