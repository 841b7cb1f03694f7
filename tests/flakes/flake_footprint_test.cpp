#include "flakes/flake_footprint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "tests/flakes/reference_geometry.h"

namespace glitter {
namespace {

// Corners run counter-clockwise from o + e1, whichever edge is given first; edge normals follow.
TEST(FlakeFootprint, WorkedGeometry) {
    const struct {
        FlakeUV o, a, b;
        FlakeUV corner[4], normal[2];
        float area;
    } cases[] = {
        {{0.25f, 0.25f},
         {0.5f, 0.0f},
         {0.0f, 0.5f},
         {{0.25f, 0.75f}, {0.25f, 0.25f}, {0.75f, 0.25f}, {0.75f, 0.75f}},
         {{-0.5f, 0.0f}, {0.0f, 0.5f}},
         0.25f},
        {{2.0f, 3.0f},
         {0.0f, 1.0f},
         {1.0f, 0.0f},
         {{2.0f, 4.0f}, {2.0f, 3.0f}, {3.0f, 3.0f}, {3.0f, 4.0f}},
         {{-1.0f, 0.0f}, {0.0f, 1.0f}},
         1.0f},
    };
    for (const auto& k : cases) {
        for (const bool swapped : {false, true}) {
            const FlakeFootprint f =
                swapped ? makeFootprint(k.o, k.b, k.a) : makeFootprint(k.o, k.a, k.b);
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(f.corner[i].u, k.corner[i].u) << i;
                EXPECT_EQ(f.corner[i].v, k.corner[i].v) << i;
            }
            for (int i = 0; i < 2; ++i) {
                EXPECT_EQ(f.edgeNormal[i].u, k.normal[i].u) << i;
                EXPECT_EQ(f.edgeNormal[i].v, k.normal[i].v) << i;
            }
            EXPECT_EQ(f.area, k.area);
            EXPECT_EQ(f.boundsMin.u, k.corner[1].u);
            EXPECT_EQ(f.boundsMax.v, k.corner[3].v);
        }
    }
    const FlakeFootprint f = makeFootprint({0.25f, 0.25f}, {0.5f, 0.0f}, {0.0f, 0.5f});
    EXPECT_EQ(classifyBox(f, {0.0f, 0.0f, 0.5f, 0.5f}), BoxClass::partial);
    EXPECT_EQ(coveredFraction(f, {0.0f, 0.0f, 0.5f, 0.5f}), 0.25f);
    EXPECT_EQ(classifyBox(f, {0.25f, 0.25f, 0.5f, 0.5f}), BoxClass::inside);
    EXPECT_EQ(classifyBox(f, {0.75f, 0.0f, 1.0f, 1.0f}), BoxClass::outside);  // only touches
}

// Classification agrees with the exact overlap: outside squares have no area in common with the
// footprint, inside squares are covered whole.
TEST(FlakeFootprint, ClassificationAgreesWithTheExactOverlap) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> pos(0.2f, 0.8f), edge(-0.3f, 0.3f);
    for (int i = 0; i < 2000; ++i) {
        const FlakeFootprint f =
            makeFootprint({pos(rng), pos(rng)}, {edge(rng), edge(rng)}, {edge(rng), edge(rng)});
        for (int j = 0; j < 64; ++j) {
            const float size = 1.0f / float(1 << (j % 7));
            const float u = std::floor(pos(rng) / size) * size;
            const float v = std::floor(pos(rng) / size) * size;
            const double overlap =
                test::overlapArea(f, u, v, u + size, v + size) / (double(size) * size);
            switch (classifyBox(f, {u, v, u + size, v + size})) {
                case BoxClass::outside:
                    ASSERT_LE(overlap, 1e-6);
                    break;
                case BoxClass::inside:
                    ASSERT_GE(overlap, 1.0 - 1e-5);
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
        for (int k = 0; k < 16; ++k) {
            const FlakeSquare s{float(iu + k % 4) * leaf, float(iv + k / 4) * leaf,
                                float(iu + k % 4 + 1) * leaf, float(iv + k / 4 + 1) * leaf};
            if (classifyBox(f, s) != BoxClass::partial) continue;
            ++partials;
            const double want =
                test::overlapArea(f, s.uMin, s.vMin, s.uMax, s.vMax) / (double(leaf) * leaf);
            worst = std::max(worst, std::fabs(coveredFraction(f, s) - want));
        }
    }
    std::printf("worst covered-fraction error over %d partial leaves: %.3g\n", partials, worst);
    EXPECT_LE(worst, 1e-3);
}

}  // namespace
}  // namespace glitter
