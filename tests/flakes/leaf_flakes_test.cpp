#include "flakes/leaf_flakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <tuple>

#include "flakes/flake_node.h"

namespace glitter {
namespace {

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
            ASSERT_GT(u, 0.0f);
            ASSERT_LE(u, 1.0f);
        }
    }
}

TEST(CellSeed, ComplementOfTheExclusiveOr) {
    EXPECT_EQ(cellSeed(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(cellSeed(3, 5), cellSeed(5, 3));
    EXPECT_EQ(cellSeed(-1, 0), 0u);
    EXPECT_EQ(cellSeed(-2147483647 - 1, 2147483647), 0u);
}

TEST(FlakeParams, DefaultsAndTheRoughnessClamp) {
    FlakeParams p;
    p.init(10000000, FlakeParams::roughnessFromGlossiness(0.9f),
           FlakeParams::blurAngleRadians(3.0f), 12, 0, 1.0f, 0, 0.5f, 500.0f, 700.0f);
    EXPECT_EQ(p.cosBlurAngle, 0.9986295f);
    EXPECT_EQ(p.roughness, 0.100000024f);  // 1 - 0.9f, exact in float
    p.init(1, 0.5f, FlakeParams::blurAngleRadians(0.0f), 0, 0, 1.0f, 0, 0.5f, 0.0f, 0.0f);
    EXPECT_EQ(p.cosBlurAngle, 1.0f);
    const std::pair<float, float> clamps[] = {{1.0f, 0.001f},
                                              {0.9995f, 0.001f},
                                              {10000.0f, 0.001f},
                                              {0.0f, 1.0f},
                                              {-3.0f, 1.0f},
                                              {0.5f, 0.5f},
                                              {std::numeric_limits<float>::quiet_NaN(), 0.001f}};
    for (const auto& [glossiness, roughness] : clamps) {
        EXPECT_EQ(FlakeParams::roughnessFromGlossiness(glossiness), roughness) << glossiness;
    }
}

TEST(FlakeColor, PrimaryHuesAndGrey) {
    const struct {
        float h, s, l, r, g, b, tolerance;
    } cases[] = {
        {0.0f, 1.0f, 0.5f, 1.0f, 0.0f, 0.0f, 1e-6f},
        {0.33333334f, 1.0f, 0.5f, 0.0f, 1.0f, 0.0f, 1e-6f},
        {0.7f, 0.0f, 0.3f, 0.3f, 0.3f, 0.3f, 0.0f},
        // t of exactly 1 (hue 2/3 plus a third) is not wrapped back to 0: red reads p.
        {0.6666666f, 1.0f, 0.5f, 0.0f, 0.0f, 1.0f, 1e-5f},
    };
    for (const auto& k : cases) {
        const FlakeRgb c = flakeColor(k.h, k.s, k.l);
        EXPECT_NEAR(c.r, k.r, k.tolerance) << k.h;
        EXPECT_NEAR(c.g, k.g, k.tolerance) << k.h;
        EXPECT_NEAR(c.b, k.b, k.tolerance) << k.h;
    }
}

// Per flake two normal uniforms, then for coloured flakes hue, [saturation], [lightness].
TEST(LeafFlakes, DrawOrderOfPlainAndColouredFlakes) {
    LeafFlakes plain(1234);
    FlakeRandom reference(1234);
    for (int i = 0; i < 100; ++i) {
        float a, b;
        plain.next(a, b);
        EXPECT_EQ(a, reference.nextUniform());
        EXPECT_EQ(b, reference.nextUniform());
    }
    for (const int32_t randomS : {0, 1}) {
        for (const int32_t randomL : {0, 1}) {
            FlakeParams params;
            params.init(10000000, 0.1f, 0.05f, 12, randomS, 1.0f, randomL, 0.5f, 500, 700);
            for (uint32_t seed = 0; seed < 500; ++seed) {
                LeafFlakes leaf(seed);
                FlakeRandom ref(seed);
                for (int i = 0; i < 8; ++i) {
                    float a, b;
                    FlakeRgb c;
                    leaf.next(params, a, b, c);
                    EXPECT_EQ(a, ref.nextUniform());
                    EXPECT_EQ(b, ref.nextUniform());
                    const float hue = (ref.nextUniform() * 360.0f) * 0.0027777778f;
                    const float s = randomS ? ref.nextUniform() : params.saturation;
                    const float l = randomL ? ref.nextUniform() : params.lightness;
                    const FlakeRgb want = flakeColor(hue, s, l);
                    ASSERT_EQ(std::tie(c.r, c.g, c.b), std::tie(want.r, want.g, want.b));
                    // Full saturation at lightness 0.5: one channel at 1, one at 0; any colour
                    // stays in the unit cube.
                    if (!randomS && !randomL) {
                        EXPECT_NEAR(std::max({c.r, c.g, c.b}), 1.0f, 1e-5f);
                        EXPECT_NEAR(std::min({c.r, c.g, c.b}), 0.0f, 1e-5f);
                    }
                    for (const float x : {c.r, c.g, c.b}) {
                        ASSERT_GE(x, -1e-6f);
                        ASSERT_LE(x, 1.0f + 1e-6f);
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace glitter
