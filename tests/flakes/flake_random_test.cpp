#include "flakes/flake_random.h"

#include <gtest/gtest.h>

#include "flakes/flake_node.h"

namespace glitter {
namespace {

TEST(FlakeRandom, SeedZeroMatchesTheDefinedSequence) {
    FlakeRandom random(0);
    EXPECT_EQ(random.currentState(), 0x7301A9AC43C42D29ULL);
    EXPECT_EQ(random.next(), 0xA577CA8F217EE599ULL);
    EXPECT_EQ(random.next(), 0xC6E1F10B9E739CEFULL);

    FlakeRandom uniforms(0);
    EXPECT_EQ(uniforms.nextUniform(), 0.64635915f);
    EXPECT_EQ(uniforms.nextUniform(), 0.7768851f);
}

TEST(FlakeRandom, UniformsLieInTheHalfOpenUnitInterval) {
    // Over many seeds: never 0, never above 1.
    for (uint32_t seed = 0; seed < 2000; ++seed) {
        FlakeRandom random(seed * 2654435761u);
        for (int i = 0; i < 50; ++i) {
            const float u = random.nextUniform();
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
    EXPECT_NE(cellSeed(1, 0), cellSeed(0, 0));
}

}  // namespace
}  // namespace glitter
