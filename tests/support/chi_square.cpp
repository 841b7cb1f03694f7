#include "tests/support/chi_square.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

namespace glitter {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Single-precision directions are a few ulps off unit length; more is a sampler bug.
constexpr double kUnitLengthTolerance = 1e-3;
// The integration may overestimate a density that integrates to 1 by about this much.
constexpr double kMaxDensityExcess = 1e-3;
// Below this a cell counts as impossible: even with every cell just under it an honest sampler
// would hit one with a chance of about 1e-5.
constexpr double kZeroExpectedCount = 1e-9;

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

size_t cellOf(const double dir[3], const ChiSquareOptions& o) {
    const double t = std::atan2(std::hypot(dir[0], dir[1]), dir[2]) / kPi;
    double phi = std::atan2(dir[1], dir[0]);
    phi += phi < 0.0 ? 2.0 * kPi : 0.0;
    // t and φ / 2π lie in [0, 1] for unit directions; exactly 1 belongs to the last cell.
    const int row = std::min(o.thetaBins - 1, int(t * o.thetaBins));
    const int column = std::min(o.phiBins - 1, int(phi / (2.0 * kPi) * o.phiBins));
    return size_t(row) * size_t(o.phiBins) + size_t(column);
}

// The density times dω / (dθ dφ), integrated over rects by the trapezoid rule on a 3 × 3 grid. A
// rect is split while a step between its grid values could move the integral more than allowed.
// Neighbours share edge points, so an edge of the density crossing between rects is seen by both.
struct Integrator {
    const DirectionDensity& density;
    double samples, tolerance;
    int subCells, maxDepth;
    double errorSquares = 0.0;  // of the accepted rects, each against its 2 × 2 estimate
    std::string invalid{};      // why the density is not one, from its first invalid value

    double integrand(double theta, double phi) {
        const double dir[3] = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                               std::cos(theta)};
        const double value = density(dir);
        if (!(value >= 0.0 && std::isfinite(value)) && invalid.empty()) {
            invalid = "The density returned " + num(value) + " at " + direction(dir) +
                      "; a density must be finite and non-negative.";
        }
        return invalid.empty() ? value * std::sin(theta) : 0.0;
    }

    double rect(double t0, double t1, double p0, double p1, int depth = 0, double allowed = 0.0) {
        const double tm = 0.5 * (t0 + t1), pm = 0.5 * (p0 + p1);
        const double ts[3] = {t0, tm, t1}, ps[3] = {p0, pm, p1};
        const double weights[3] = {0.25, 0.5, 0.25};
        double sum = 0.0, corners = 0.0, low = INFINITY, high = -INFINITY;
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) {
                const double v = integrand(ts[a], ps[b]);
                sum += weights[a] * weights[b] * v;
                corners += a != 1 && b != 1 ? 0.25 * v : 0.0;
                low = std::min(low, v);
                high = std::max(high, v);
            }
        const double area = (t1 - t0) * (p1 - p0);
        if (depth == 0) {
            // A cell may err by a fraction of its count's standard deviation, shared over its
            // rects; its count is guessed from this rect's.
            const double count = samples * sum * area * subCells * subCells;
            allowed = tolerance * std::sqrt(std::max(count, 1.0)) / samples / subCells;
        }
        if (depth >= maxDepth || (high - low) * area <= allowed) {
            errorSquares += (sum - corners) * area * (sum - corners) * area;
            return sum * area;
        }
        allowed *= 0.5;
        return rect(t0, tm, p0, pm, depth + 1, allowed) + rect(t0, tm, pm, p1, depth + 1, allowed) +
               rect(tm, t1, p0, pm, depth + 1, allowed) + rect(tm, t1, pm, p1, depth + 1, allowed);
    }
};

}  // namespace

std::array<double, 4> chiSquareUniforms(uint64_t sampleIndex, uint64_t seed) {
    std::array<double, 4> u;
    for (uint64_t k = 0; k < 4; ++k)
        u[k] = double(streamValue(seed, 4 * sampleIndex + k) >> 11) * 0x1.0p-53;
    return u;
}

std::array<float, 4> chiSquareUniformsFloat(uint64_t sampleIndex, uint64_t seed) {
    std::array<float, 4> u;
    for (uint64_t k = 0; k < 4; ++k)
        u[k] = float(streamValue(seed, 4 * sampleIndex + k) >> 40) * 0x1.0p-24f;
    return u;
}

double chiSquarePValue(double statistic, int degreesOfFreedom) {
    const double k = degreesOfFreedom, s = 2.0 / (9.0 * k);
    const double z = (std::cbrt(statistic / k) - (1.0 - s)) / std::sqrt(s);
    return 0.5 * std::erfc(z / std::sqrt(2.0));
}

ChiSquareResult chiSquareTest(const DirectionSampler& sampler, const DirectionDensity& density,
                              const ChiSquareOptions& o) {
    ChiSquareResult r;
    const double samples = double(o.sampleCount);
    const double significance = -std::expm1(std::log1p(-o.significance) / double(o.testCount));
    const auto finish = [&r](const std::string& message) {
        r.message = message;
        return r;
    };
    // One cell more than the histogram's, for the rejected samples.
    const size_t cells = size_t(o.thetaBins) * size_t(o.phiBins);
    std::vector<double> observed(cells + 1, 0.0), expected(cells + 1, 0.0);
    // The first direction in each cell, to ask the density about if the cell has no integral.
    std::vector<std::array<double, 3>> firstDirection(cells);
    for (uint64_t i = 0; i < o.sampleCount; ++i) {
        double dir[3] = {NAN, NAN, NAN};
        if (!sampler(i, dir)) {
            ++r.rejectedCount;
            continue;
        }
        const double length = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
        if (!(std::fabs(length - 1.0) <= kUnitLengthTolerance)) {
            return finish("Sample " + std::to_string(i) +
                          " is not a finite unit vector: " + direction(dir) + ".");
        }
        for (double& component : dir) component /= length;
        const size_t cell = cellOf(dir, o);
        if (observed[cell] == 0.0) firstDirection[cell] = {dir[0], dir[1], dir[2]};
        observed[cell] += 1.0;
    }

    Integrator integrator{density, samples, o.integrationTolerance, o.subCells, o.maxRefinement};
    const int k = o.subCells;
    const double dt = kPi / (o.thetaBins * k), dphi = 2.0 * kPi / (o.phiBins * k);
    for (int row = 0; row < o.thetaBins * k; ++row)
        for (int column = 0; column < o.phiBins * k; ++column) {
            const size_t cell = size_t(row / k) * size_t(o.phiBins) + size_t(column / k);
            expected[cell] +=
                integrator.rect(row * dt, (row + 1) * dt, column * dphi, (column + 1) * dphi);
        }
    if (!integrator.invalid.empty()) return finish(integrator.invalid);
    r.densityIntegral = std::accumulate(expected.begin(), expected.end(), 0.0);
    for (double& e : expected) e *= samples;
    const std::string figures = " " + std::to_string(o.sampleCount) + " samples, " +
                                std::to_string(r.rejectedCount) + " rejected, density integral " +
                                num(r.densityIntegral) + ".";
    // Samples in a cell without integral are the sampler's fault if the density is zero where
    // they landed; otherwise the cell holds a sliver too thin for every integration point, and
    // is pooled.
    for (size_t i = 0; i < cells; ++i) {
        if (observed[i] > 0.0 && expected[i] < kZeroExpectedCount &&
            !(density(firstDirection[i].data()) > 0.0)) {
            return finish(num(observed[i]) +
                          " samples landed where the density calls them impossible (at " +
                          direction(firstDirection[i].data()) + ")." + figures);
        }
    }
    if (r.densityIntegral > 1.0 + kMaxDensityExcess)
        return finish("The density integrates to more than 1." + figures);
    if (o.testRejectedFraction) {
        observed[cells] = double(r.rejectedCount);
        expected[cells] = samples * std::max(0.0, 1.0 - r.densityIntegral);
    }
    // The rejections expected carry the error of the whole integral (the rects' errors taken as
    // independent): negligible in each cell, but not summed over all of them.
    std::vector<double> variance = expected;
    variance[cells] += samples * samples * integrator.errorSquares;

    // Cells are taken in increasing expected count; those below the minimum go into one pool,
    // which keeps absorbing the next until it reaches the minimum.
    std::vector<size_t> order(cells + 1);
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return expected[a] < expected[b]; });
    double statistic = 0.0, poolObserved = 0.0, poolExpected = 0.0, poolVariance = 0.0;
    int pooled = 0, categories = 0;
    for (const size_t i : order) {
        if (expected[i] == 0.0 && observed[i] == 0.0) continue;
        if (expected[i] < o.minExpectedCount || (pooled > 0 && poolExpected < o.minExpectedCount)) {
            poolObserved += observed[i];
            poolExpected += expected[i];
            poolVariance += variance[i];
            ++pooled;
            continue;
        }
        statistic += (observed[i] - expected[i]) * (observed[i] - expected[i]) / variance[i];
        ++categories;
    }
    if (pooled > 0) {
        const double d = poolObserved - poolExpected;
        statistic += d * d / poolVariance;
        ++categories;
    }
    // Every expected count is known in advance: the only constraint is the total.
    r.degreesOfFreedom = categories - 1;
    if (r.degreesOfFreedom < 10) {
        return finish("Too few cells with an expected count of at least " +
                      num(o.minExpectedCount) + " for a chi-square test." + figures);
    }
    const double pValue = chiSquarePValue(statistic, r.degreesOfFreedom);
    r.passed = std::isfinite(pValue) && pValue >= significance;
    return finish(std::string("Chi-square test ") + (r.passed ? "passed" : "failed") +
                  ": p-value " + num(pValue) + (r.passed ? " >= " : " < ") + num(significance) +
                  " (statistic " + num(statistic) + ", " + std::to_string(r.degreesOfFreedom) +
                  " degrees of freedom, " + std::to_string(pooled) + " cells pooled)." + figures);
}

}  // namespace glitter
