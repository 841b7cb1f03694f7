#include "flakes/flake_footprint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "tests/flakes/reference_geometry.h"

namespace glitter {
namespace {

// Classification agrees with the exact overlap: outside squares have no area in common with the
// footprint, inside squares are covered whole. Random edges come in either turning order.
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
