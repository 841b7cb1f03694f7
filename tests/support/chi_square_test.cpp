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

// Uniform direction inside the cone of half-angle acos(cosAngle) around the unit axis `a`,
// drawn about +z, tilted to the axis's height and turned to its azimuth.
void sampleCone(const double a[3], double cosAngle, double u, double v, double d[3]) {
    double z[3];
    atHeight((1.0 - cosAngle) * u + cosAngle, v, z);
    const double s = std::hypot(a[0], a[1]), x = z[0] * a[2] + z[2] * s;
    d[0] = s > 0.0 ? (x * a[0] - z[1] * a[1]) / s : z[0];
    d[1] = s > 0.0 ? (x * a[1] + z[1] * a[0]) / s : z[1];
    d[2] = z[2] * a[2] - z[0] * s;
}

// The runs expected to pass share the 1% level.
ChiSquareOptions options(uint64_t samples) {
    ChiSquareOptions o;
    o.sampleCount = samples;
    o.testCount = 16;
    return o;
}

TEST(ChiSquare, TailProbabilitiesMatchPublishedCriticalValues) {
    // Upper tail probability, degrees of freedom, critical value.
    for (const auto& [p, dof, value] : {std::tuple{0.01, 10, 23.209251}, {0.001, 100, 149.449252},
                                        {0.01, 1000, 1106.96887}, {0.5, 5000, 4999.33334}}) {
        EXPECT_NEAR(chiSquarePValue(value, dof), p, 0.03 * p) << dof;
    }
}

TEST(ChiSquareStatistical, RightDensitiesPass) {
    auto r = chiSquareTest(uniformSphere, uniformDensity, options(1'000'000));
    EXPECT_TRUE(r.passed) << r.message;
    EXPECT_NEAR(r.densityIntegral, 1.0, 1e-5);
    EXPECT_GT(r.degreesOfFreedom, 10000);
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
    const auto nanAt17 = [](uint64_t i, double* d) {
        uniformSphere(i, d);
        d[0] = i == 17 ? NAN : d[0];
        return true;
    };
    const std::tuple<DirectionSampler, DirectionDensity, const char*> cases[] = {
        // A cosine power of 1.2 for a cosine-weighted sampler.
        {cosineHemisphere,
         [](const double* d) { return d[2] > 0.0 ? 2.2 / (2.0 * kPi) * std::pow(d[2], 1.2) : 0.0; },
         "failed"},
        // Five per cent too much density above the surface, five too little below.
        {uniformSphere, [](const double* d) { return (d[2] > 0.0 ? 1.05 : 0.95) * 0.25 / kPi; },
         "failed"},
        {uniformSphere, [](const double* d) { return d[2] > 0.0 ? 0.5 / kPi : 0.0; },
         "density calls them impossible"},
        {uniformSphere, [](const double*) { return 0.3 / kPi; }, "more than 1"},
        // Only the rejected-sample cell can see this one.
        {wrongRejections, hemisphere95, "failed"},
        {nanAt17, uniformDensity, "Sample 17 is not a finite unit vector"},
        {uniformSphere, [](const double* d) { return d[2] < -0.5 ? -1.0 : 0.3; }, "non-negative"},
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

}  // namespace
}  // namespace glitter
