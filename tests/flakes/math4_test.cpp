#include "flakes/math4.h"

#include "flakes/simd/lane_pair.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

namespace glitter {
namespace {

namespace scalar = simd::scalar;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kDenormal = 1e-40f;

// Inputs that stress every range case and special value, then a long tail of random bit
// patterns (every class of float) and random values in the ranges the flakes use.
std::vector<float> kernelInputs() {
    std::vector<float> in = {0.0f,  -0.0f,     1.0f,       -1.0f,     kDenormal, -kDenormal,
                             kNaN,  -kNaN,     kInf,       -kInf,     1.1754944e-38f,
                             0.70710677f, std::nextafter(0.70710677f, 0.0f), 0.41421357f,
                             std::nextafter(0.41421357f, 0.0f), 2.4142137f,
                             std::nextafter(2.4142137f, 0.0f), 0.78539819f, 1.5707964f,
                             3.1415927f, 6.2831855f, 1e-30f, 1e30f, 2147483648.0f / 1.2732395f,
                             std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest()};
    std::mt19937 rng(20261206);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_real_distribution<float> wide(-100.0f, 100.0f);
    for (int i = 0; i < 1 << 21; ++i) in.push_back(std::bit_cast<float>(uint32_t(rng())));
    for (int i = 0; i < 1 << 20; ++i) in.push_back(unit(rng));
    for (int i = 0; i < 1 << 20; ++i) in.push_back(wide(rng));
    while (in.size() % 4) in.push_back(0.5f);
    return in;
}

template <class F>
F lanes(const float* p) {
    return F(p[0], p[1], p[2], p[3]);
}

uint32_t bits(float x) { return std::bit_cast<uint32_t>(x); }

#if defined(GLITTER_HAVE_SSE2_LANES)
namespace sse2 = simd::sse2;

// The scalar back end is the reference for the SSE2 one: same bits, lane by lane.
TEST(Math4, ScalarAndSse2BackEndsGiveIdenticalBits) {
    const std::vector<float> in = kernelInputs();
    size_t checked = 0;
    for (size_t i = 0; i + 4 <= in.size(); i += 4) {
        const auto a = lanes<scalar::Float4>(&in[i]);
        const auto b = lanes<sse2::Float4>(&in[i]);
        // Pair every input with a rotated neighbour as the second uniform of the sampler.
        const size_t j = (i + 4) % in.size();
        const auto a2 = lanes<scalar::Float4>(&in[j]);
        const auto b2 = lanes<sse2::Float4>(&in[j]);

        const auto logA = kernels::log4(a);
        const auto logB = kernels::log4(b);
        const auto atanA = kernels::atan4(a);
        const auto atanB = kernels::atan4(b);
        scalar::Float4 sinA, cosA, nxA, nyA, nzA;
        sse2::Float4 sinB, cosB, nxB, nyB, nzB;
        kernels::sincos4(a, sinA, cosA);
        kernels::sincos4(b, sinB, cosB);
        kernels::sampleBeckmannNormals4(a, a2, 0.1f, nxA, nyA, nzA);
        kernels::sampleBeckmannNormals4(b, b2, 0.1f, nxB, nyB, nzB);
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(bits(logA[k]), bits(logB[k])) << "log4 of " << in[i + k];
            ASSERT_EQ(bits(atanA[k]), bits(atanB[k])) << "atan4 of " << in[i + k];
            ASSERT_EQ(bits(sinA[k]), bits(sinB[k])) << "sin of " << in[i + k];
            ASSERT_EQ(bits(cosA[k]), bits(cosB[k])) << "cos of " << in[i + k];
            ASSERT_EQ(bits(nxA[k]), bits(nxB[k])) << "normal x of " << in[i + k];
            ASSERT_EQ(bits(nyA[k]), bits(nyB[k])) << "normal y of " << in[i + k];
            ASSERT_EQ(bits(nzA[k]), bits(nzB[k])) << "normal z of " << in[i + k];
            ++checked;
        }
    }
    EXPECT_GT(checked, 4000000u);
}

// Two groups computed side by side give each group's own bits.
TEST(Math4, PairedGroupsMatchSingleGroups) {
    const std::vector<float> in = kernelInputs();
    using Pair = simd::PairOf<sse2::Float4>;
    for (size_t i = 0; i + 8 <= in.size(); i += 8) {
        const auto lo = lanes<sse2::Float4>(&in[i]);
        const auto hi = lanes<sse2::Float4>(&in[i + 4]);
        Pair x, y, z;
        kernels::sampleBeckmannNormals4(Pair(lo, hi), Pair(hi, lo), 0.3f, x, y, z);
        sse2::Float4 x0, y0, z0, x1, y1, z1;
        kernels::sampleBeckmannNormals4(lo, hi, 0.3f, x0, y0, z0);
        kernels::sampleBeckmannNormals4(hi, lo, 0.3f, x1, y1, z1);
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(bits(x.lo[k]), bits(x0[k]));
            ASSERT_EQ(bits(y.lo[k]), bits(y0[k]));
            ASSERT_EQ(bits(z.lo[k]), bits(z0[k]));
            ASSERT_EQ(bits(x.hi[k]), bits(x1[k]));
            ASSERT_EQ(bits(z.hi[k]), bits(z1[k]));
        }
    }
}
#endif

// Distance in units in the last place between a float result and a double reference.
double ulpError(float got, double want) {
    if (std::isnan(want)) return std::isnan(got) ? 0.0 : INFINITY;
    const float wantF = float(want);
    const double ulp = std::nextafter(std::fabs(wantF), kInf) - std::fabs(wantF);
    return std::fabs(double(got) - want) / ulp;
}

struct WorstError {
    double ulps = 0.0;
    float at = 0.0f;
    void add(double e, float x) {
        if (e > ulps) {
            ulps = e;
            at = x;
        }
    }
};

// Accuracy against the standard library over the ranges the flakes use; the worst errors are
// printed so that a change of constants or operation order shows up in the log.
TEST(Math4, ErrorAgainstTheStandardLibraryIsBounded) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_real_distribution<float> angle(-6.2831855f, 6.2831855f);
    std::uniform_real_distribution<float> slope(-1000.0f, 1000.0f);
    WorstError logErr, sinErr, cosErr, atanErr;
    double sinAbs = 0.0, cosAbs = 0.0;
    for (int i = 0; i < 1 << 20; ++i) {
        const float u = std::max(unit(rng), 1e-30f);
        const float a = angle(rng);
        const float t = (i & 1) ? slope(rng) : slope(rng) * 1e-3f;
        alignas(16) float in[4] = {u, a, t, std::ldexp(1.0f, int(i % 250) - 125)};
        alignas(16) float out[4], s[4], c[4];
        log4(in, out);
        logErr.add(ulpError(out[0], std::log(double(in[0]))), in[0]);
        logErr.add(ulpError(out[3], std::log(double(in[3]))), in[3]);
        sincos4(in, s, c);
        sinAbs = std::max(sinAbs, std::fabs(s[1] - std::sin(double(a))));
        cosAbs = std::max(cosAbs, std::fabs(c[1] - std::cos(double(a))));
        if (std::fabs(std::sin(double(a))) > 0.01) sinErr.add(ulpError(s[1], std::sin(double(a))), a);
        if (std::fabs(std::cos(double(a))) > 0.01) cosErr.add(ulpError(c[1], std::cos(double(a))), a);
        atan4(in, out);
        atanErr.add(ulpError(out[2], std::atan(double(t))), t);
    }
    std::printf("worst ulps: log4 %.2f (at %g), sin %.2f (at %g), cos %.2f (at %g), atan4 %.2f (at %g)\n",
                logErr.ulps, logErr.at, sinErr.ulps, sinErr.at, cosErr.ulps, cosErr.at,
                atanErr.ulps, atanErr.at);
    std::printf("worst absolute error on [-2pi, 2pi]: sin %.3g, cos %.3g\n", sinAbs, cosAbs);
    EXPECT_LE(logErr.ulps, 4.0);
    EXPECT_LE(sinErr.ulps, 4.0);
    EXPECT_LE(cosErr.ulps, 4.0);
    EXPECT_LE(atanErr.ulps, 4.0);
    EXPECT_LE(sinAbs, 2e-7);
    EXPECT_LE(cosAbs, 2e-7);
}

TEST(Math4, LogarithmSpecialValues) {
    alignas(16) float in[4] = {1.0f, 0.0f, -3.0f, kDenormal};
    alignas(16) float out[4];
    log4(in, out);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(bits(out[1]), 0xFFFFFFFFu);  // invalid lanes: NaN with every bit set
    EXPECT_EQ(bits(out[2]), 0xFFFFFFFFu);
    EXPECT_NEAR(out[3], -87.336f, 1e-3f);

    alignas(16) float nan[4] = {kNaN, 1.1754944e-38f, 2.0f, 0.5f};
    log4(nan, out);
    EXPECT_EQ(out[0], out[1]);  // NaN is treated as the smallest normal
    EXPECT_NEAR(out[2], 0.6931472f, 1e-7f);
    EXPECT_NEAR(out[3], -0.6931472f, 1e-7f);
}

TEST(Math4, SineCosineSymmetry) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> angle(0.0f, 100.0f);
    for (int i = 0; i < 10000; ++i) {
        alignas(16) float in[4] = {0.0f, angle(rng), angle(rng), angle(rng)};
        alignas(16) float neg[4] = {-0.0f, -in[1], -in[2], -in[3]};
        alignas(16) float s[4], c[4], sn[4], cn[4];
        sincos4(in, s, c);
        sincos4(neg, sn, cn);
        EXPECT_EQ(s[0], 0.0f);
        EXPECT_EQ(c[0], 1.0f);
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(bits(sn[k]), bits(s[k]) ^ 0x80000000u) << in[k];
            ASSERT_EQ(bits(cn[k]), bits(c[k])) << in[k];
        }
    }
}

TEST(Math4, ArcTangentSpecialValues) {
    alignas(16) float in[4] = {0.0f, 1.0f, 1e30f, -1.0f};
    alignas(16) float out[4];
    atan4(in, out);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_NEAR(out[1], 0.7853982f, 1e-7f);
    EXPECT_NEAR(out[2], 1.5707964f, 1e-7f);
    EXPECT_EQ(out[3], -out[1]);
}

TEST(Math4, BeckmannNormalsAreUnitAndUpright) {
    alignas(16) float a[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    alignas(16) float b[4] = {0.0f, 0.3f, 0.7f, 1.0f};
    alignas(16) float x[4], y[4], z[4];
    sampleBeckmannNormals4(a, b, 0.1f, x, y, z);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(std::fabs(x[k]), 0.0f);
        EXPECT_EQ(std::fabs(y[k]), 0.0f);
        EXPECT_EQ(z[k], 1.0f);
    }

    // Smaller a tilts further from the normal; every normal has unit length and z in [0, 1].
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(1e-7f, 1.0f);
    for (int i = 0; i < 100000; ++i) {
        alignas(16) float ua[4] = {unit(rng), unit(rng), unit(rng), unit(rng)};
        alignas(16) float ub[4] = {unit(rng), unit(rng), unit(rng), unit(rng)};
        sampleBeckmannNormals4(ua, ub, 0.5f, x, y, z);
        for (int k = 0; k < 4; ++k) {
            ASSERT_NEAR(x[k] * x[k] + y[k] * y[k] + z[k] * z[k], 1.0f, 1e-5f);
            ASSERT_GE(z[k], 0.0f);
            ASSERT_LE(z[k], 1.0f);
        }
    }
    alignas(16) float tilt[4] = {0.9f, 0.5f, 0.1f, 1e-6f};
    alignas(16) float zero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    sampleBeckmannNormals4(tilt, zero, 0.3f, x, y, z);
    EXPECT_GT(z[0], z[1]);
    EXPECT_GT(z[1], z[2]);
    EXPECT_GT(z[2], z[3]);
}

}  // namespace
}  // namespace glitter
