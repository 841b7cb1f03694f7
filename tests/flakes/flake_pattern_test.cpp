#include "flakes/quadtree_split.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <tuple>

#include "flakes/flake_node.h"
#include "flakes/leaf_flakes.h"

namespace glitter {
namespace {

using Counts = std::array<int32_t, 4>;

Counts splitCounts(uint32_t seed, int32_t count) {
    FlakeNode node{seed, count, 0.0f, 0.0f, 1.0f, 1.0f, 0};
    FlakeNode children[4];
    splitFlakeCount(node, children);
    return {children[0].count, children[1].count, children[2].count, children[3].count};
}

int64_t sum(const Counts& c) { return int64_t(c[0]) + c[1] + c[2] + c[3]; }

// Exact below nine flakes, Gaussian approximation and fix-up above. Seed 8815669 draws a fourth
// uniform of exactly 1: the deviates are NaN, every approximation 0, the fix-up places all n.
TEST(SplitFlakeCount, WorkedCounts) {
    const struct {
        uint32_t seed;
        int32_t n;
        Counts approximation, split;
    } cases[] = {
        {0, 8, {}, {2, 1, 2, 3}},
        {0xFFFFFFFFu, 8, {}, {1, 3, 3, 1}},
        {7, 0, {}, {0, 0, 0, 0}},
        {0xFFFFFFFFu, 100, {21, 25, 26, 28}, {21, 25, 26, 28}},
        {0, 100, {13, 30, 25, 33}, {12, 30, 25, 33}},
        {0, 9, {-1, 4, 2, 5}, {0, 2, 2, 5}},
        {8815669, 1000, {0, 0, 0, 0}, {}}};
    for (const auto& k : cases) {
        if (k.n > 8) {
            FlakeRandom random(k.seed);
            Counts c;
            detail::approximateQuadrantCounts(k.n, random, c.data());
            EXPECT_EQ(c, k.approximation) << k.seed << " " << k.n;
        }
        if (sum(k.split) == k.n) {
            EXPECT_EQ(splitCounts(k.seed, k.n), k.split) << k.seed << " " << k.n;
        }
    }
    FlakeRandom probe(8815669);
    for (int i = 0; i < 3; ++i) probe.nextUniform();
    EXPECT_EQ(probe.nextUniform(), 1.0f);
}

// Non-negative counts summing to n: many seeds, counts up to two billion, the NaN seed, and huge
// approximations (which overflow without the 64-bit difference, crawl without batched rounds).
TEST(SplitFlakeCount, CountsAreNonNegativeAndSumToTheParent) {
    const auto expectSplit = [](const Counts& c, int32_t n) {
        ASSERT_EQ(sum(c), n);
        for (int32_t x : c) ASSERT_GE(x, 0);
    };
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> anyCount(0, 2000000000), smallCount(0, 200);
    for (int i = 0; i < 200000; ++i) {
        const uint32_t seed = rng();
        const int32_t n = (i % 2) ? anyCount(rng) : smallCount(rng);
        ASSERT_NO_FATAL_FAILURE(expectSplit(splitCounts(seed, n), n)) << seed << " " << n;
    }
    for (int32_t n : {2000000000, 1999999999, 9, 10, 16, 17}) {
        for (uint32_t seed = 0; seed < 2000; ++seed) ASSERT_EQ(sum(splitCounts(seed, n)), n);
        expectSplit(splitCounts(8815669, n), n);
    }
    const int32_t huge[][5] = {
        {2000000000, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, {9, INT32_MAX, -5, INT32_MIN, 3},
        {2000000000, 0, 0, 0, 0}, {1, INT32_MAX, 1, 1, 1}, {0, 5, 5, 5, 5}};
    for (const auto& c : huge) {
        Counts counts = {c[1], c[2], c[3], c[4]};
        FlakeRandom random(77);
        balanceQuadrantCounts(c[0], counts.data(), random);
        expectSplit(counts, c[0]);
    }
}

TEST(SplitFlakeCount, RoundCountGuardsEveryConversion) {
    const std::pair<float, int32_t> cases[] = {
        {2.5f, 3}, {2.49f, 2}, {-0.5f, 0}, {-1.2f, -1}, {-1.7f, -2}, {NAN, 0},
        {INFINITY, INT32_MAX}, {-INFINITY, INT32_MIN}, {3e9f, INT32_MAX}};
    for (const auto& [x, rounded] : cases) EXPECT_EQ(detail::roundCount(x), rounded) << x;
}

// Reference fix-up: the loops exactly as defined, one flake at a time.
void referenceBalance(int32_t n, int64_t c[4], uint32_t r) {
    int list[4];
    int length = 0;
    for (int k = 0; k < 4; ++k) {
        if (c[k] >= 1) list[length++] = k;
        else c[k] = 0;
    }
    const int64_t d = n - c[3] - c[2] - c[1] - c[0];
    for (int64_t i = 0; i < d; ++i) c[(r >> ((2 * i) % 32)) & 3]++;
    for (int64_t i = 1; i <= -d; ++i) {
        const int j = int((r >> ((2 * i) % 32)) % uint32_t(length));
        const int q = list[j];
        c[q]--;
        if (c[q] == 0 && i < -d) {
            for (int p = j; p + 1 < length; ++p) list[p] = list[p + 1];
            --length;
        }
    }
}

// Against the reference, with more than sixteen missing or extra flakes (the chunks repeat).
TEST(BalanceQuadrantCounts, MatchesTheOneByOneDefinition) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> n(0, 3000), approx(-50, 1200);
    for (int i = 0; i < 20000; ++i) {
        const uint32_t seed = rng();
        const int32_t total = n(rng);
        int32_t counts[4];
        int64_t expected[4];
        for (int k = 0; k < 4; ++k) expected[k] = counts[k] = approx(rng);
        FlakeRandom random(seed), reference(seed);
        const bool draws = (int64_t(total) - std::max(0, counts[0]) - std::max(0, counts[1]) -
                            std::max(0, counts[2]) - std::max(0, counts[3])) != 0;
        balanceQuadrantCounts(total, counts, random);
        referenceBalance(total, expected, draws ? reference.next32() : 0);
        for (int k = 0; k < 4; ++k) ASSERT_EQ(counts[k], expected[k]) << "case " << i;
        // The generator advances by exactly one step when a fix-up is needed, else not at all.
        ASSERT_EQ(random.next(), reference.next());
    }
}

TEST(FlakeRandom, SeedZeroMatchesTheDefinedSequenceAndUniformsLieInTheHalfOpenInterval) {
    FlakeRandom random(0);
    EXPECT_EQ(random.currentState(), 0x7301A9AC43C42D29ULL);
    EXPECT_EQ(random.next(), 0xA577CA8F217EE599ULL);
    EXPECT_EQ(random.next(), 0xC6E1F10B9E739CEFULL);
    FlakeRandom uniforms(0);
    EXPECT_EQ(uniforms.nextUniform(), 0.64635915f);
    EXPECT_EQ(uniforms.nextUniform(), 0.7768851f);
    for (uint32_t seed = 0; seed < 2000; ++seed) {
        FlakeRandom r(seed * 2654435761u);
        for (int i = 0; i < 50; ++i) {
            const float u = r.nextUniform();
            ASSERT_TRUE(u > 0.0f && u <= 1.0f) << u;
        }
    }
}

TEST(CellSeed, ComplementOfTheExclusiveOr) {
    EXPECT_EQ(cellSeed(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(cellSeed(3, 5), cellSeed(5, 3));
    EXPECT_EQ(cellSeed(-1, 0), 0u);
    EXPECT_EQ(cellSeed(-2147483647 - 1, 2147483647), 0u);
}

TEST(FlakeParams, RoughnessFromGlossinessIsClamped) {
    const std::pair<float, float> clamps[] = {
        {1.0f, 0.001f}, {0.9995f, 0.001f}, {10000.0f, 0.001f}, {0.0f, 1.0f},
        {-3.0f, 1.0f},  {0.5f, 0.5f},      {NAN, 0.001f}};
    for (const auto& [glossiness, roughness] : clamps)
        EXPECT_EQ(FlakeParams::roughnessFromGlossiness(glossiness), roughness) << glossiness;
}

// Per flake two normal uniforms, then for coloured flakes hue, [saturation], [lightness]: the
// second flake of a leaf shows how many the first one took, and its colour pins the conversion.
TEST(LeafFlakes, DrawOrderOfPlainAndColouredFlakes) {
    LeafFlakes plain(1234);
    FlakeRandom reference(1234);
    for (int i = 0; i < 100; ++i) {
        float a, b;
        plain.next(a, b);
        EXPECT_EQ(a, reference.nextUniform());
        EXPECT_EQ(b, reference.nextUniform());
    }
    const struct {
        int32_t randomS, randomL;
        float a, b;
        FlakeRgb color;
    } cases[] = {
        {0, 0, 0.595226526f, 0.269822925f, {0.375f, 0.625f, 0.569382608f}},
        {0, 1, 0.269822925f, 0.462921739f, {0.366716504f, 0.611194253f, 0.404834777f}},
        {1, 0, 0.269822925f, 0.462921739f, {0.255522311f, 0.744477689f, 0.331758857f}},
        {1, 1, 0.462921739f, 0.359319538f, {0.863831282f, 0.888539195f, 0.886901855f}}};
    for (const auto& k : cases) {
        FlakeParams params;
        params.init(10000000, 0.1f, 0.05f, 12, k.randomS, 0.25f, k.randomL, 0.5f, 500, 700);
        LeafFlakes leaf(1234);
        float a, b;
        FlakeRgb c;
        leaf.next(params, a, b, c);
        leaf.next(params, a, b, c);
        EXPECT_EQ(std::tie(a, b, c.r, c.g, c.b),
                  std::tie(k.a, k.b, k.color.r, k.color.g, k.color.b))
            << k.randomS << k.randomL;
    }
    // The draws above are greenish; at hue 0 (red) the blue channel's hue falls below 0 and wraps.
    const FlakeRgb red = flakeColor(0.0f, 1.0f, 0.5f);
    EXPECT_NEAR(red.r, 1.0f, 1e-6f);
    EXPECT_NEAR(red.g, 0.0f, 1e-6f);
    EXPECT_NEAR(red.b, 0.0f, 1e-6f);
}

}  // namespace
}  // namespace glitter
