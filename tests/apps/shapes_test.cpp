#include <gtest/gtest.h>

#include <cmath>

#include "apps/renderer/render_context.h"
#include "apps/renderer/scene.h"

namespace glitter::renderer {
namespace {

// The map channel 1 basis at a hit predicts how the hit point moves with (u, v): compare
// with the points and coordinates of neighbouring hits.
void checkBasisAgainstNeighbours(const Scene& scene, const DVector& eye, const DVector& target) {
    SurfaceHit base;
    const Vector dir = normalize(target - eye).toVector();
    ASSERT_TRUE(scene.intersect(eye, dir, 0.0, 1e30, base));
    const KuvoUtils::UVWBasis& b = base.uvwBasis;
    EXPECT_NEAR(length(b.dPdw), 1.0f, 1e-6f);
    EXPECT_NEAR(dot(b.dPdw, base.geometricNormal), 1.0f, 1e-6f);
    EXPECT_GT(std::fabs(dot(b.dPdu, cross(b.dPdv, b.dPdw))), 1e-6f);
    // Large enough that the float coordinates resolve the change, small enough to stay
    // linear.
    const double h = 2e-3;
    for (const DVector& offset :
         {DVector(h, 0, 0), DVector(0, h, 0), DVector(0, 0, h), DVector(-h, h, 0.5 * h)}) {
        SurfaceHit near;
        const Vector nearDir = normalize(target + offset - eye).toVector();
        ASSERT_TRUE(scene.intersect(eye, nearDir, 0.0, 1e30, near));
        ASSERT_EQ(near.objectIndex, base.objectIndex);
        const DVector moved = near.point - base.point;
        const DVector predicted = toDouble(b.dPdu) * (near.uvw.x - base.uvw.x) +
                                  toDouble(b.dPdv) * (near.uvw.y - base.uvw.y);
        EXPECT_LT(length(moved - predicted), 0.02 * length(moved))
            << "offset (" << offset.x << ", " << offset.y << ", " << offset.z << ")";
    }
}

TEST(SceneShapes, SphereBasisMatchesItsParameterisation) {
    Scene scene;
    scene.addSphere("s", SphereShape({0.5, 1.0, -0.25}, 1.5), nullptr);
    scene.commit();
    checkBasisAgainstNeighbours(scene, {0.0, 1.2, 6.0}, {0.5, 1.0, -0.25});
    checkBasisAgainstNeighbours(scene, {5.0, 3.0, 1.0}, {0.5, 1.5, -0.25});
    checkBasisAgainstNeighbours(scene, {0.2, -4.0, 0.3}, {0.5, 1.0, -0.25});  // from below
}

TEST(SceneShapes, PlaneBasisAndObjectSpaceFollowTheUvScale) {
    Scene scene;
    const int index =
        scene.addPlane("p", PlaneShape({1, 0.5, 0}, {0, 1, 0.2}, {1, 0, 0}, 0.25), nullptr);
    scene.commit();
    checkBasisAgainstNeighbours(scene, {0.0, 3.0, 4.0}, {1.5, 0.5, 0.3});
    SurfaceHit hit;
    ASSERT_TRUE(scene.intersect({0.0, 3.0, 4.0}, normalize(Vector(0.3f, -0.8f, -0.4f)), 0.0,
                                1e30, hit));
    ASSERT_EQ(hit.objectIndex, index);
    const Vector local =
        scene.objects()[static_cast<std::size_t>(index)].objectTransform.pointToObject(
            hit.point.toVector());
    EXPECT_NEAR(local.x, hit.uvw.x * 0.25f, 1e-5f);
    EXPECT_NEAR(local.y, hit.uvw.y * 0.25f, 1e-5f);
    EXPECT_NEAR(local.z, 0.0f, 1e-5f);
}

TriangleMesh skewedQuad() {
    // Coordinates stretched along v and sheared, so that dP/du and dP/dv differ in length
    // and are not orthogonal.
    TriangleMesh mesh;
    mesh.positions = {{0, 0, 0}, {2, 0, 0}, {2.5, 0, -1}, {0.5, 0, -1}};
    mesh.triangles = {{0, 1, 2}, {0, 2, 3}};
    mesh.cornerTexCoords = {{0, 0}, {1, 0}, {1, 3}, {0, 0}, {1, 3}, {0, 3}};
    return mesh;
}

TEST(SceneShapes, MeshBasisMatchesItsTextureCoordinates) {
    Scene scene;
    TriangleMesh mesh = skewedQuad();
    const Transform placement = Transform::translate({0.0, 0.3, 0.0});
    mesh.transform(placement);
    scene.addMesh("m", std::move(mesh), placement.inverse(), nullptr);
    scene.commit();
    checkBasisAgainstNeighbours(scene, {1.0, 4.0, 1.0}, {1.2, 0.3, -0.3});
    checkBasisAgainstNeighbours(scene, {1.0, 4.0, 1.0}, {1.4, 0.3, -0.8});
    // The hit point is rebuilt in double from the barycentrics: it lies on the plane y = 0.3
    // to double precision, although the mesh is intersected in single precision.
    SurfaceHit hit;
    ASSERT_TRUE(scene.intersect({1.0, 4.0, 1.0}, normalize(Vector(0.1f, -1.0f, -0.4f)), 0.0,
                                1e30, hit));
    EXPECT_NEAR(hit.point.y, 0.3, 1e-12);
    const Vector local = scene.objects()[0].objectTransform.pointToObject(hit.point.toVector());
    EXPECT_NEAR(local.y, 0.0f, 1e-6f);
}

TEST(SceneShapes, MeshWithoutCoordinatesGetsAUsableBasis) {
    Scene scene;
    TriangleMesh mesh = skewedQuad();
    mesh.cornerTexCoords.clear();
    scene.addMesh("m", std::move(mesh), Transform(), nullptr);
    scene.commit();
    checkBasisAgainstNeighbours(scene, {1.0, 4.0, 1.0}, {1.2, 0.0, -0.3});
}

TEST(SceneShapes, SphereHitsAreExactInDoublePrecisionFarAway) {
    // A small sphere 10^4 units away: a float hit point would be off by about 10^-3.
    const DVector centre(1e4, 2.0, -3.0);
    const SphereShape sphere(centre, 1e-3);
    const DVector eye(0.0, 2.0, -3.0);
    for (double dy : {0.0, 5e-4, -9e-4}) {
        const DVector target = centre + DVector(0.0, dy, 0.0);
        const DVector dir = normalize(target - eye);
        double t = 0.0;
        ASSERT_TRUE(sphere.intersect(eye, dir, 0.0, 1e30, t));
        SurfaceHit hit;
        sphere.fillHit(eye, dir, t, hit);
        EXPECT_NEAR(length(hit.point - centre), 1e-3, 1e-12);
        EXPECT_LT(hit.point.x, centre.x);  // the near side
    }
}

TEST(SceneShapes, NearestHitWinsAndLightsAreReported) {
    Scene scene;
    scene.addPlane("ground", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0), nullptr);
    const int sphere = scene.addSphere("s", SphereShape({0, 1, 0}, 0.5), nullptr);
    scene.addLight(SphereLight({0, 3, 0}, 0.2, Color(1.0f)));
    scene.commit();
    SurfaceHit hit;
    ASSERT_TRUE(scene.intersect({0, 5, 0}, Vector(0, -1, 0), 0.0, 1e30, hit));
    EXPECT_EQ(hit.lightIndex, 0);
    EXPECT_EQ(hit.objectIndex, -1);
    ASSERT_TRUE(scene.intersect({0, 2.5, 0}, Vector(0, -1, 0), 0.0, 1e30, hit));
    EXPECT_EQ(hit.objectIndex, sphere);
    EXPECT_NEAR(hit.point.y, 1.5, 1e-12);
    EXPECT_TRUE(scene.occluded({0, 2.5, 0}, Vector(0, -1, 0), 0.0, 10.0));
    EXPECT_FALSE(scene.occluded({0, 2.5, 0}, Vector(0, -1, 0), 0.0, 0.9));
    EXPECT_TRUE(scene.occluded({0, 2.5, 0}, Vector(0, 1, 0), 0.0, 10.0));
    EXPECT_FALSE(scene.occluded({0, 2.5, 0}, Vector(0, 1, 0), 0.0, 10.0, 0));  // skip light 0
}

TEST(RenderContextHit, BackSideAndMapChannels) {
    const SphereShape sphere({0, 0, 0}, 1.0);
    RenderContext context;
    context.resetForPrimary(&KuvoUtils::KuvoContext::kDefaultThreadData,
                            &KuvoUtils::KuvoContext::kDefaultOptions);
    SurfaceHit hit;
    sphere.fillHit({0, 0, 0}, {0, 0, 1}, 1.0, hit);  // from the centre: the inside
    context.setRayDir(Vector(0, 0, 1));
    const ObjectTransform transform(sphere.worldToObject());
    context.setHit(hit, transform);
    EXPECT_EQ(context.backside, 1);
    EXPECT_EQ(context.getUVWCoords(1), hit.uvw);
    EXPECT_EQ(context.getUVWBasis(1).dPdu, hit.uvwBasis.dPdu);
    EXPECT_EQ(context.getUVWCoords(2), Vector());
    EXPECT_EQ(context.getUVWBasis(0).dPdv, Vector());
    auto* object = context.findInterface<KuvoUtils::ObjectTransformInterface>();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->pointToObject(Vector(0, 0, 1)), Vector(0, 0, 1));
    EXPECT_EQ(context.queryInterface(0x1234), nullptr);

    context.setRayDir(Vector(0, 0, -1));
    sphere.fillHit({0, 0, 3}, {0, 0, -1}, 2.0, hit);
    context.setHit(hit, transform);
    EXPECT_EQ(context.backside, 0);
}

}  // namespace
}  // namespace glitter::renderer
