#include "flakes/math4.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include "flakes/simd/lane_pair.h"

namespace glitter {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kDenormal = 1e-40f;

uint32_t bits(float x) { return std::bit_cast<uint32_t>(x); }

#if defined(GLITTER_HAVE_SSE2_LANES)
namespace scalar = simd::scalar;
namespace sse2 = simd::sse2;

// Special values and range edges, random bit patterns, and random values in the flakes' ranges.
std::vector<float> kernelInputs() {
    const float specials[] = {0.0f, -0.0f, 1.0f, -1.0f, kDenormal, -kDenormal, kNaN, -kNaN, kInf,
                              -kInf, 1.1754944e-38f, 0.70710677f, 0.41421357f, 2.4142137f,
                              0.78539819f, 1.5707964f, 3.1415927f, 6.2831855f, 1e-30f, 1e30f,
                              2147483648.0f / 1.2732395f, std::numeric_limits<float>::max(),
                              std::numeric_limits<float>::lowest()};
    std::vector<float> in;
    for (const float x : specials) in.insert(in.end(), {x, std::nextafter(x, 0.0f)});
    std::mt19937 rng(20261206);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), wide(-100.0f, 100.0f);
    for (int i = 0; i < 1 << 21; ++i) in.push_back(std::bit_cast<float>(uint32_t(rng())));
    for (int i = 0; i < 1 << 20; ++i) in.push_back(unit(rng));
    for (int i = 0; i < 1 << 20; ++i) in.push_back(wide(rng));
    while (in.size() % 8) in.push_back(0.5f);
    return in;
}

template <class F>
F lanes(const float* p) { return F(p[0], p[1], p[2], p[3]); }

// Every kernel on one group: log, atan, sin, cos, normals (second uniforms from the next group).
template <class F>
std::array<F, 7> kernelsOf(const float* p, const float* next) {
    std::array<F, 7> r;
    r[0] = kernels::log4(lanes<F>(p));
    r[1] = kernels::atan4(lanes<F>(p));
    kernels::sincos4(lanes<F>(p), r[2], r[3]);
    kernels::sampleBeckmannNormals4(lanes<F>(p), lanes<F>(next), 0.1f, r[4], r[5], r[6]);
    return r;
}

// SSE2 gives the scalar back end's bits lane by lane; paired groups give each group's own bits.
TEST(Math4, BackEndsAndPairedGroupsGiveIdenticalBits) {
    const std::vector<float> in = kernelInputs();
    using Pair = simd::PairOf<sse2::Float4>;
    for (size_t i = 0; i < in.size(); i += 4) {
        const float* next = &in[(i + 4) % in.size()];
        const auto a = kernelsOf<scalar::Float4>(&in[i], next);
        const auto b = kernelsOf<sse2::Float4>(&in[i], next);
        const auto lo = lanes<sse2::Float4>(&in[i]), hi = lanes<sse2::Float4>(next);
        Pair x, y, z;
        kernels::sampleBeckmannNormals4(Pair(lo, hi), Pair(hi, lo), 0.1f, x, y, z);
        sse2::Float4 high[3];
        kernels::sampleBeckmannNormals4(hi, lo, 0.1f, high[0], high[1], high[2]);
        const sse2::Float4 got[6] = {x.lo, y.lo, z.lo, x.hi, y.hi, z.hi};
        const sse2::Float4 want[6] = {b[4], b[5], b[6], high[0], high[1], high[2]};
        for (int f = 0; f < 7; ++f)
            for (int k = 0; k < 4; ++k) {
                // Uniforms outside (0, 1] give NaN normals whose payload follows operand order.
                if (f >= 4 && std::isnan(a[f][k]) && std::isnan(b[f][k])) continue;
                ASSERT_EQ(bits(a[f][k]), bits(b[f][k])) << "kernel " << f << " of " << in[i + k];
            }
        for (int c = 0; c < 6; ++c)
            for (int k = 0; k < 4; ++k) ASSERT_EQ(bits(got[c][k]), bits(want[c][k])) << i;
        // Uniforms in (0, 1] give unit, upright normals.
        for (int k = 0; k < 4; ++k) {
            const float u = in[i + k], w = next[k];
            if (!(u > 0.0f && u <= 1.0f && w > 0.0f && w <= 1.0f)) continue;
            const float x = a[4][k], y = a[5][k], z = a[6][k];
            ASSERT_NEAR(x * x + y * y + z * z, 1.0f, 1e-5f) << u << " " << w;
            ASSERT_TRUE(z >= 0.0f && z <= 1.0f) << u << " " << w;
        }
    }
}
#endif

double ulpError(float got, double want) {
    const float wantF = float(want);
    return std::fabs(double(got) - want) /
           (std::nextafter(std::fabs(wantF), kInf) - std::fabs(wantF));
}

// Accuracy against the standard library over the flakes' ranges (the worst errors are printed, so
// a change of constants or operation order shows in the log); sine odd, cosine even to the bit.
TEST(Math4, ErrorAgainstTheStandardLibraryIsBoundedAndSymmetric) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), angle(-6.2831855f, 6.2831855f),
        slope(-1000.0f, 1000.0f), far(0.0f, 100.0f);
    double worst[4] = {0, 0, 0, 0}, sinAbs = 0.0, cosAbs = 0.0;
    for (int i = 0; i < 1 << 20; ++i) {
        const float a = angle(rng);
        const float t = (i & 1) ? slope(rng) : slope(rng) * 1e-3f;
        alignas(16) float in[4] = {std::max(unit(rng), 1e-30f), a, t,
                                   std::ldexp(1.0f, int(i % 250) - 125)};
        alignas(16) float out[4], s[4], c[4];
        log4(in, out);
        worst[0] = std::max({worst[0], ulpError(out[0], std::log(double(in[0]))),
                             ulpError(out[3], std::log(double(in[3])))});
        sincos4(in, s, c);
        sinAbs = std::max(sinAbs, std::fabs(s[1] - std::sin(double(a))));
        cosAbs = std::max(cosAbs, std::fabs(c[1] - std::cos(double(a))));
        if (std::fabs(std::sin(double(a))) > 0.01)
            worst[1] = std::max(worst[1], ulpError(s[1], std::sin(double(a))));
        if (std::fabs(std::cos(double(a))) > 0.01)
            worst[2] = std::max(worst[2], ulpError(c[1], std::cos(double(a))));
        atan4(in, out);
        worst[3] = std::max(worst[3], ulpError(out[2], std::atan(double(t))));

        alignas(16) float pos[4] = {0.0f, far(rng), far(rng), far(rng)};
        alignas(16) float neg[4] = {-0.0f, -pos[1], -pos[2], -pos[3]};
        alignas(16) float sn[4], cn[4];
        sincos4(pos, s, c);
        sincos4(neg, sn, cn);
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(bits(sn[k]), bits(s[k]) ^ 0x80000000u) << pos[k];
            ASSERT_EQ(bits(cn[k]), bits(c[k])) << pos[k];
        }
    }
    std::printf("worst ulps: log4 %.2f, sin %.2f, cos %.2f, atan4 %.2f; abs: sin %.3g, cos %.3g\n",
                worst[0], worst[1], worst[2], worst[3], sinAbs, cosAbs);
    for (const double w : worst) EXPECT_LE(w, 4.0);
    EXPECT_LE(sinAbs, 2e-7);
    EXPECT_LE(cosAbs, 2e-7);
}

// Worked values at the ends of the ranges: log of 0 or a negative is NaN with every bit set, a
// NaN is read as the smallest normal, atan of a huge slope is π/2; the upright normal.
TEST(Math4, SpecialValues) {
    const auto run4 = [](void (*kernel)(const float*, float*), std::array<float, 4> in) {
        alignas(16) float x[4] = {in[0], in[1], in[2], in[3]}, out[4];
        kernel(x, out);
        return std::array{out[0], out[1], out[2], out[3]};
    };
    const auto log = run4(log4, {1.0f, 0.0f, -3.0f, kDenormal});
    EXPECT_EQ(log[0], 0.0f);
    EXPECT_EQ(bits(log[1]), 0xFFFFFFFFu);
    EXPECT_EQ(bits(log[2]), 0xFFFFFFFFu);
    EXPECT_NEAR(log[3], -87.336f, 1e-3f);
    const auto nan = run4(log4, {kNaN, 1.1754944e-38f, 2.0f, 0.5f});
    EXPECT_EQ(nan[0], nan[1]);
    const auto atan = run4(atan4, {0.0f, 1.0f, 1e30f, -1.0f});
    EXPECT_EQ(atan, (std::array{0.0f, 0.7853982f, 1.5707964f, -0.7853982f}));
    // A first uniform of 1 is the surface normal itself; smaller ones tilt further.
    alignas(16) float x[4], y[4], z[4];
    alignas(16) float a[4] = {1.0f, 0.9f, 0.5f, 1e-6f}, b[4] = {0.3f, 0.0f, 0.7f, 1.0f};
    sampleBeckmannNormals4(a, b, 0.3f, x, y, z);
    EXPECT_EQ((std::array{x[0], y[0], z[0]}), (std::array{0.0f, 0.0f, 1.0f}));
    EXPECT_TRUE(z[1] > z[2] && z[2] > z[3]);
}

}  // namespace
}  // namespace glitter
