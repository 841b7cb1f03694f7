#include "flakes/quadtree_split.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>

namespace glitter {
namespace {

std::array<int32_t, 4> splitCounts(uint32_t seed, int32_t count) {
    FlakeNode node{seed, count, 0.0f, 0.0f, 1.0f, 1.0f, 0, nullptr};
    FlakeNode children[4];
    splitFlakeCount(node, children);
    return {children[0].count, children[1].count, children[2].count, children[3].count};
}

std::array<int32_t, 4> approximations(uint32_t seed, int32_t count) {
    FlakeRandom random(seed);
    std::array<int32_t, 4> c;
    detail::approximateQuadrantCounts(count, random, c.data());
    return c;
}

using Counts = std::array<int32_t, 4>;

TEST(SplitFlakeCount, ExactSplitWorkedCounts) {
    EXPECT_EQ(splitCounts(0, 8), (Counts{2, 1, 2, 3}));
    EXPECT_EQ(splitCounts(0xFFFFFFFFu, 8), (Counts{1, 3, 3, 1}));
    EXPECT_EQ(splitCounts(7, 0), (Counts{0, 0, 0, 0}));
    const Counts one = splitCounts(99, 1);
    EXPECT_EQ(one[0] + one[1] + one[2] + one[3], 1);
}

TEST(SplitFlakeCount, ApproximateSplitWorkedCounts) {
    EXPECT_EQ(approximations(0xFFFFFFFFu, 100), (Counts{21, 25, 26, 28}));
    EXPECT_EQ(splitCounts(0xFFFFFFFFu, 100), (Counts{21, 25, 26, 28}));
    EXPECT_EQ(approximations(0, 100), (Counts{13, 30, 25, 33}));
    EXPECT_EQ(splitCounts(0, 100), (Counts{12, 30, 25, 33}));
    EXPECT_EQ(approximations(0, 9), (Counts{-1, 4, 2, 5}));
    EXPECT_EQ(splitCounts(0, 9), (Counts{0, 2, 2, 5}));
}

TEST(SplitFlakeCount, ChildrenSeedsAndSquares) {
    FlakeNode node{1u << 30, 5, 0.5f, 0.25f, 1.0f, 0.75f, 0, nullptr};
    FlakeNode c[4];
    splitFlakeCount(node, c);
    EXPECT_EQ(c[0].seed, 0u);  // 4 * 2^30 wraps
    EXPECT_EQ(c[3].seed, 3u);
    // Counter-clockwise from the low corner.
    EXPECT_EQ(c[0].uMin, 0.5f);
    EXPECT_EQ(c[0].uMax, 0.75f);
    EXPECT_EQ(c[0].vMax, 0.5f);
    EXPECT_EQ(c[1].uMin, 0.75f);
    EXPECT_EQ(c[1].vMin, 0.25f);
    EXPECT_EQ(c[2].uMin, 0.75f);
    EXPECT_EQ(c[2].vMin, 0.5f);
    EXPECT_EQ(c[3].uMax, 0.75f);
    EXPECT_EQ(c[3].vMin, 0.5f);
    EXPECT_EQ(c[3].vMax, 0.75f);
    for (const FlakeNode& child : c) EXPECT_EQ(child.inside, 0);

    node.inside = 1;
    splitFlakeCount(node, c);
    for (const FlakeNode& child : c) EXPECT_EQ(child.inside, 1);
}

TEST(SplitFlakeCount, SameSeedSameChildren) {
    for (int32_t n : {3, 8, 9, 1000, 10000000}) {
        EXPECT_EQ(splitCounts(4242, n), splitCounts(4242, n));
    }
}

// Four non-negative counts summing to n, over many seeds and counts up to two billion.
TEST(SplitFlakeCount, CountsAreNonNegativeAndSumToTheParent) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> anyCount(0, 2000000000);
    std::uniform_int_distribution<int32_t> smallCount(0, 200);
    for (int i = 0; i < 200000; ++i) {
        const uint32_t seed = rng();
        const int32_t n = (i % 2) ? anyCount(rng) : smallCount(rng);
        const Counts c = splitCounts(seed, n);
        int64_t sum = 0;
        for (int32_t x : c) {
            ASSERT_GE(x, 0) << "seed " << seed << " n " << n;
            sum += x;
        }
        ASSERT_EQ(sum, n) << "seed " << seed << " n " << n;
    }
    for (int32_t n : {2000000000, 1999999999, 9, 10, 16, 17}) {
        for (uint32_t seed = 0; seed < 2000; ++seed) {
            const Counts c = splitCounts(seed, n);
            ASSERT_EQ(int64_t(c[0]) + c[1] + c[2] + c[3], n);
        }
    }
}

TEST(SplitFlakeCount, UniformOfExactlyOneGivesNoNumberAndStillSumsToN) {
    // Seed 8815669 draws a fourth uniform of exactly 1: the logarithm's argument is 0, the
    // deviates are not numbers, every approximation becomes 0 and the fix-up places all n.
    FlakeRandom probe(8815669);
    for (int i = 0; i < 3; ++i) probe.nextUniform();
    ASSERT_EQ(probe.nextUniform(), 1.0f);

    EXPECT_EQ(approximations(8815669, 1000), (Counts{0, 0, 0, 0}));
    for (int32_t n : {9, 1000, 2000000000}) {
        const Counts c = splitCounts(8815669, n);
        EXPECT_EQ(int64_t(c[0]) + c[1] + c[2] + c[3], n);
        for (int32_t x : c) EXPECT_GE(x, 0);
    }
}

TEST(SplitFlakeCount, RoundCountGuardsEveryConversion) {
    EXPECT_EQ(detail::roundCount(2.5f), 3);
    EXPECT_EQ(detail::roundCount(2.49f), 2);
    EXPECT_EQ(detail::roundCount(-0.5f), 0);
    EXPECT_EQ(detail::roundCount(-1.2f), -1);
    EXPECT_EQ(detail::roundCount(-1.7f), -2);
    EXPECT_EQ(detail::roundCount(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(detail::roundCount(std::numeric_limits<float>::infinity()), INT32_MAX);
    EXPECT_EQ(detail::roundCount(-std::numeric_limits<float>::infinity()), INT32_MIN);
    EXPECT_EQ(detail::roundCount(3e9f), INT32_MAX);
}

// Reference fix-up: the loops exactly as defined, one flake at a time.
void referenceBalance(int32_t n, int64_t c[4], uint32_t r) {
    int list[4];
    int length = 0;
    for (int k = 0; k < 4; ++k) {
        if (c[k] >= 1) {
            list[length++] = k;
        } else {
            c[k] = 0;
        }
    }
    const int64_t d = n - c[3] - c[2] - c[1] - c[0];
    if (d > 0) {
        for (int64_t i = 0; i < d; ++i) c[(r >> ((2 * i) % 32)) & 3]++;
    } else if (d < 0) {
        const int64_t e = -d;
        for (int64_t i = 1; i <= e; ++i) {
            const int j = int((r >> ((2 * i) % 32)) % uint32_t(length));
            const int q = list[j];
            c[q]--;
            if (c[q] == 0 && i < e) {
                for (int p = j; p + 1 < length; ++p) list[p] = list[p + 1];
                --length;
            }
        }
    }
}

TEST(BalanceQuadrantCounts, MatchesTheOneByOneDefinition) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> n(0, 3000);
    std::uniform_int_distribution<int32_t> approx(-50, 1200);
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

TEST(BalanceQuadrantCounts, HugeApproximationsStayBoundedAndSumToN) {
    // Without the 64-bit difference these would overflow; without the batched rounds they
    // would take billions of steps.
    const int32_t cases[][5] = {
        {2000000000, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
        {9, INT32_MAX, -5, INT32_MIN, 3},
        {2000000000, 0, 0, 0, 0},
        {1, INT32_MAX, 1, 1, 1},
        {0, 5, 5, 5, 5},
    };
    for (const auto& c : cases) {
        int32_t counts[4] = {c[1], c[2], c[3], c[4]};
        FlakeRandom random(77);
        balanceQuadrantCounts(c[0], counts, random);
        int64_t sum = 0;
        for (int32_t x : counts) {
            EXPECT_GE(x, 0);
            sum += x;
        }
        EXPECT_EQ(sum, c[0]);
    }
}

TEST(BalanceQuadrantCounts, MoreThanSixteenMissingReuseTheChunks) {
    FlakeRandom probe(5);
    const uint32_t r = probe.next32();
    int32_t counts[4] = {0, 0, 0, 0};
    FlakeRandom random(5);
    balanceQuadrantCounts(32, counts, random);
    int32_t expected[4] = {0, 0, 0, 0};
    for (int i = 0; i < 16; ++i) expected[(r >> (2 * i)) & 3] += 2;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(counts[k], expected[k]);
}

}  // namespace
}  // namespace glitter
