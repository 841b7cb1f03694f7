#include "flakes/leaf_flakes.h"

#include <gtest/gtest.h>

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

// Per flake two normal uniforms, then for coloured flakes hue, [saturation], [lightness]: the
// second flake of a leaf shows how many uniforms the first one took.
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
        {1, 1, 0.462921739f, 0.359319538f, {0.863831282f, 0.888539195f, 0.886901855f}},
    };
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
}

}  // namespace
}  // namespace glitter
