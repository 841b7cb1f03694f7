#include "flakes/leaf_flakes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace glitter {
namespace {

FlakeParams colorParams(int32_t randomSaturation, int32_t randomLightness) {
    FlakeParams p;
    p.init(10000000, 0.1f, 0.05f, 12, randomSaturation, 1.0f, randomLightness, 0.5f, 500, 700);
    return p;
}

TEST(FlakeColor, PrimaryHuesAndGrey) {
    const FlakeRgb red = flakeColor(0.0f, 1.0f, 0.5f);
    EXPECT_EQ(red.r, 1.0f);
    EXPECT_EQ(red.g, 0.0f);
    EXPECT_NEAR(red.b, 0.0f, 1e-6f);  // the third lands a hair below 2/3 after wrapping
    const FlakeRgb green = flakeColor(0.33333334f, 1.0f, 0.5f);
    EXPECT_NEAR(green.g, 1.0f, 1e-6f);
    EXPECT_NEAR(green.r, 0.0f, 1e-6f);
    EXPECT_NEAR(green.b, 0.0f, 1e-6f);
    const FlakeRgb grey = flakeColor(0.7f, 0.0f, 0.3f);
    EXPECT_EQ(grey.r, 0.3f);
    EXPECT_EQ(grey.g, 0.3f);
    EXPECT_EQ(grey.b, 0.3f);
    // t of exactly 1 (hue 2/3 plus a third) is not wrapped back to 0: red reads p.
    const FlakeRgb blue = flakeColor(0.6666666f, 1.0f, 0.5f);
    EXPECT_NEAR(blue.b, 1.0f, 1e-5f);
    EXPECT_LT(blue.r, 1e-5f);
}

TEST(LeafFlakes, PlainFlakesDrawTwoUniformsEach) {
    LeafFlakes leaf(1234);
    FlakeRandom reference(1234);
    for (int i = 0; i < 100; ++i) {
        float a, b;
        leaf.next(a, b);
        EXPECT_EQ(a, reference.nextUniform());
        EXPECT_EQ(b, reference.nextUniform());
    }
}

TEST(LeafFlakes, ColouredFlakesFollowTheDrawOrder) {
    for (int32_t randomS : {0, 1}) {
        for (int32_t randomL : {0, 1}) {
            const FlakeParams params = colorParams(randomS, randomL);
            LeafFlakes leaf(99);
            FlakeRandom reference(99);
            for (int i = 0; i < 50; ++i) {
                float a, b;
                FlakeRgb color;
                leaf.next(params, a, b, color);
                EXPECT_EQ(a, reference.nextUniform());
                EXPECT_EQ(b, reference.nextUniform());
                const float hue = (reference.nextUniform() * 360.0f) * 0.0027777778f;
                const float s = randomS ? reference.nextUniform() : params.saturation;
                const float l = randomL ? reference.nextUniform() : params.lightness;
                const FlakeRgb want = flakeColor(hue, s, l);
                EXPECT_EQ(color.r, want.r);
                EXPECT_EQ(color.g, want.g);
                EXPECT_EQ(color.b, want.b);
            }
        }
    }
}

TEST(LeafFlakes, ColoursStayInTheUnitCube) {
    const FlakeParams fixed = colorParams(0, 0);
    const FlakeParams random = colorParams(1, 1);
    for (uint32_t seed = 0; seed < 2000; ++seed) {
        LeafFlakes a(seed), b(seed);
        for (int i = 0; i < 8; ++i) {
            float u, v;
            FlakeRgb c;
            a.next(fixed, u, v, c);
            // Full saturation at lightness 0.5: one channel at 1, one at 0.
            EXPECT_NEAR(std::max({c.r, c.g, c.b}), 1.0f, 1e-5f);
            EXPECT_NEAR(std::min({c.r, c.g, c.b}), 0.0f, 1e-5f);
            b.next(random, u, v, c);
            for (float x : {c.r, c.g, c.b}) {
                ASSERT_GE(x, -1e-6f);
                ASSERT_LE(x, 1.0f + 1e-6f);
            }
        }
    }
}

}  // namespace
}  // namespace glitter
