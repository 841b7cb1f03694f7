#include "tests/support/chi_square.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

namespace glitter {
namespace {

constexpr double kPi = 3.14159265358979323846;

double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// A direction at height z and azimuth 2πv.
void atHeight(double z, double v, double d[3]) {
    const double r = std::sqrt(std::max(0.0, 1.0 - z * z));
    d[0] = r * std::cos(2.0 * kPi * v);
    d[1] = r * std::sin(2.0 * kPi * v);
    d[2] = z;
}

bool uniformSphere(uint64_t i, double d[3]) {
    const auto u = chiSquareUniforms(i);
    atHeight(1.0 - 2.0 * u[0], u[1], d);
    return true;
}
double uniformDensity(const double*) { return 0.25 / kPi; }

bool cosineHemisphere(uint64_t i, double d[3]) {
    const auto u = chiSquareUniforms(i);
    atHeight(std::sqrt(1.0 - u[0]), u[1], d);
    return true;
}
double cosinePower(const double d[3], double n) {
    return d[2] > 0.0 ? (n + 1.0) / (2.0 * kPi) * std::pow(d[2], n) : 0.0;
}

// Mirror reflection of a fixed outgoing direction about Beckmann normals drawn in proportion to
// D(h) cos θh; reflections below the surface are rejected, so the density is defective.
struct BeckmannReflection {
    double alpha;
    double wo[3];
    BeckmannReflection(double alpha, double thetaO)
        : alpha(alpha), wo{std::sin(thetaO), 0.0, std::cos(thetaO)} {}

    bool sample(uint64_t i, double d[3]) const {
        const auto u = chiSquareUniforms(i);
        double h[3];
        atHeight(1.0 / std::sqrt(1.0 - alpha * alpha * std::log1p(-u[0])), u[1], h);
        for (int k = 0; k < 3; ++k) d[k] = 2.0 * dot(wo, h) * h[k] - wo[k];
        return d[2] > 0.0;
    }
    double pdf(const double d[3]) const {
        double h[3] = {wo[0] + d[0], wo[1] + d[1], wo[2] + d[2]};
        const double length = std::sqrt(dot(h, h));
        for (double& c : h) c /= length;
        if (d[2] <= 0.0 || h[2] <= 0.0) return 0.0;
        const double cos2 = h[2] * h[2];
        return std::exp(-(1.0 - cos2) / cos2 / (alpha * alpha)) /
               (kPi * alpha * alpha * cos2 * cos2) * h[2] / (4.0 * dot(wo, h));
    }
};

// Uniform direction inside the cone of half-angle acos(cosAngle) around the unit axis `a`.
void sampleCone(const double a[3], double cosAngle, double u, double v, double d[3]) {
    double t[3] = {a[1], -a[0], 0.0};
    if (a[0] * a[0] + a[2] * a[2] > a[0] * a[0] + a[1] * a[1]) {
        t[0] = -a[2];
        t[1] = 0.0;
        t[2] = a[0];
    }
    const double tl = std::sqrt(dot(t, t));
    const double b[3] = {a[1] * t[2] - a[2] * t[1], a[2] * t[0] - a[0] * t[2],
                         a[0] * t[1] - a[1] * t[0]};
    const double gamma = (1.0 - cosAngle) * u + cosAngle;
    const double s = std::sqrt(std::max(0.0, 1.0 - gamma * gamma));
    for (int k = 0; k < 3; ++k) {
        d[k] = (t[k] * std::cos(2.0 * kPi * v) + b[k] * std::sin(2.0 * kPi * v)) * s / tl +
               a[k] * gamma;
    }
}

// Flake-like lobes: one of `count` axes (some near the horizon) chosen uniformly, the direction
// uniform in the hard-edged cone around it; directions below the surface are rejected.
struct ConeMixture {
    std::vector<std::array<double, 3>> axes;
    double cosAngle;
    ConeMixture(int count, double degrees)
        : axes(size_t(count)), cosAngle(std::cos(degrees * kPi / 180.0)) {
        for (int k = 0; k < count; ++k) {
            const auto u = chiSquareUniforms(uint64_t(k), 7);
            atHeight(u[0], u[1], axes[size_t(k)].data());
        }
    }
    bool sample(uint64_t i, double d[3]) const {
        const auto u = chiSquareUniforms(i);
        sampleCone(axes[std::min(axes.size() - 1, size_t(u[0] * double(axes.size())))].data(),
                   cosAngle, u[2], u[3], d);
        return d[2] > 0.0;
    }
    double pdf(const double d[3]) const {
        int inside = 0;
        for (const auto& a : axes) inside += dot(d, a.data()) >= cosAngle ? 1 : 0;
        return d[2] > 0.0 ? inside / (double(axes.size()) * 2.0 * kPi * (1.0 - cosAngle)) : 0.0;
    }
};

ChiSquareResult run(const auto& lobe, ChiSquareOptions o) {
    return chiSquareTest([&](uint64_t i, double* d) { return lobe.sample(i, d); },
                         [&](const double* d) { return lobe.pdf(d); }, o);
}

double total(const detail::CellIntegrals& cells) {
    return std::accumulate(cells.probability.begin(), cells.probability.end(), 0.0);
}

// The runs expected to pass share the 1% level.
ChiSquareOptions options(uint64_t samples) {
    ChiSquareOptions o;
    o.sampleCount = samples;
    o.testCount = 16;
    return o;
}

TEST(ChiSquare, GammaMatchesClosedFormsTablesAndTheSumInLogSpace) {
    for (const double x : {0.01, 0.5, 1.0, 3.0, 10.0, 40.0}) {
        EXPECT_NEAR(regularizedGammaQ(0.5, x), std::erfc(std::sqrt(x)), 1e-14) << x;
        // Integer a: Q(n, x) = e^-x Σ_{k<n} x^k / k!, both sides of the series/fraction split.
        double term = std::exp(-x), sum = 0.0;
        for (int n = 1; n <= 30; ++n, term *= x / (n - 1)) {
            sum += term;
            EXPECT_NEAR(regularizedGammaQ(n, x), sum, 1e-13) << n << " " << x;
        }
    }
    // Histograms have thousands of degrees of freedom: the sum in logs, so e^-x cannot underflow.
    for (const int a : {500, 6000}) {
        for (const double x : {0.97 * a, 1.0 * a, 1.03 * a}) {
            double sum = 0.0;
            for (int k = 0; k < a; ++k) {
                sum += std::exp(-x + k * std::log(x) - std::lgamma(k + 1.0));
            }
            EXPECT_NEAR(regularizedGammaQ(a, x), sum, 1e-10) << a << " " << x;
        }
    }
    // Published critical values: upper tail probability, degrees of freedom, value.
    for (const auto [p, dof, value] : {std::array{0.05, 1.0, 3.841459},
                                       {0.01, 10.0, 23.209251},
                                       {0.01, 1000.0, 1106.96887}}) {
        EXPECT_NEAR(chiSquarePValue(value, dof), p, 1e-6 * dof) << dof;
    }
    EXPECT_TRUE(std::isnan(regularizedGammaQ(0.0, 1.0)));
    EXPECT_EQ(regularizedGammaQ(3.0, INFINITY), 0.0);
    for (const int n : {1, 10, 1000}) {
        EXPECT_NEAR(1.0 - std::pow(1.0 - sidakSignificance(0.01, n), n), 0.01, 1e-12) << n;
    }
}

TEST(ChiSquare, PoolingMergesSmallCellsUntilLargeEnough) {
    struct Case {
        std::vector<double> observed, expected, extra;
        double statistic;
        int dof, pooled;
        bool ignored;
    };
    const Case cases[] = {
        // 2 and 2 pool to 4, still below 5, so the 8 joins: 16 against 12, then 10 alone; the
        // empty cell is skipped.
        {{0, 3, 1, 10, 12}, {0, 2, 2, 10, 8}, {}, 16.0 / 12.0, 1, 3, false},
        // Samples where none are expected are pooled, not dropped.
        {{3, 20, 30}, {0, 25, 25}, {}, 4.0 / 25.0 + 1.0, 1, 2, false},
        // Uncertainty in an expected count widens its term's denominator.
        {{30, 20}, {25, 25}, {0.0, 25.0}, 1.0 + 0.5, 1, 0, false},
        // A pool that never reaches the minimum is left out.
        {{1, 2}, {1, 2}, {}, 0.0, -1, 2, true},
    };
    for (const Case& c : cases) {
        const auto r = detail::pooledChiSquare(c.observed, c.expected, 5.0, c.extra);
        EXPECT_NEAR(r.statistic, c.statistic, 1e-12);
        EXPECT_EQ(r.degreesOfFreedom, c.dof);
        EXPECT_EQ(r.pooledCells, c.pooled);
        EXPECT_EQ(r.poolIgnored, c.ignored);
    }
}

TEST(ChiSquare, CellIntegralsAndUniformStreams) {
    // A constant density gives every cell its exact share of the sphere (the Jacobian).
    ChiSquareOptions o;
    o.thetaBins = 11;
    o.phiBins = 21;
    const auto cells = detail::integrateCells(uniformDensity, o);
    for (int r = 0; r < o.thetaBins; ++r) {
        const double share = (std::cos(kPi * r / 11) - std::cos(kPi * (r + 1) / 11)) / 42.0;
        for (int c = 0; c < o.phiBins; ++c) {
            EXPECT_NEAR(cells.probability[size_t(r * 21 + c)], share, 1e-7 * share) << r << c;
        }
    }
    // A single hard-edged, tilted 3° cone: the refinement must find its rim, and the reported
    // error bounds the actual one.
    ConeMixture cone(1, 3.0);
    cone.axes[0] = {std::sin(0.7), 0.0, std::cos(0.7)};
    const auto rim = detail::integrateCells([&](const double* d) { return cone.pdf(d); }, {});
    EXPECT_NEAR(total(rim), 1.0, 2e-5);
    EXPECT_GE(rim.error, std::fabs(total(rim) - 1.0));

    const auto a = chiSquareUniforms(12345);
    const auto f = chiSquareUniformsFloat(12345);
    EXPECT_EQ(a, chiSquareUniforms(12345));
    EXPECT_NE(a, chiSquareUniforms(12345, 99));
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_GE(a[k], 0.0);
        EXPECT_LT(a[k], 1.0);
        EXPECT_LE(double(f[k]), a[k]);  // the float stream is the double one cut to 24 bits
        EXPECT_GT(double(f[k]), a[k] - 0x1.0p-24);
    }
}

TEST(ChiSquare, BadInputFailsWithAReason) {
    ChiSquareOptions o, badBins, few;
    o.sampleCount = badBins.sampleCount = 1000;
    badBins.thetaBins = 0;
    few.sampleCount = 10;  // cannot fill enough cells for a statistic
    const auto nanAt17 = [](uint64_t i, double* d) {
        uniformSphere(i, d);
        d[0] = i == 17 ? NAN : d[0];
        return true;
    };
    const auto tooLong = [](uint64_t i, double* d) {
        uniformSphere(i, d);
        d[2] *= 1.1;
        return true;
    };
    const auto negative = [](const double* d) { return d[2] < -0.5 ? -1.0 : 0.3; };
    const std::tuple<DirectionSampler, DirectionDensity, ChiSquareOptions, const char*> cases[] = {
        {uniformSphere, uniformDensity, badBins, "Invalid"},
        {nanAt17, uniformDensity, o, "Sample 17"},
        {tooLong, uniformDensity, o, "not a finite unit vector"},
        {uniformSphere, uniformDensity, few, "Too few cells"},
        {uniformSphere, negative, o, "non-negative"},
    };
    for (const auto& [sampler, density, options, reason] : cases) {
        const auto r = chiSquareTest(sampler, density, options);
        EXPECT_FALSE(r.passed) << reason;
        EXPECT_NE(r.message.find(reason), std::string::npos) << r.message;
    }
}

TEST(ChiSquareStatistical, RightDensitiesPass) {
    auto r = chiSquareTest(uniformSphere, uniformDensity, options(1'000'000));
    EXPECT_TRUE(r.passed) << r.message;
    EXPECT_NEAR(r.densityIntegral, 1.0, 1e-9);
    EXPECT_GT(r.degreesOfFreedom, 10000);
    r = chiSquareTest(
        cosineHemisphere, [](const double* d) { return cosinePower(d, 1.0); }, options(1'000'000));
    EXPECT_TRUE(r.passed) << r.message;
    for (const double alpha : {0.05, 0.1, 0.5}) {
        for (const double thetaO : {0.0, 0.6, 1.3}) {
            r = run(BeckmannReflection(alpha, thetaO), options(300'000));
            EXPECT_TRUE(r.passed) << alpha << " " << thetaO << ": " << r.message;
        }
    }
    // At grazing incidence a visible share of the reflections goes below the surface.
    EXPECT_GT(r.rejectedCount, 10'000u);
    EXPECT_LT(r.densityIntegral, 0.97);
    // Forty 3° cones, some cut by the horizon: a defective density with sharp rims.
    r = run(ConeMixture(40, 3.0), options(1'000'000));
    EXPECT_TRUE(r.passed) << r.message;
    EXPECT_GT(r.rejectedCount, 0u);
    // Twenty narrow cones clear of the horizon: nothing rejected, the integral 1 up to the
    // integration error, which the rejected cell must tolerate.
    r = run(ConeMixture(20, 0.25), options(1'000'000));
    EXPECT_TRUE(r.passed) << r.message;
    EXPECT_EQ(r.rejectedCount, 0u);
}

TEST(ChiSquareStatistical, WrongDensitiesAndRejectionRatesFail) {
    const BeckmannReflection sampled(0.1, 0.6), rougher(0.11, 0.6);
    const auto wrongRejections = [](uint64_t i, double* d) {  // 7% instead of 5%
        const auto u = chiSquareUniforms(i);
        atHeight(u[0], u[1], d);
        return u[2] >= 0.07;
    };
    const std::tuple<DirectionSampler, DirectionDensity, const char*> cases[] = {
        {cosineHemisphere, [](const double* d) { return cosinePower(d, 1.2); }, "failed"},
        // Five per cent too much density above the surface, five too little below.
        {uniformSphere, [](const double* d) { return (d[2] > 0.0 ? 1.05 : 0.95) * 0.25 / kPi; },
         "failed"},
        {[&](uint64_t i, double* d) { return sampled.sample(i, d); },
         [&](const double* d) { return rougher.pdf(d); }, "failed"},
        {uniformSphere, [](const double* d) { return d[2] > 0.0 ? 0.5 / kPi : 0.0; },
         "density calls them impossible"},
        {uniformSphere, [](const double*) { return 0.3 / kPi; }, "more than 1"},
        // Only the rejected-sample cell can see this one.
        {wrongRejections, [](const double* d) { return d[2] > 0.0 ? 0.95 / (2.0 * kPi) : 0.0; },
         "failed"},
    };
    for (const auto& [sampler, density, reason] : cases) {
        const auto r = chiSquareTest(sampler, density, options(300'000));
        EXPECT_FALSE(r.passed) << r.message;
        EXPECT_NE(r.message.find(reason), std::string::npos) << r.message;
    }
    ChiSquareOptions shapeOnly = options(300'000);
    shapeOnly.testRejectedFraction = false;
    const auto r = chiSquareTest(
        std::get<0>(cases[5]), std::get<1>(cases[5]), shapeOnly);
    EXPECT_TRUE(r.passed) << r.message;
}

TEST(ChiSquareStatistical, NeedlesFinerThanTheIntegrationAreNotBlamedOnTheSampler) {
    // A needle of 0.002° on a cell corner below the surface: no integration point of its four
    // cells comes near it, so their integrals are zero.
    ChiSquareOptions o = options(200'000);
    double axis[3];
    atHeight(std::cos(kPi * 60.0 / o.thetaBins), 40.0 / o.phiBins, axis);
    const double cosNeedle = std::cos(0.002 * kPi / 180.0);
    constexpr double kShare = 2.5e-5;
    const auto sampler = [&](uint64_t i, double* d) {
        const auto u = chiSquareUniforms(i);
        u[0] < kShare ? sampleCone(axis, cosNeedle, u[2], u[3], d) : atHeight(u[2], u[3], d);
        return true;
    };
    const auto hemisphere = [](const double* d) {
        return d[2] > 0.0 ? (1.0 - kShare) / (2.0 * kPi) : 0.0;
    };
    // The density is positive where those samples are: the cells are pooled, not blamed.
    const auto with = chiSquareTest(
        sampler,
        [&](const double* d) {
            return hemisphere(d) +
                   (dot(d, axis) >= cosNeedle ? kShare / (2.0 * kPi * (1.0 - cosNeedle)) : 0.0);
        },
        o);
    EXPECT_TRUE(with.passed) << with.message;
    EXPECT_NE(with.message.find("integration found no density"), std::string::npos) << with.message;
    // Without the needle in the density the same samples are the sampler's fault.
    const auto without = chiSquareTest(sampler, hemisphere, o);
    EXPECT_FALSE(without.passed);
    EXPECT_NE(without.message.find("impossible"), std::string::npos) << without.message;
}

}  // namespace
}  // namespace glitter
