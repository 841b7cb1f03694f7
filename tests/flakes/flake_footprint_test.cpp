#include "flakes/flake_footprint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "tests/flakes/reference_geometry.h"

namespace glitter {
namespace {

TEST(FlakeFootprint, WorkedGeometry) {
    const FlakeFootprint f = makeFootprint({0.25f, 0.25f}, {0.5f, 0.0f}, {0.0f, 0.5f});
    const FlakeUV corners[4] = {{0.25f, 0.75f}, {0.25f, 0.25f}, {0.75f, 0.25f}, {0.75f, 0.75f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(f.corner[i].u, corners[i].u);
        EXPECT_EQ(f.corner[i].v, corners[i].v);
    }
    EXPECT_EQ(f.edgeNormal[0].u, -0.5f);
    EXPECT_EQ(f.edgeNormal[0].v, 0.0f);
    EXPECT_EQ(f.edgeNormal[1].u, 0.0f);
    EXPECT_EQ(f.edgeNormal[1].v, 0.5f);
    EXPECT_EQ(f.area, 0.25f);
    EXPECT_EQ(f.boundsMin.u, 0.25f);
    EXPECT_EQ(f.boundsMax.v, 0.75f);

    EXPECT_EQ(classifyBox(f, {0.0f, 0.0f, 0.5f, 0.5f}), BoxClass::partial);
    EXPECT_EQ(coveredFraction(f, {0.0f, 0.0f, 0.5f, 0.5f}), 0.25f);
    EXPECT_EQ(classifyBox(f, {0.25f, 0.25f, 0.5f, 0.5f}), BoxClass::inside);
    EXPECT_EQ(classifyBox(f, {0.75f, 0.0f, 1.0f, 1.0f}), BoxClass::outside);  // only touches
}

TEST(FlakeFootprint, EdgesAreOrderedCounterClockwise) {
    const FlakeFootprint f = makeFootprint({2.0f, 3.0f}, {1.0f, 0.0f}, {0.0f, 1.0f});
    EXPECT_EQ(f.corner[0].u, 2.0f);
    EXPECT_EQ(f.corner[0].v, 4.0f);
    EXPECT_EQ(f.corner[2].u, 3.0f);
    EXPECT_EQ(f.corner[2].v, 3.0f);
    EXPECT_EQ(f.corner[3].u, 3.0f);
    EXPECT_EQ(f.corner[3].v, 4.0f);
    EXPECT_EQ(f.edgeNormal[0].u, -1.0f);
    EXPECT_EQ(f.edgeNormal[1].v, 1.0f);
    EXPECT_EQ(f.area, 1.0f);

    // Swapping the edges gives the same parallelogram.
    const FlakeFootprint g = makeFootprint({2.0f, 3.0f}, {0.0f, 1.0f}, {1.0f, 0.0f});
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(g.corner[i].u, f.corner[i].u);
        EXPECT_EQ(g.corner[i].v, f.corner[i].v);
    }
}

// Classification agrees with the exact overlap: outside squares have no area in common with
// the footprint, inside squares are covered whole.
TEST(FlakeFootprint, ClassificationAgreesWithTheExactOverlap) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> pos(0.2f, 0.8f), edge(-0.3f, 0.3f);
    for (int i = 0; i < 2000; ++i) {
        const FlakeFootprint f =
            makeFootprint({pos(rng), pos(rng)}, {edge(rng), edge(rng)}, {edge(rng), edge(rng)});
        for (int j = 0; j < 64; ++j) {
            const float size = 1.0f / float(1 << (j % 7));
            const float u = std::floor(pos(rng) / size) * size, v = std::floor(pos(rng) / size) * size;
            const double overlap = test::overlapArea(f, u, v, u + size, v + size);
            const double squareArea = double(size) * size;
            switch (classifyBox(f, {u, v, u + size, v + size})) {
                case BoxClass::outside:
                    ASSERT_LE(overlap, 1e-6 * squareArea);
                    break;
                case BoxClass::inside:
                    ASSERT_GE(overlap, (1.0 - 1e-5) * squareArea);
                    break;
                case BoxClass::partial:
                    break;
            }
        }
    }
}

// Partial leaves at the default depth keep their weight: the covered fraction agrees with a
// double-precision computation to within 1e-3 of the leaf.
TEST(FlakeFootprint, CoveredFractionOfDeepLeavesIsAccurate) {
    std::mt19937 rng(23);
    std::uniform_real_distribution<float> pos(0.0f, 1.0f), edge(-2e-3f, 2e-3f);
    const float leaf = 1.0f / 4096.0f;
    double worst = 0.0;
    int partials = 0;
    while (partials < 20000) {
        const FlakeFootprint f =
            makeFootprint({pos(rng), pos(rng)}, {edge(rng), edge(rng)}, {edge(rng), edge(rng)});
        const int iu = int(f.boundsMin.u / leaf), iv = int(f.boundsMin.v / leaf);
        for (int du = 0; du < 4; ++du) {
            for (int dv = 0; dv < 4; ++dv) {
                const FlakeSquare s{float(iu + du) * leaf, float(iv + dv) * leaf,
                                    float(iu + du + 1) * leaf, float(iv + dv + 1) * leaf};
                if (classifyBox(f, s) != BoxClass::partial) continue;
                ++partials;
                const double want =
                    test::overlapArea(f, s.uMin, s.vMin, s.uMax, s.vMax) / (double(leaf) * leaf);
                const double got = coveredFraction(f, s);
                worst = std::max(worst, std::fabs(got - want));
            }
        }
    }
    std::printf("worst covered-fraction error over %d partial leaves: %.3g\n", partials, worst);
    EXPECT_LE(worst, 1e-3);
}

}  // namespace
}  // namespace glitter
