#include "apps/renderer/scene_presets.h"

#include <cmath>

#include "apps/renderer/obj_loader.h"

namespace glitter::renderer {

namespace {

// Ground, lights and sky shared by every scene. The lights are small and bright so that
// single flakes catch them as sparkles; each gives an irradiance of about 1 at the object.
void addStage(Scene& scene, const MaterialSet& materials) {
    scene.addPlane("ground", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0),
                   materials.ground());
    scene.addLight(SphereLight({-3.0, 4.5, 3.0}, 0.08, Color(900.0f, 840.0f, 760.0f)));
    scene.addLight(SphereLight({4.0, 3.0, 2.0}, 0.06, Color(700.0f, 760.0f, 900.0f)));
    scene.addLight(SphereLight({1.0, 5.5, -3.5}, 0.1, Color(500.0f, 500.0f, 500.0f)));
    scene.setEnvironment(Environment::sky(Color(0.20f, 0.26f, 0.38f), Color(0.42f, 0.42f, 0.45f),
                                          Color(0.12f, 0.11f, 0.10f)));
}

// The direction from the object towards the camera, orbiting about the vertical axis.
DVector viewDirection(double baseYawDegrees, double elevationDegrees, double yawOffsetDegrees) {
    const double yaw = (baseYawDegrees + yawOffsetDegrees) * kPi / 180.0;
    const double elevation = elevationDegrees * kPi / 180.0;
    return {std::cos(elevation) * std::sin(yaw), std::sin(elevation),
            std::cos(elevation) * std::cos(yaw)};
}

}  // namespace

SceneFraming buildDefaultScene(Scene& scene, const MaterialSet& materials) {
    addStage(scene, materials);
    const SphereShape sphere({0.0, 1.0, 0.0}, 1.0);
    scene.addSphere("glitter sphere", sphere, materials.subject());
    scene.commit();
    return {sphere.center, sphere.radius};
}

SceneFraming buildObjScene(Scene& scene, const MaterialSet& materials, const std::string& path) {
    TriangleMesh mesh = loadObj(path);
    DVector lower;
    DVector upper;
    mesh.bounds(lower, upper);
    const DVector extent = upper - lower;
    const double size = std::fmax(extent.x, std::fmax(extent.y, extent.z));
    if (!(size > 0.0) || !std::isfinite(size)) {
        throw SceneError("OBJ file '" + path + "' has no extent (all vertices coincide)");
    }
    // Two units tall at most, standing on the ground, centred over the origin.
    const double scale = 2.0 / size;
    const DVector footprint((lower.x + upper.x) * 0.5, lower.y, (lower.z + upper.z) * 0.5);
    const Transform placement = Transform::scale(scale) * Transform::translate(footprint * -1.0);
    mesh.transform(placement);
    addStage(scene, materials);
    scene.addMesh("mesh", std::move(mesh), placement.inverse(), materials.subject());
    scene.commit();
    const DVector center(0.0, extent.y * scale * 0.5, 0.0);
    return {center, 0.5 * length(extent) * scale};
}

Camera presetCamera(CameraPreset preset, const Scene& scene, const SceneFraming& framing,
                    int frame, int frameCount, int width, int height) {
    const double t = frameCount > 1 ? static_cast<double>(frame) / (frameCount - 1) - 0.5 : 0.0;
    const DVector up(0.0, 1.0, 0.0);
    if (preset == CameraPreset::far) {
        const DVector dir = viewDirection(15.0, 18.0, 12.0 * t);
        const DVector eye = framing.center + dir * (framing.radius * 8.0);
        return Camera(eye, framing.center, up, 28.0, width, height);
    }
    // Close: a patch of the surface a few hundredths of the object wide, seen at an angle.
    const DVector dir = viewDirection(15.0, 30.0, 1.5 * t);
    const DVector outside = framing.center + dir * (framing.radius * 8.0);
    DVector target = framing.center + dir * framing.radius;
    SurfaceHit hit;
    const Vector towards = normalize(framing.center - outside).toVector();
    if (scene.intersect(outside, towards, 0.0, 1e30, hit) && hit.objectIndex >= 0) {
        target = hit.point;
    }
    const DVector sideways = normalize(cross(up, dir));
    const DVector eyeDir = normalize(dir + sideways * 0.35 + up * 0.2);
    const DVector eye = target + eyeDir * (framing.radius * 0.25);
    return Camera(eye, target, up, 20.0, width, height);
}

}  // namespace glitter::renderer
