// The renderer's vector and colour arithmetic where a slip would not be obvious.
#include <gtest/gtest.h>

#include "platform/renderer/color.h"
#include "platform/renderer/vector.h"

namespace {

using namespace KuvoUtils;

TEST(RendererMath, CrossIsRightHandedAndDotSumsLeftToRight) {
    EXPECT_EQ(cross(Vector(1, 0, 0), Vector(0, 1, 0)), Vector(0, 0, 1));
    EXPECT_EQ(cross(Vector(0, 1, 0), Vector(0, 0, 1)), Vector(1, 0, 0));
    const Vector a(0.5f, -2.0f, 3.0f);
    const Vector b(4.0f, 1.5f, -1.0f);
    EXPECT_EQ(cross(a, b), Vector(-2.5f, 12.5f, 8.75f));
    // 1e8 + 1 rounds back to 1e8, so only the order (x + y) + z gives 0.
    EXPECT_EQ(dot(Vector(1e8f, 1.0f, -1e8f), Vector(1, 1, 1)), 0.0f);
}

TEST(RendererMath, NormalizeLeavesTheZeroVectorAlone) {
    EXPECT_EQ(normalize(Vector(3.0f, -4.0f, 0.0f)), Vector(0.6f, -0.8f, 0.0f));
    EXPECT_EQ(normalize(Vector()), Vector());
}

TEST(RendererMath, ComponentsChannelsAndPositions) {
    Vector v(1, 2, 3);
    v[1] = 5;
    EXPECT_EQ(v, Vector(1, 5, 3));
    Color c(1, 2, 3);
    c[2] = 7;
    EXPECT_EQ(c, Color(1, 2, 7));
    EXPECT_EQ(Color(0.5f, 2, -1) * Color(4, 0.25f, 3), Color(2, 0.5f, -3));
    EXPECT_EQ(Color(0.5f, 2, -1) / Color(4, 0.25f, 3), Color(0.125f, 8, -1.0f / 3.0f));
    EXPECT_FALSE(Color(0, 0, 1e-30f).isBlack());
    EXPECT_EQ(DVector(1.0 + 1e-12, 16777217.0, -0.1).toVector(), Vector(1, 16777216, -0.1f));
}

}  // namespace
