// Camera rays, shapes and the render context against neighbouring rays or hits, and the Sobol
// sampler's stratification and the sample dimensions that contexts hand their children.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>
#include <vector>

#include "apps/renderer/camera.h"
#include "apps/renderer/render_context.h"
#include "apps/renderer/scene.h"
#include "apps/renderer/sobol_sampler.h"

namespace glitter::renderer {
namespace {

void expectNear(const Vector& actual, const DVector& expected, double tolerance) {
    EXPECT_LT(length(toDouble(actual) - expected) / std::max(1e-12, length(expected)), tolerance)
        << actual.x << ", " << actual.y << ", " << actual.z << " vs " << expected.x << ", "
        << expected.y << ", " << expected.z;
}

TEST(Camera, RayDifferentialsMatchFiniteDifferences) {
    const Camera camera({1.0, 2.0, 6.0}, {0.0, 0.5, 0.0}, {0.0, 1.0, 0.0}, 35.0, 320, 200);
    // Half a pixel: the directions are floats, so a smaller step would measure rounding.
    const double h = 0.5;
    const auto dir = [&](double x, double y) {
        return toDouble(camera.generateRay(x, y).direction);
    };
    for (double x : {0.0, 17.25, 160.0, 319.5})
        for (double y : {0.0, 99.5, 199.0}) {
            const CameraRay ray = camera.generateRay(x, y);
            EXPECT_NEAR(length(ray.direction), 1.0f, 1e-6f);
            expectNear(ray.dDdx, (dir(x + h, y) - dir(x - h, y)) * (0.5 / h), 2e-3);
            expectNear(ray.dDdy, (dir(x, y + h) - dir(x, y - h)) * (0.5 / h), 2e-3);
        }
    // Looking at the target, with the vertical field of view, raster x to the right.
    const Camera straight({0.0, 0.0, 5.0}, {0.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, 40.0, 100, 50);
    EXPECT_NEAR(straight.generateRay(50.0, 25.0).direction.z, -1.0f, 1e-6f);
    const Vector top = straight.generateRay(50.0, 0.0).direction;
    EXPECT_NEAR(2.0 * std::atan2(top.y, -top.z) * 180.0 / kPi, 40.0, 1e-3);
    EXPECT_GT(straight.generateRay(100.0, 25.0).direction.x, 0.0f);
}

// Position differentials at a hit against the hit points of neighbouring rays (O and D offset).
TEST(RenderContextDifferentials, HitsMatchNeighbouringRaysAtGrazingAngles) {
    const PlaneShape plane({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0);
    const SphereShape sphere({0.0, 1.0, 0.0}, 1.0);
    const Vector down = normalize(Vector(0.3f, -0.8f, -0.5f));
    // Towards the sphere's rim, where the hit moves fastest.
    const Vector grazing = normalize(Vector(0.19f, 0.0f, -1.0f));
    const std::tuple<bool, DVector, Vector, Vector, Vector> cases[] = {
        // sphere?, O, D, dO, dD
        {false, {0.2, 3.0, 4.0}, down, {}, Vector(0.002f, 0.0005f, -0.001f)},
        {false, {0.2, 3.0, 4.0}, down, Vector(0.01f, 0.0f, 0.02f), Vector(-0.001f, 0.0f, 0.003f)},
        {true, {0.0, 1.0, 5.0}, Vector(0.0f, 0.0f, -1.0f), {}, Vector(0.001f, 0.0f, 0.0f)},
        {true, {0.0, 1.0, 5.0}, grazing, Vector(0.0f, 0.003f, 0.0f), Vector(0.0f, 0.0004f, 0.0f)},
    };
    for (const auto& [onSphere, origin, dir, dOdx, dDdx] : cases) {
        const auto hitAt = [&](double s, double& t) {
            const DVector o = origin + toDouble(dOdx) * s;
            const DVector d = normalize(toDouble(dir) + toDouble(dDdx) * s);
            const bool hit = onSphere ? sphere.intersect(o, d, 0.0, 1e30, t)
                                      : plane.intersect(o, d, 0.0, 1e30, t);
            EXPECT_TRUE(hit);
            return o + d * t;
        };
        const double h = 1e-4;
        double t = 0.0;
        const DVector fd = (hitAt(h, t) - hitAt(-h, t)) * (0.5 / h);
        hitAt(0.0, t);
        SurfaceHit hit;
        onSphere ? sphere.fillHit(origin, toDouble(dir), t, hit)
                 : plane.fillHit(origin, toDouble(dir), t, hit);
        RenderContext context;
        context.resetForPrimary(&KuvoUtils::KuvoContext::kDefaultThreadData,
                                &KuvoUtils::KuvoContext::kDefaultOptions);
        context.setRayDir(dir);
        context.originDx = dOdx;
        context.dDdx = dDdx;
        context.setHit(hit, ObjectTransform());
        expectNear(context.dPdx, fd, 1e-3);
        EXPECT_NEAR(dot(context.dPdx, hit.geometricNormal), 0.0f, 1e-5f * length(context.dPdx));
    }
}

// The map channel 1 basis at a hit predicts where neighbouring hits land, from their (u, v).
void checkBasisAgainstNeighbours(const Scene& scene, const DVector& eye, const DVector& target) {
    SurfaceHit base;
    ASSERT_TRUE(scene.intersect(eye, normalize(target - eye).toVector(), 0.0, 1e30, base));
    const KuvoUtils::UVWBasis& b = base.uvwBasis;
    EXPECT_NEAR(length(b.dPdw), 1.0f, 1e-6f);
    EXPECT_NEAR(dot(b.dPdw, base.geometricNormal), 1.0f, 1e-6f);
    EXPECT_GT(std::fabs(dot(b.dPdu, cross(b.dPdv, b.dPdw))), 1e-6f);
    const double h = 2e-3;  // resolved by the float coordinates, small enough to stay linear
    for (const DVector& offset :
         {DVector(h, 0, 0), DVector(0, h, 0), DVector(0, 0, h), DVector(-h, h, 0.5 * h)}) {
        SurfaceHit near;
        ASSERT_TRUE(
            scene.intersect(eye, normalize(target + offset - eye).toVector(), 0.0, 1e30, near));
        ASSERT_EQ(near.objectIndex, base.objectIndex);
        const DVector moved = near.point - base.point;
        const DVector predicted = toDouble(b.dPdu) * (near.uvw.x - base.uvw.x) +
                                  toDouble(b.dPdv) * (near.uvw.y - base.uvw.y);
        EXPECT_LT(length(moved - predicted), 0.02 * length(moved))
            << "offset (" << offset.x << ", " << offset.y << ", " << offset.z << ")";
    }
}

TEST(SceneShapes, MapBasesMatchTheParameterisation) {
    Scene ball;
    ball.addSphere("s", SphereShape({0.5, 1.0, -0.25}, 1.5), nullptr);
    ball.commit();
    checkBasisAgainstNeighbours(ball, {0.0, 1.2, 6.0}, {0.5, 1.0, -0.25});
    checkBasisAgainstNeighbours(ball, {5.0, 3.0, 1.0}, {0.5, 1.5, -0.25});
    checkBasisAgainstNeighbours(ball, {0.2, -4.0, 0.3}, {0.5, 1.0, -0.25});  // from below

    Scene plane;
    const int index =
        plane.addPlane("p", PlaneShape({1, 0.5, 0}, {0, 1, 0.2}, {1, 0, 0}, 0.25), nullptr);
    plane.commit();
    checkBasisAgainstNeighbours(plane, {0.0, 3.0, 4.0}, {1.5, 0.5, 0.3});
    // Object space follows the plane's UV scale.
    SurfaceHit hit;
    ASSERT_TRUE(
        plane.intersect({0.0, 3.0, 4.0}, normalize(Vector(0.3f, -0.8f, -0.4f)), 0.0, 1e30, hit));
    ASSERT_EQ(hit.objectIndex, index);
    const Vector local = plane.objects()[0].objectTransform.pointToObject(hit.point.toVector());
    expectNear(local, DVector(hit.uvw.x * 0.25, hit.uvw.y * 0.25, 0.0), 1e-5);

    for (bool withCoordinates : {true, false}) {
        Scene mesh;
        const Transform placement = Transform::translate({0.0, 0.3, 0.0});
        // Coordinates stretched along v and sheared: dP/du and dP/dv differ in length and are
        // not orthogonal.
        TriangleMesh quad;
        quad.positions = {{0, 0, 0}, {2, 0, 0}, {2.5, 0, -1}, {0.5, 0, -1}};
        quad.triangles = {{0, 1, 2}, {0, 2, 3}};
        if (withCoordinates)
            quad.cornerTexCoords = {{0, 0}, {1, 0}, {1, 3}, {0, 0}, {1, 3}, {0, 3}};
        quad.transform(placement);
        mesh.addMesh("m", std::move(quad), placement.inverse(), nullptr);
        mesh.commit();
        checkBasisAgainstNeighbours(mesh, {1.0, 4.0, 1.0}, {1.2, 0.3, -0.3});
        checkBasisAgainstNeighbours(mesh, {1.0, 4.0, 1.0}, {1.4, 0.3, -0.8});
        // The hit point is rebuilt in double from the barycentrics: it lies on the plane
        // y = 0.3 to double precision, although the mesh is intersected in single precision.
        ASSERT_TRUE(
            mesh.intersect({1.0, 4.0, 1.0}, normalize(Vector(0.1f, -1.0f, -0.4f)), 0.0, 1e30, hit));
        EXPECT_NEAR(hit.point.y, 0.3, 1e-12);
        EXPECT_NEAR(mesh.objects()[0].objectTransform.pointToObject(hit.point.toVector()).y, 0.0f,
                    1e-6f);
    }
}

TEST(SobolSampler, EveryPairOfDimensionsIsStratifiedAndNoSequenceRepeats) {
    // 256 points of a scrambled (0, 2)-sequence put exactly one point into each elementary
    // interval of area 1/256: check the 16 x 16 squares and the 256 x 1 and 1 x 256 strips.
    // Repeated sequences would print one noise pattern into every pixel or dimension.
    std::set<std::vector<std::uint32_t>> sequences;
    for (std::uint32_t seed : {1u, 77u, SobolSampler::pixelSeed(13, 7, 0)})
        for (std::uint32_t pair : {0u, 1u, 5u, 40u}) {
            std::set<std::uint32_t> squares, columns, rows;
            std::vector<std::uint32_t> sequence;
            for (std::uint32_t i = 0; i < 256; ++i) {
                const std::uint32_t x = SobolSampler::sampleBits(seed, i, 2 * pair);
                const std::uint32_t y = SobolSampler::sampleBits(seed, i, 2 * pair + 1);
                squares.insert((x >> 28) * 16 + (y >> 28));
                columns.insert(x >> 24);
                rows.insert(y >> 24);
                sequence.insert(sequence.end(), {x, y});
            }
            // Each set holds at most 256 cells.
            EXPECT_EQ(squares.size() + columns.size() + rows.size(), 3 * 256u)
                << "seed " << seed << " pair " << pair;
            sequences.insert(sequence);
        }
    EXPECT_EQ(sequences.size(), 12u);
    std::set<std::uint32_t> seeds;
    for (std::uint32_t i = 0; i < 32 * 32; ++i)
        seeds.insert(SobolSampler::pixelSeed(i % 32, i / 32, 0));
    EXPECT_EQ(seeds.size(), 1024u);
    EXPECT_NE(SobolSampler::pixelSeed(3, 4, 0), SobolSampler::pixelSeed(3, 4, 1));
}

TEST(RenderContextSampler, ChildrenReadTheirOwnIndexAndDimensions) {
    RenderContext root;
    root.resetForPrimary(&KuvoUtils::KuvoContext::kDefaultThreadData,
                         &KuvoUtils::KuvoContext::kDefaultOptions);
    root.pixelSeed = 1234;
    root.sampleIndex = 3;
    root.dimensionOffset = 2;
    EXPECT_EQ(root.sampleValue(1), SobolSampler::sample(1234, 3, 3));
    root.childSampleIndex = 17;
    root.childDimensionOffset = 14;
    auto* child = root.ownChild(root.newChildContext(2, KuvoUtils::Color(1.0f), 0x9002, {}));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->parent, &root);
    EXPECT_EQ(child->sampleValue(3), SobolSampler::sample(1234, 17, 17));
    // The same child object serves the next sample, with the new index.
    root.childSampleIndex = 18;
    EXPECT_EQ(root.ownChild(root.newChildContext(2, KuvoUtils::Color(1.0f), 0x9002, {})), child);
    EXPECT_EQ(child->sampleValue(0), SobolSampler::sample(1234, 18, 14));
    // A context the renderer did not hand out is not taken for its child.
    KuvoUtils::KuvoContext stranger;
    EXPECT_EQ(root.ownChild(&stranger), nullptr);
}

}  // namespace
}  // namespace glitter::renderer
