#include "flakes/flake_params.h"

#include <gtest/gtest.h>

#include <limits>

namespace glitter {
namespace {

TEST(FlakeParams, DefaultsOfTheMaterial) {
    FlakeParams p;
    p.init(10000000, FlakeParams::roughnessFromGlossiness(0.9f),
           FlakeParams::blurAngleRadians(3.0f), 12, 0, 1.0f, 0, 0.5f, 500.0f, 700.0f);
    EXPECT_EQ(p.numFlakes, 10000000);
    EXPECT_EQ(p.cosBlurAngle, 0.9986295f);
    EXPECT_EQ(p.roughness, 0.100000024f);  // 1 - 0.9f, exact in float
    EXPECT_EQ(p.textureSubdivs, 12);
    EXPECT_EQ(p.blendMin, 500.0f);
    EXPECT_EQ(p.blendMax, 700.0f);
    EXPECT_EQ(FlakeParams::blurAngleRadians(3.0f), 0.052359879f);
}

TEST(FlakeParams, RoughnessIsClampedToItsRange) {
    EXPECT_EQ(FlakeParams::roughnessFromGlossiness(1.0f), 0.001f);
    EXPECT_EQ(FlakeParams::roughnessFromGlossiness(0.9995f), 0.001f);
    EXPECT_EQ(FlakeParams::roughnessFromGlossiness(10000.0f), 0.001f);
    EXPECT_EQ(FlakeParams::roughnessFromGlossiness(0.0f), 1.0f);
    EXPECT_EQ(FlakeParams::roughnessFromGlossiness(-3.0f), 1.0f);
    EXPECT_EQ(FlakeParams::roughnessFromGlossiness(std::numeric_limits<float>::quiet_NaN()),
              0.001f);
    EXPECT_EQ(FlakeParams::roughnessFromGlossiness(0.5f), 0.5f);
}

TEST(FlakeParams, ZeroBlurAngleGivesAnEmptyCone) {
    FlakeParams p;
    p.init(1, 0.5f, FlakeParams::blurAngleRadians(0.0f), 0, 0, 1.0f, 0, 0.5f, 0.0f, 0.0f);
    EXPECT_EQ(p.cosBlurAngle, 1.0f);
}

}  // namespace
}  // namespace glitter
