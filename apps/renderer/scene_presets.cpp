#include "apps/renderer/scene_presets.h"

#include <cmath>

#include "apps/renderer/obj_loader.h"

namespace glitter::renderer {

namespace {

// Ground, lights and sky shared by every scene. The lights are small and bright so that
// single flakes catch them as sparkles; each gives an irradiance of about 1 at the object.
void addStage(Scene& scene, const MaterialSet& materials) {
    scene.addPlane("ground", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0), materials.ground());
    scene.addLight(SphereLight({-3.0, 4.5, 3.0}, 0.08, Color(900.0f, 840.0f, 760.0f)));
    scene.addLight(SphereLight({4.0, 3.0, 2.0}, 0.06, Color(700.0f, 760.0f, 900.0f)));
    scene.addLight(SphereLight({1.0, 5.5, -3.5}, 0.1, Color(500.0f, 500.0f, 500.0f)));
    scene.setEnvironment(Environment::sky(
        Color(0.05f, 0.065f, 0.095f), Color(0.105f, 0.105f, 0.11f), Color(0.03f, 0.028f, 0.025f)));
}

// The direction from the object towards the camera, orbiting about the vertical axis.
DVector viewDirection(double baseYawDegrees, double elevationDegrees, double yawOffsetDegrees) {
    const double yaw = (baseYawDegrees + yawOffsetDegrees) * kPi / 180.0;
    const double elevation = elevationDegrees * kPi / 180.0;
    return {std::cos(elevation) * std::sin(yaw), std::sin(elevation),
            std::cos(elevation) * std::cos(yaw)};
}

}  // namespace

SceneChoices defaultSceneChoices() {
    SceneChoices choices;
    choices.samplesPerPixel = 8;
    choices.materialSettings = {{"subdivs", "3"}, {"flake_scale", "3"}};
    choices.indirect.clamp = 2.0f;
    choices.indirect.lightSpreadDegrees = 10.0f;
    return choices;
}

SceneChoices objSceneChoices() {
    SceneChoices choices;
    choices.samplesPerPixel = defaultSceneChoices().samplesPerPixel;
    // The same stage (lights and ground) makes the same caustic noise.
    choices.indirect = defaultSceneChoices().indirect;
    return choices;
}

SceneFraming buildDefaultScene(Scene& scene, const MaterialSet& materials) {
    addStage(scene, materials);
    const SphereShape sphere({0.0, 1.0, 0.0}, 1.0);
    scene.addSphere("glitter sphere", sphere, materials.subject());
    scene.commit();
    return {sphere.center, sphere.radius};
}

SceneFraming buildObjScene(Scene& scene, const MaterialSet& materials, const std::string& path,
                           const ObjLimits& limits) {
    TriangleMesh mesh = loadObj(path, limits);
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

Camera presetCamera(CameraPreset preset, const Scene& scene, const SceneFraming& framing, int frame,
                    int frameCount, int width, int height) {
    const double t = frameCount > 1 ? static_cast<double>(frame) / (frameCount - 1) - 0.5 : 0.0;
    const DVector up(0.0, 1.0, 0.0);
    if (preset == CameraPreset::far) {
        const DVector dir = viewDirection(15.0, 18.0, 12.0 * t);
        const DVector eye = framing.center + dir * (framing.radius * 8.0);
        return Camera(eye, framing.center, up, 28.0, width, height);
    }
    // Close: a patch of the surface a few hundredths of the object wide, looked at in the
    // mirror direction of the first light, so that the flakes there catch it and sparkle.
    const DVector dir = viewDirection(15.0, 30.0, 0.0);
    DVector normal = dir;
    if (!scene.lights().empty()) {
        // The point of the bounding sphere whose normal halves the angle between the view
        // and the light; a few rounds settle it, since the light is near.
        const DVector light = scene.lights()[0].center;
        for (int round = 0; round < 8; ++round) {
            const DVector point = framing.center + normal * framing.radius;
            normal = normalize(dir + normalize(light - point));
        }
    }
    const DVector outside = framing.center + normal * (framing.radius * 8.0);
    DVector target = framing.center + normal * framing.radius;
    DVector surfaceNormal = normal;
    SurfaceHit hit;
    const Vector towards = normalize(framing.center - outside).toVector();
    if (scene.intersect(outside, towards, 0.0, 1e30, hit) && hit.objectIndex >= 0) {
        target = hit.point;
        surfaceNormal = toDouble(hit.shadingNormal);
    }
    // The mirror of the light about the surface normal, turned about the vertical for frames.
    DVector eyeDir = dir;
    if (!scene.lights().empty()) {
        const DVector toLight = normalize(scene.lights()[0].center - target);
        eyeDir = surfaceNormal * (2.0 * dot(surfaceNormal, toLight)) - toLight;
    }
    const double turn = 1.5 * t * kPi / 180.0;
    const double c = std::cos(turn);
    const double s = std::sin(turn);
    eyeDir =
        normalize(DVector(c * eyeDir.x + s * eyeDir.z, eyeDir.y, -s * eyeDir.x + c * eyeDir.z));
    const DVector eye = target + eyeDir * (framing.radius * 0.25);
    return Camera(eye, target, up, 20.0, width, height);
}

}  // namespace glitter::renderer
