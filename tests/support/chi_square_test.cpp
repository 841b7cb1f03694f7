#include "tests/support/chi_square.h"

#include <gtest/gtest.h>

#include <cmath>
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

// Uniform direction inside the cone of half-angle acos(cosAngle) around the unit axis `a`.
void sampleCone(const double a[3], double cosAngle, double u, double v, double d[3]) {
    const bool yMajor = a[0] * a[0] + a[2] * a[2] > a[0] * a[0] + a[1] * a[1];
    const double t[3] = {yMajor ? -a[2] : a[1], yMajor ? 0.0 : -a[0], yMajor ? a[0] : 0.0};
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

// The runs expected to pass share the 1% level.
ChiSquareOptions options(uint64_t samples) {
    ChiSquareOptions o;
    o.sampleCount = samples;
    o.testCount = 16;
    return o;
}

TEST(ChiSquare, TailProbabilitiesMatchClosedFormsAndTables) {
    for (const double x : {0.01, 0.5, 1.0, 3.0, 10.0, 40.0}) {
        EXPECT_NEAR(regularizedGammaQ(0.5, x), std::erfc(std::sqrt(x)), 1e-14) << x;
    }
    // Integer a: Q(n, x) = Σ_{k<n} e^-x x^k / k!, summed in logs so that e^-x cannot underflow
    // for the thousands of degrees of freedom of a histogram; both sides of the series/fraction
    // split.
    for (const int a : {1, 7, 30, 500, 6000}) {
        for (const double x : {0.3 * a, 0.97 * a, 1.0 * a, 1.03 * a, 2.0 * a}) {
            double sum = 0.0;
            for (int k = 0; k < a; ++k) sum += std::exp(-x + k * std::log(x) - std::lgamma(k + 1.0));
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
    // Forty 3° cones, some cut by the horizon: a defective density with sharp rims that the
    // integration must find.
    std::array<double, 3> axes[40];
    const double cosAngle = std::cos(3.0 * kPi / 180.0);
    for (uint64_t k = 0; k < 40; ++k) {
        const auto u = chiSquareUniforms(k, 7);
        atHeight(u[0], u[1], axes[k].data());
    }
    const auto cones = [&](uint64_t i, double* d) {
        const auto u = chiSquareUniforms(i);
        sampleCone(axes[std::min(39, int(u[0] * 40.0))].data(), cosAngle, u[2], u[3], d);
        return d[2] > 0.0;
    };
    const auto conesDensity = [&](const double* d) {
        int inside = 0;
        for (const auto& a : axes) inside += dot(d, a.data()) >= cosAngle ? 1 : 0;
        return d[2] > 0.0 ? inside / (40.0 * 2.0 * kPi * (1.0 - cosAngle)) : 0.0;
    };
    r = chiSquareTest(cones, conesDensity, options(1'000'000));
    EXPECT_TRUE(r.passed) << r.message;
    EXPECT_GT(r.rejectedCount, 0u);
    EXPECT_LT(r.densityIntegral, 1.0);
}

TEST(ChiSquareStatistical, WrongDensitiesAndRejectionRatesFail) {
    const auto wrongRejections = [](uint64_t i, double* d) {  // 7% instead of 5%
        const auto u = chiSquareUniforms(i);
        atHeight(u[0], u[1], d);
        return u[2] >= 0.07;
    };
    const auto hemisphere95 = [](const double* d) { return d[2] > 0.0 ? 0.95 / (2.0 * kPi) : 0.0; };
    const std::tuple<DirectionSampler, DirectionDensity, const char*> cases[] = {
        {cosineHemisphere, [](const double* d) { return cosinePower(d, 1.2); }, "failed"},
        // Five per cent too much density above the surface, five too little below.
        {uniformSphere, [](const double* d) { return (d[2] > 0.0 ? 1.05 : 0.95) * 0.25 / kPi; },
         "failed"},
        {uniformSphere, [](const double* d) { return d[2] > 0.0 ? 0.5 / kPi : 0.0; },
         "density calls them impossible"},
        {uniformSphere, [](const double*) { return 0.3 / kPi; }, "more than 1"},
        // Only the rejected-sample cell can see this one.
        {wrongRejections, hemisphere95, "failed"},
    };
    for (const auto& [sampler, density, reason] : cases) {
        const auto r = chiSquareTest(sampler, density, options(300'000));
        EXPECT_FALSE(r.passed) << r.message;
        EXPECT_NE(r.message.find(reason), std::string::npos) << r.message;
    }
    ChiSquareOptions shapeOnly = options(300'000);
    shapeOnly.testRejectedFraction = false;
    const auto r = chiSquareTest(wrongRejections, hemisphere95, shapeOnly);
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
