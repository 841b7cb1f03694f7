#include <gtest/gtest.h>

#include <cmath>

#include "apps/renderer/camera.h"
#include "apps/renderer/plane_shape.h"
#include "apps/renderer/render_context.h"
#include "apps/renderer/sphere_shape.h"

namespace glitter::renderer {
namespace {

void expectNear(const Vector& actual, const DVector& expected, double tolerance,
                const char* what) {
    const double scale = std::max(1e-12, length(expected));
    EXPECT_LT(length(toDouble(actual) - expected) / scale, tolerance)
        << what << ": got (" << actual.x << ", " << actual.y << ", " << actual.z
        << ") expected (" << expected.x << ", " << expected.y << ", " << expected.z << ")";
}

TEST(Camera, RayDifferentialsMatchFiniteDifferences) {
    const Camera camera({1.0, 2.0, 6.0}, {0.0, 0.5, 0.0}, {0.0, 1.0, 0.0}, 35.0, 320, 200);
    // Half a pixel: the directions are floats, so a smaller step would measure rounding.
    const double h = 0.5;
    for (double x : {0.0, 17.25, 160.0, 319.5}) {
        for (double y : {0.0, 99.5, 199.0}) {
            const CameraRay ray = camera.generateRay(x, y);
            EXPECT_NEAR(length(ray.direction), 1.0f, 1e-6f);
            const DVector fdx = (toDouble(camera.generateRay(x + h, y).direction) -
                                 toDouble(camera.generateRay(x - h, y).direction)) *
                                (0.5 / h);
            const DVector fdy = (toDouble(camera.generateRay(x, y + h).direction) -
                                 toDouble(camera.generateRay(x, y - h).direction)) *
                                (0.5 / h);
            expectNear(ray.dDdx, fdx, 2e-3, "dDdx");
            expectNear(ray.dDdy, fdy, 2e-3, "dDdy");
        }
    }
}

TEST(Camera, LooksAtTheTargetWithTheVerticalFieldOfView) {
    const Camera camera({0.0, 0.0, 5.0}, {0.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, 40.0, 100, 50);
    const CameraRay centre = camera.generateRay(50.0, 25.0);
    EXPECT_NEAR(centre.direction.z, -1.0f, 1e-6f);
    const Vector top = camera.generateRay(50.0, 0.0).direction;
    EXPECT_NEAR(2.0 * std::atan2(top.y, -top.z) * 180.0 / kPi, 40.0, 1e-3);
    EXPECT_GT(camera.generateRay(100.0, 25.0).direction.x, 0.0f);  // raster x goes right
}

// Position differentials at a hit, from the context's transfer, against the hit points of
// neighbouring rays (origin and direction both offset).
struct DifferentialCase {
    DVector origin;
    Vector dir;
    Vector dOdx;
    Vector dDdx;
};

template <class Shape>
void checkTransfer(const Shape& shape, const DifferentialCase& c) {
    const double h = 1e-4;
    auto hitAt = [&](double s, DVector& point) {
        const DVector o = c.origin + toDouble(c.dOdx) * s;
        const DVector d = toDouble(c.dir) + toDouble(c.dDdx) * s;  // not renormalised: linear
        const double len = length(d);
        double t = 0.0;
        const bool ok = shape.intersect(o, d * (1.0 / len), 0.0, 1e30, t);
        point = o + d * (t / len);
        return ok;
    };
    DVector plus, minus, centre;
    ASSERT_TRUE(hitAt(h, plus));
    ASSERT_TRUE(hitAt(-h, minus));
    ASSERT_TRUE(hitAt(0.0, centre));

    SurfaceHit hit;
    double t = 0.0;
    ASSERT_TRUE(shape.intersect(c.origin, toDouble(c.dir), 0.0, 1e30, t));
    shape.fillHit(c.origin, toDouble(c.dir), t, hit);
    RenderContext context;
    context.resetForPrimary(&KuvoUtils::KuvoContext::kDefaultThreadData,
                            &KuvoUtils::KuvoContext::kDefaultOptions);
    context.setRayDir(c.dir);
    context.originDx = c.dOdx;
    context.dDdx = c.dDdx;
    context.setHit(hit, ObjectTransform());
    expectNear(context.dPdx, (plus - minus) * (0.5 / h), 1e-3, "dPdx");
    EXPECT_NEAR(dot(context.dPdx, hit.geometricNormal), 0.0f, 1e-5f * length(context.dPdx));
}

TEST(RenderContextDifferentials, PlaneHitMatchesNeighbouringRays) {
    const PlaneShape plane({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0);
    const Vector dir = normalize(Vector(0.3f, -0.8f, -0.5f));
    checkTransfer(plane, {{0.2, 3.0, 4.0}, dir, {}, Vector(0.002f, 0.0005f, -0.001f)});
    checkTransfer(plane, {{0.2, 3.0, 4.0}, dir, Vector(0.01f, 0.0f, 0.02f),
                          Vector(-0.001f, 0.0f, 0.003f)});
}

TEST(RenderContextDifferentials, SphereHitMatchesNeighbouringRaysAtGrazingAngles) {
    const SphereShape sphere({0.0, 1.0, 0.0}, 1.0);
    checkTransfer(sphere, {{0.0, 1.0, 5.0}, Vector(0.0f, 0.0f, -1.0f), {},
                           Vector(0.001f, 0.0f, 0.0f)});
    // Towards the rim, where the hit moves fastest.
    const Vector grazing = normalize(Vector(0.19f, 0.0f, -1.0f));
    checkTransfer(sphere, {{0.0, 1.0, 5.0}, grazing, Vector(0.0f, 0.003f, 0.0f),
                           Vector(0.0f, 0.0004f, 0.0f)});
}

}  // namespace
}  // namespace glitter::renderer
