#include "tests/support/chi_square.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

namespace glitter {
namespace {

constexpr double kPi = 3.14159265358979323846;

double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void normalize(double v[3]) {
    const double length = std::sqrt(dot(v, v));
    for (int k = 0; k < 3; ++k) {
        v[k] /= length;
    }
}

bool uniformSphere(uint64_t i, double d[3]) {
    const auto u = chiSquareUniforms(i);
    const double z = 1.0 - 2.0 * u[0];
    const double r = std::sqrt(std::max(0.0, 1.0 - z * z));
    d[0] = r * std::cos(2.0 * kPi * u[1]);
    d[1] = r * std::sin(2.0 * kPi * u[1]);
    d[2] = z;
    return true;
}

bool cosineHemisphere(uint64_t i, double d[3]) {
    const auto u = chiSquareUniforms(i);
    const double r = std::sqrt(u[0]);
    d[0] = r * std::cos(2.0 * kPi * u[1]);
    d[1] = r * std::sin(2.0 * kPi * u[1]);
    d[2] = std::sqrt(std::max(0.0, 1.0 - u[0]));
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

    BeckmannReflection(double alpha, double thetaO) : alpha(alpha) {
        wo[0] = std::sin(thetaO);
        wo[1] = 0.0;
        wo[2] = std::cos(thetaO);
    }

    bool sample(uint64_t i, double d[3]) const {
        const auto u = chiSquareUniforms(i);
        const double tan2 = -alpha * alpha * std::log1p(-u[0]);
        const double cosH = 1.0 / std::sqrt(1.0 + tan2);
        const double sinH = std::sqrt(std::max(0.0, 1.0 - cosH * cosH));
        const double h[3] = {sinH * std::cos(2.0 * kPi * u[1]), sinH * std::sin(2.0 * kPi * u[1]),
                             cosH};
        const double woh = dot(wo, h);
        for (int k = 0; k < 3; ++k) {
            d[k] = 2.0 * woh * h[k] - wo[k];
        }
        return d[2] > 0.0;
    }

    double pdf(const double d[3]) const {
        if (d[2] <= 0.0) {
            return 0.0;
        }
        double h[3] = {wo[0] + d[0], wo[1] + d[1], wo[2] + d[2]};
        normalize(h);
        if (h[2] <= 0.0) {
            return 0.0;
        }
        const double cos2 = h[2] * h[2];
        const double tan2 = (1.0 - cos2) / cos2;
        const double beckmann =
            std::exp(-tan2 / (alpha * alpha)) / (kPi * alpha * alpha * cos2 * cos2);
        return beckmann * h[2] / (4.0 * dot(wo, h));
    }
};

// Uniform direction inside the cone of half-angle acos(cosAngle) around the unit axis `a`.
void sampleCone(const double a[3], double cosAngle, double u, double v, double d[3]) {
    double t[3] = {-a[2], 0.0, a[0]};
    if (a[0] * a[0] + a[2] * a[2] <= a[0] * a[0] + a[1] * a[1]) {
        t[0] = a[1];
        t[1] = -a[0];
        t[2] = 0.0;
    }
    normalize(t);
    const double b[3] = {a[1] * t[2] - a[2] * t[1], a[2] * t[0] - a[0] * t[2],
                         a[0] * t[1] - a[1] * t[0]};
    const double gamma = (1.0 - cosAngle) * u + cosAngle;
    const double s = std::sqrt(std::max(0.0, 1.0 - gamma * gamma));
    const double phi = 2.0 * kPi * v;
    for (int k = 0; k < 3; ++k) {
        d[k] = t[k] * std::cos(phi) * s + b[k] * std::sin(phi) * s + a[k] * gamma;
    }
}

// Flake-like lobes: one of `axes` is chosen uniformly and the direction is uniform inside the
// hard-edged cone around it; directions below the surface are rejected.
struct ConeMixture {
    std::vector<std::array<double, 3>> axes;
    double cosAngle;

    ConeMixture(int count, double angleDegrees) : cosAngle(std::cos(angleDegrees * kPi / 180.0)) {
        for (int k = 0; k < count; ++k) {
            // Elevations down to the horizon, so some cones are cut by it.
            const auto u = chiSquareUniforms(uint64_t(k), 7);
            const double z = u[0];
            const double r = std::sqrt(1.0 - z * z);
            axes.push_back({r * std::cos(2.0 * kPi * u[1]), r * std::sin(2.0 * kPi * u[1]), z});
        }
    }

    bool sample(uint64_t i, double d[3]) const {
        const auto u = chiSquareUniforms(i);
        const auto& a = axes[std::min(axes.size() - 1, size_t(u[0] * double(axes.size())))];
        sampleCone(a.data(), cosAngle, u[2], u[3], d);
        return d[2] > 0.0;
    }

    double pdf(const double d[3]) const {
        if (d[2] <= 0.0) {
            return 0.0;
        }
        int inside = 0;
        for (const auto& a : axes) {
            inside += dot(d, a.data()) >= cosAngle ? 1 : 0;
        }
        return inside / (double(axes.size()) * 2.0 * kPi * (1.0 - cosAngle));
    }
};

// Tables of tests that are meant to fail go to a folder of their own, removed afterwards.
std::filesystem::path failureFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::filesystem::current_path() / "chi_square_self_test" / info->name();
}

void removeFailureFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(failureFolder(), ignored);
    // Only goes when empty, that is when no other test left tables behind.
    std::filesystem::remove(failureFolder().parent_path(), ignored);
}

// --- Quick checks of the pieces ---

TEST(ChiSquareGamma, MatchesClosedFormsAndTables) {
    for (double x : {0.01, 0.5, 1.0, 3.0, 10.0, 40.0}) {
        EXPECT_NEAR(regularizedGammaQ(1.0, x), std::exp(-x), 1e-14) << x;
        EXPECT_NEAR(regularizedGammaQ(0.5, x), std::erfc(std::sqrt(x)), 1e-14) << x;
        // Integer a: Q(n, x) = e^-x Σ_{k<n} x^k / k!, on both sides of the series/fraction split.
        double term = std::exp(-x);
        double sum = 0.0;
        for (int n = 1; n <= 30; ++n) {
            sum += term;
            term *= x / n;
            EXPECT_NEAR(regularizedGammaQ(n, x), sum, 1e-13) << n << " " << x;
            EXPECT_NEAR(regularizedGammaP(n, x) + regularizedGammaQ(n, x), 1.0, 1e-14);
        }
    }
    // Published chi-square critical values (upper tail probability, degrees of freedom, value).
    struct Critical {
        double p;
        double dof;
        double value;
    };
    for (const Critical c : {Critical{0.05, 1, 3.841459}, Critical{0.01, 10, 23.209251},
                             Critical{0.05, 100, 124.342113}, Critical{0.01, 1000, 1106.96887}}) {
        EXPECT_NEAR(chiSquarePValue(c.value, c.dof), c.p, 1e-6 * c.dof) << c.dof;
    }
    EXPECT_TRUE(std::isnan(regularizedGammaQ(0.0, 1.0)));
    EXPECT_TRUE(std::isnan(regularizedGammaP(1.0, -1.0)));
    EXPECT_EQ(regularizedGammaQ(3.0, 0.0), 1.0);
    EXPECT_EQ(regularizedGammaQ(3.0, INFINITY), 0.0);
}

TEST(ChiSquareGamma, LargeArgumentsMatchTheSumInLogSpace) {
    // Histograms have thousands of degrees of freedom; the finite sum for integer a is evaluated
    // term by term in logs so that e^-x does not underflow.
    for (const int a : {500, 6000}) {
        for (const double scale : {0.97, 1.0, 1.03}) {
            const double x = scale * a;
            double sum = 0.0;
            for (int k = 0; k < a; ++k) {
                sum += std::exp(-x + k * std::log(x) - std::lgamma(k + 1.0));
            }
            EXPECT_NEAR(regularizedGammaQ(a, x), sum, 1e-10) << a << " " << x;
        }
    }
}

TEST(ChiSquareSidak, CorrectedLevelGivesTheFamilyLevel) {
    EXPECT_NEAR(sidakSignificance(0.01, 1), 0.01, 1e-17);
    for (const int n : {2, 10, 1000}) {
        const double corrected = sidakSignificance(0.01, n);
        EXPECT_LT(corrected, 0.01 / n * 1.01);
        EXPECT_NEAR(1.0 - std::pow(1.0 - corrected, n), 0.01, 1e-12) << n;
    }
}

TEST(ChiSquarePooling, SmallCellsMergeUntilLargeEnough) {
    // Expected 2 and 2 pool to 4, still below 5, so the 8 joins them: pool 16 observed against
    // 12 expected, then the cell of 10 alone. The empty cell is skipped.
    const auto a = detail::pooledChiSquare({0, 3, 1, 10, 12}, {0, 2, 2, 10, 8}, 5.0);
    EXPECT_NEAR(a.statistic, 16.0 / 12.0, 1e-12);
    EXPECT_EQ(a.degreesOfFreedom, 1);
    EXPECT_EQ(a.pooledCells, 3);
    EXPECT_FALSE(a.poolIgnored);

    // Samples in a category expected to be empty are pooled, not dropped.
    const auto b = detail::pooledChiSquare({3, 20, 30}, {0, 25, 25}, 5.0);
    EXPECT_NEAR(b.statistic, 4.0 / 25.0 + 25.0 / 25.0, 1e-12);
    EXPECT_EQ(b.degreesOfFreedom, 1);

    // Uncertainty in an expected count widens its term's denominator.
    const auto d = detail::pooledChiSquare({30, 20}, {25, 25}, 5.0, {0.0, 25.0});
    EXPECT_NEAR(d.statistic, 25.0 / 25.0 + 25.0 / 50.0, 1e-12);

    // A pool that never reaches the minimum is left out.
    const auto c = detail::pooledChiSquare({1, 2}, {1, 2}, 5.0);
    EXPECT_TRUE(c.poolIgnored);
    EXPECT_EQ(c.degreesOfFreedom, -1);
}

TEST(ChiSquareCells, DirectionsFallInTheirCells) {
    for (const ChiSquareRows rows : {ChiSquareRows::Angle, ChiSquareRows::Cosine}) {
        ChiSquareOptions o;
        o.thetaBins = 7;
        o.phiBins = 9;
        o.rows = rows;
        for (int r = 0; r < o.thetaBins; ++r) {
            for (int c = 0; c < o.phiBins; ++c) {
                const double t = (r + 0.5) / o.thetaBins;
                const double z = rows == ChiSquareRows::Angle ? std::cos(kPi * t) : 1.0 - 2.0 * t;
                const double phi = 2.0 * kPi * (c + 0.5) / o.phiBins;
                const double s = std::sqrt(1.0 - z * z);
                const double d[3] = {s * std::cos(phi), s * std::sin(phi), z};
                EXPECT_EQ(detail::chiSquareCell(d, o), size_t(r * o.phiBins + c));
            }
        }
        const double up[3] = {0, 0, 1};
        const double down[3] = {0, 0, -1};
        const double justBelowPhiZero[3] = {1, -1e-300, 0};
        EXPECT_EQ(detail::chiSquareCell(up, o), 0u);
        EXPECT_EQ(detail::chiSquareCell(down, o) / o.phiBins, size_t(o.thetaBins - 1));
        EXPECT_EQ(detail::chiSquareCell(justBelowPhiZero, o) % o.phiBins, size_t(o.phiBins - 1));
    }
}

TEST(ChiSquareIntegration, CellsGetTheirSolidAngle) {
    // A constant density must give every cell its exact share of the sphere: this checks the
    // Jacobian of both row layouts.
    for (const ChiSquareRows rows : {ChiSquareRows::Angle, ChiSquareRows::Cosine}) {
        ChiSquareOptions o;
        o.thetaBins = 11;
        o.phiBins = 21;
        o.rows = rows;
        const auto cells = detail::integrateCells([](const double*) { return 0.25 / kPi; }, o);
        double total = 0.0;
        for (int r = 0; r < o.thetaBins; ++r) {
            const double t0 = double(r) / o.thetaBins;
            const double t1 = double(r + 1) / o.thetaBins;
            const double z0 = rows == ChiSquareRows::Angle ? std::cos(kPi * t0) : 1.0 - 2.0 * t0;
            const double z1 = rows == ChiSquareRows::Angle ? std::cos(kPi * t1) : 1.0 - 2.0 * t1;
            const double share = (z0 - z1) / (2.0 * o.phiBins);
            for (int c = 0; c < o.phiBins; ++c) {
                const double p = cells.probability[size_t(r * o.phiBins + c)];
                EXPECT_NEAR(p, share, 1e-7 * share) << r << " " << c;
                total += p;
            }
        }
        EXPECT_NEAR(total, 1.0, 1e-8);
    }
}

TEST(ChiSquareIntegration, NarrowLobesAndHardEdgesIntegrateAccurately) {
    ChiSquareOptions o;
    // Beckmann α = 0.05 seen from normal incidence: a lobe a few cells wide at the pole.
    const BeckmannReflection narrow(0.05, 0.0);
    const auto lobe = detail::integrateCells([&](const double* d) { return narrow.pdf(d); }, o);
    double lobeTotal = 0.0;
    for (const double p : lobe.probability) {
        lobeTotal += p;
    }
    EXPECT_NEAR(lobeTotal, 1.0, 1e-6);

    // A single 3° cone, hard-edged and tilted: the refinement must find its rim.
    ConeMixture cone(1, 3.0);
    cone.axes[0] = {std::sin(0.7), 0.0, std::cos(0.7)};
    const auto rim = detail::integrateCells([&](const double* d) { return cone.pdf(d); }, o);
    double rimTotal = 0.0;
    for (const double p : rim.probability) {
        rimTotal += p;
    }
    EXPECT_NEAR(rimTotal, 1.0, 2e-5);
    // The reported error is the disagreement of the coarser rule: it bounds the actual error.
    EXPECT_GE(rim.error, std::fabs(rimTotal - 1.0));
}

TEST(ChiSquareTest, RejectsInvalidInput) {
    ChiSquareOptions o;
    o.sampleCount = 1000;
    o.thetaBins = 0;
    auto r = chiSquareTest(
        uniformSphere, [](const double*) { return 0.25 / kPi; }, o);
    EXPECT_FALSE(r.passed);
    EXPECT_NE(r.message.find("thetaBins"), std::string::npos) << r.message;

    o.thetaBins = 9;
    o.significance = 1.5;
    r = chiSquareTest(
        uniformSphere, [](const double*) { return 0.25 / kPi; }, o);
    EXPECT_NE(r.message.find("significance"), std::string::npos) << r.message;

    o.significance = 0.01;
    r = chiSquareTest(
        nullptr, [](const double*) { return 0.25 / kPi; }, o);
    EXPECT_FALSE(r.passed);

    // A sampler that returns NaN or a non-unit vector is reported with the sample's index.
    r = chiSquareTest(
        [](uint64_t i, double* d) {
            uniformSphere(i, d);
            d[0] = i == 17 ? NAN : d[0];
            return true;
        },
        [](const double*) { return 0.25 / kPi; }, o);
    EXPECT_FALSE(r.passed);
    EXPECT_NE(r.message.find("Sample 17"), std::string::npos) << r.message;
    r = chiSquareTest(
        [](uint64_t i, double* d) {
            uniformSphere(i, d);
            d[2] *= 1.1;
            return true;
        },
        [](const double*) { return 0.25 / kPi; }, o);
    EXPECT_NE(r.message.find("not a finite unit vector"), std::string::npos) << r.message;

    // Ten samples cannot fill enough cells for a statistic.
    ChiSquareOptions few = o;
    few.sampleCount = 10;
    few.dumpDirectory = failureFolder().string();
    r = chiSquareTest(
        uniformSphere, [](const double*) { return 0.25 / kPi; }, few);
    EXPECT_FALSE(r.passed);
    EXPECT_NE(r.message.find("Too few cells"), std::string::npos) << r.message;
    removeFailureFolder();

    // A density that goes negative or NaN is not silently clipped.
    r = chiSquareTest(
        uniformSphere, [](const double* d) { return d[2] < -0.5 ? -1.0 : 0.3; }, o);
    EXPECT_FALSE(r.passed);
    EXPECT_NE(r.message.find("non-negative"), std::string::npos) << r.message;
}

TEST(ChiSquareUniforms, ReproducibleStreams) {
    const auto a = chiSquareUniforms(12345);
    const auto b = chiSquareUniforms(12345);
    const auto other = chiSquareUniforms(12345, 99);
    const auto f = chiSquareUniformsFloat(12345);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, other);
    for (int k = 0; k < 4; ++k) {
        EXPECT_GE(a[size_t(k)], 0.0);
        EXPECT_LT(a[size_t(k)], 1.0);
        // The float stream is the double stream truncated to 24 bits.
        EXPECT_LE(double(f[size_t(k)]), a[size_t(k)]);
        EXPECT_GT(double(f[size_t(k)]), a[size_t(k)] - 0x1.0p-24);
    }
    EXPECT_NE(a[0], a[1]);
}

// --- Whole tests on samplers whose answer is known ---

// The runs expected to pass share the 1% level: two uniform spheres, the cosine hemisphere,
// nine Beckmann lobes, two cone mixtures, the shape-only rejection run and the needle.
constexpr int kPassingTests = 16;

ChiSquareOptions passingOptions(uint64_t samples) {
    ChiSquareOptions o;
    o.sampleCount = samples;
    o.testCount = kPassingTests;
    return o;
}

TEST(ChiSquareStatistical, UniformSpherePasses) {
    for (const ChiSquareRows rows : {ChiSquareRows::Angle, ChiSquareRows::Cosine}) {
        ChiSquareOptions o = passingOptions(1'000'000);
        o.rows = rows;
        const auto r = chiSquareTest(
            uniformSphere, [](const double*) { return 0.25 / kPi; }, o);
        EXPECT_TRUE(r.passed) << r.message;
        EXPECT_EQ(r.rejectedCount, 0u);
        EXPECT_NEAR(r.densityIntegral, 1.0, 1e-9);
        EXPECT_GT(r.degreesOfFreedom, 10000);
        EXPECT_TRUE(r.observedFile.empty());
    }
}

TEST(ChiSquareStatistical, CosineHemispherePasses) {
    const auto r = chiSquareTest(
        cosineHemisphere, [](const double* d) { return cosinePower(d, 1.0); },
        passingOptions(1'000'000));
    EXPECT_TRUE(r.passed) << r.message;
}

TEST(ChiSquareStatistical, BeckmannReflectionPasses) {
    for (const double alpha : {0.05, 0.1, 0.5}) {
        for (const double thetaO : {0.0, 0.6, 1.3}) {
            const BeckmannReflection lobe(alpha, thetaO);
            const ChiSquareOptions o = passingOptions(300'000);
            const auto r = chiSquareTest([&](uint64_t i, double* d) { return lobe.sample(i, d); },
                                         [&](const double* d) { return lobe.pdf(d); }, o);
            EXPECT_TRUE(r.passed) << alpha << " " << thetaO << ": " << r.message;
            if (alpha == 0.5 && thetaO == 1.3) {
                // At grazing incidence a visible share of the reflections goes below the surface.
                EXPECT_GT(r.rejectedCount, 10'000u);
                EXPECT_LT(r.densityIntegral, 0.97);
            }
        }
    }
}

TEST(ChiSquareStatistical, HardEdgedConesPass) {
    // Forty 3° cones, some cut by the horizon: a defective density with sharp rims.
    const ConeMixture cones(40, 3.0);
    const auto r =
        chiSquareTest([&](uint64_t i, double* d) { return cones.sample(i, d); },
                      [&](const double* d) { return cones.pdf(d); }, passingOptions(1'000'000));
    EXPECT_TRUE(r.passed) << r.message;
    EXPECT_GT(r.rejectedCount, 0u);

    // Twenty narrow cones clear of the horizon: nothing is rejected and the density integrates
    // to 1 up to the integration error, which the rejected cell must tolerate.
    const ConeMixture narrow(20, 0.25);
    const auto n =
        chiSquareTest([&](uint64_t i, double* d) { return narrow.sample(i, d); },
                      [&](const double* d) { return narrow.pdf(d); }, passingOptions(1'000'000));
    EXPECT_TRUE(n.passed) << n.message;
    EXPECT_EQ(n.rejectedCount, 0u);
}

TEST(ChiSquareStatistical, WrongShapesFail) {
    ChiSquareOptions o;
    o.sampleCount = 300'000;
    o.dumpDirectory = failureFolder().string();

    o.tableName = "cosine_power";
    const auto power = chiSquareTest(
        cosineHemisphere, [](const double* d) { return cosinePower(d, 1.2); }, o);
    EXPECT_FALSE(power.passed) << power.message;
    EXPECT_LT(power.pValue, 1e-6);

    // Five per cent too much density above the surface, five too little below.
    o.tableName = "tilted_sphere";
    const auto tilted = chiSquareTest(
        uniformSphere, [](const double* d) { return (d[2] > 0.0 ? 1.05 : 0.95) * 0.25 / kPi; }, o);
    EXPECT_FALSE(tilted.passed) << tilted.message;

    // The density of a lobe ten per cent rougher than the one sampled.
    o.tableName = "beckmann_roughness";
    const BeckmannReflection sampled(0.1, 0.6);
    const BeckmannReflection claimed(0.11, 0.6);
    const auto rough = chiSquareTest([&](uint64_t i, double* d) { return sampled.sample(i, d); },
                                     [&](const double* d) { return claimed.pdf(d); }, o);
    EXPECT_FALSE(rough.passed) << rough.message;

    // Failures leave both tables behind, named in the message.
    for (const auto* r : {&power, &tilted, &rough}) {
        EXPECT_TRUE(std::filesystem::exists(r->observedFile)) << r->message;
        EXPECT_TRUE(std::filesystem::exists(r->expectedFile)) << r->message;
        EXPECT_NE(r->message.find(r->expectedFile), std::string::npos) << r->message;
    }
    removeFailureFolder();
}

TEST(ChiSquareStatistical, WrongRejectionRateFails) {
    // The density claims 5% of the samples are rejected; the sampler rejects 7% and spreads
    // the rest correctly. Only the rejected-sample cell can see this.
    const auto sampler = [](uint64_t i, double* d) {
        const auto u = chiSquareUniforms(i);
        const double z = u[0];
        const double r = std::sqrt(1.0 - z * z);
        d[0] = r * std::cos(2.0 * kPi * u[1]);
        d[1] = r * std::sin(2.0 * kPi * u[1]);
        d[2] = z;
        return u[2] >= 0.07;
    };
    const auto density = [](const double* d) { return d[2] > 0.0 ? 0.95 / (2.0 * kPi) : 0.0; };
    ChiSquareOptions o = passingOptions(200'000);
    o.dumpDirectory = failureFolder().string();
    const auto counted = chiSquareTest(sampler, density, o);
    EXPECT_FALSE(counted.passed) << counted.message;
    EXPECT_NEAR(double(counted.rejectedCount), 0.07 * 200'000, 500.0);

    o.testRejectedFraction = false;
    const auto shapeOnly = chiSquareTest(sampler, density, o);
    EXPECT_TRUE(shapeOnly.passed) << shapeOnly.message;
    removeFailureFolder();
}

TEST(ChiSquareStatistical, SamplesWhereTheDensityIsZeroFail) {
    // The density says the lower hemisphere is impossible; the sampler goes there anyway.
    ChiSquareOptions o;
    o.sampleCount = 200'000;
    o.dumpDirectory = failureFolder().string();
    const auto r = chiSquareTest(
        uniformSphere, [](const double* d) { return d[2] > 0.0 ? 0.5 / kPi : 0.0; }, o);
    EXPECT_FALSE(r.passed);
    EXPECT_NE(r.message.find("density calls impossible"), std::string::npos) << r.message;
    EXPECT_TRUE(std::filesystem::exists(r.observedFile)) << r.message;
    removeFailureFolder();

    // A density with more than unit mass is refused before any statistic.
    const auto heavy = chiSquareTest(
        uniformSphere, [](const double*) { return 0.3 / kPi; }, o);
    EXPECT_FALSE(heavy.passed);
    EXPECT_NE(heavy.message.find("more than 1"), std::string::npos) << heavy.message;
    removeFailureFolder();
}

TEST(ChiSquareStatistical, NeedlesFinerThanTheIntegrationAreNotBlamedOnTheSampler) {
    // A needle of 0.002° centred on a cell corner below the surface: no integration point of
    // any of its four cells comes near it, so their integrals are zero.
    const ChiSquareOptions o = passingOptions(200'000);
    const double theta = kPi * 60.0 / o.thetaBins;
    const double phi = 2.0 * kPi * 40.0 / o.phiBins;
    const double axis[3] = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                            std::cos(theta)};
    const double cosNeedle = std::cos(0.002 * kPi / 180.0);
    constexpr double kNeedleShare = 2.5e-5;
    const auto sampler = [&](uint64_t i, double* d) {
        const auto u = chiSquareUniforms(i);
        if (u[0] < kNeedleShare) {
            sampleCone(axis, cosNeedle, u[2], u[3], d);
            return true;
        }
        const double z = u[2];
        const double r = std::sqrt(1.0 - z * z);
        d[0] = r * std::cos(2.0 * kPi * u[3]);
        d[1] = r * std::sin(2.0 * kPi * u[3]);
        d[2] = z;
        return true;
    };
    const auto hemisphere = [](const double* d) {
        return d[2] > 0.0 ? (1.0 - kNeedleShare) / (2.0 * kPi) : 0.0;
    };

    // The density is positive where those samples are: the cells are pooled, not blamed.
    const auto withNeedle = chiSquareTest(
        sampler,
        [&](const double* d) {
            const bool inNeedle = dot(d, axis) >= cosNeedle;
            return hemisphere(d) +
                   (inNeedle ? kNeedleShare / (2.0 * kPi * (1.0 - cosNeedle)) : 0.0);
        },
        o);
    EXPECT_TRUE(withNeedle.passed) << withNeedle.message;
    EXPECT_NE(withNeedle.message.find("integration found no density"), std::string::npos)
        << withNeedle.message;

    // Without the needle in the density the same samples are a fault of the sampler.
    ChiSquareOptions failing = o;
    failing.dumpDirectory = failureFolder().string();
    const auto withoutNeedle = chiSquareTest(sampler, hemisphere, failing);
    EXPECT_FALSE(withoutNeedle.passed);
    EXPECT_NE(withoutNeedle.message.find("density calls impossible"), std::string::npos)
        << withoutNeedle.message;
    removeFailureFolder();
}

}  // namespace
}  // namespace glitter
