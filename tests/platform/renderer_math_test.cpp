// The renderer's vector and colour arithmetic where a slip would not be obvious.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/renderer/color.h"
#include "platform/renderer/vector.h"

namespace {

using namespace KuvoUtils;

TEST(RendererMath, CrossIsRightHandedAndAntiCommutative) {
    const Vector x(1, 0, 0);
    const Vector y(0, 1, 0);
    const Vector z(0, 0, 1);
    EXPECT_EQ(cross(x, y), z);
    EXPECT_EQ(cross(y, z), x);
    EXPECT_EQ(cross(z, x), y);
    const Vector a(0.5f, -2.0f, 3.0f);
    const Vector b(4.0f, 1.5f, -1.0f);
    EXPECT_EQ(cross(a, b), -cross(b, a));
    EXPECT_EQ(cross(a, b), Vector(-2.5f, 12.5f, 8.75f));
    EXPECT_EQ(dot(cross(a, b), a), 0.0f);
}

TEST(RendererMath, DotSumsLeftToRight) {
    // (1e8 + 1) rounds back to 1e8, so only the order (x + y) + z gives 0 here.
    const Vector a(1e8f, 1.0f, -1e8f);
    EXPECT_EQ(dot(a, Vector(1, 1, 1)), 0.0f);
    EXPECT_EQ(lengthSquared(Vector(3, 4, 12)), 169.0f);
    EXPECT_EQ(length(Vector(3, 4, 12)), 13.0f);
}

TEST(RendererMath, NormalizeGivesUnitLengthAndLeavesZeroAlone) {
    const Vector n = normalize(Vector(3.0f, -4.0f, 0.0f));
    EXPECT_EQ(n, Vector(0.6f, -0.8f, 0.0f));
    EXPECT_NEAR(length(normalize(Vector(1e-20f, 2e-20f, -3e-20f))), 1.0f, 1e-6f);
    EXPECT_EQ(normalize(Vector()), Vector());
}

TEST(RendererMath, ComponentsAndPrecision) {
    Vector v(1, 2, 3);
    v[1] = 5;
    EXPECT_EQ(v, Vector(1, 5, 3));
    EXPECT_EQ(v[2], 3.0f);
    Color c(1, 2, 3);
    c[2] = 7;
    EXPECT_EQ(c, Color(1, 2, 7));
    EXPECT_EQ(c[0], 1.0f);
    // The double-precision position rounds to the nearest float per component.
    const DVector p(1.0 + 1e-12, 16777217.0, -0.1);
    EXPECT_EQ(p.toVector(), Vector(1.0f, 16777216.0f, -0.1f));
}

TEST(RendererMath, ColourArithmeticIsPerChannel) {
    const Color a(0.5f, 2.0f, -1.0f);
    const Color b(4.0f, 0.25f, 3.0f);
    EXPECT_EQ(a * b, Color(2.0f, 0.5f, -3.0f));
    EXPECT_EQ(a / b, Color(0.125f, 8.0f, -1.0f / 3.0f));
    EXPECT_EQ(a + b, Color(4.5f, 2.25f, 2.0f));
    EXPECT_EQ(b - a, Color(3.5f, -1.75f, 4.0f));
    EXPECT_EQ(2.0f * a, a * 2.0f);
    Color c = a;
    c *= b;
    EXPECT_EQ(c, a * b);
    EXPECT_TRUE(Color().isBlack());
    EXPECT_FALSE(Color(0.0f, 0.0f, 1e-30f).isBlack());
}

}  // namespace
