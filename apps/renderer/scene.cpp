#include "apps/renderer/scene.h"

#include <algorithm>
#include <stdexcept>

namespace glitter::renderer {

Scene::Scene() = default;
Scene::~Scene() = default;

int Scene::addSphere(const std::string& name, const SphereShape& sphere,
                     KuvoUtils::KuvoRenderMtl* material) {
    const int index = static_cast<int>(sceneObjects.size());
    sceneObjects.push_back({name, ShapeKind::sphere, spheres.size(), material,
                            ObjectTransform(sphere.worldToObject())});
    spheres.push_back(sphere);
    sphereObjects.push_back(index);
    return index;
}

int Scene::addPlane(const std::string& name, const PlaneShape& plane,
                    KuvoUtils::KuvoRenderMtl* material) {
    const int index = static_cast<int>(sceneObjects.size());
    sceneObjects.push_back({name, ShapeKind::plane, planes.size(), material,
                            ObjectTransform(plane.worldToObject())});
    planes.push_back(plane);
    planeObjects.push_back(index);
    return index;
}

int Scene::addMesh(const std::string& name, TriangleMesh mesh, const Transform& worldToObject,
                   KuvoUtils::KuvoRenderMtl* material) {
    if (committed) {
        throw std::logic_error("Scene::addMesh after commit");
    }
    const int index = static_cast<int>(sceneObjects.size());
    sceneObjects.push_back(
        {name, ShapeKind::mesh, meshes.size(), material, ObjectTransform(worldToObject)});
    meshes.push_back(std::make_unique<TriangleMesh>(std::move(mesh)));
    meshObjects.push_back(index);
    accelerator.add(*meshes.back());
    return index;
}

void Scene::addLight(const SphereLight& light) { sceneLights.push_back(light); }

void Scene::setEnvironment(const Environment& environment) { env = environment; }

void Scene::commit() {
    accelerator.commit();
    committed = true;
}

bool Scene::intersect(const DVector& origin, const Vector& dirF, double tMin, double tMax,
                      SurfaceHit& hit) const {
    const DVector dir = toDouble(dirF);
    double nearest = tMax;
    int kind = -1;  // 0 sphere, 1 plane, 2 light, 3 mesh
    std::size_t which = 0;
    double t = 0.0;
    for (std::size_t i = 0; i < spheres.size(); ++i) {
        if (spheres[i].intersect(origin, dir, tMin, nearest, t)) {
            nearest = t;
            kind = 0;
            which = i;
        }
    }
    for (std::size_t i = 0; i < planes.size(); ++i) {
        if (planes[i].intersect(origin, dir, tMin, nearest, t)) {
            nearest = t;
            kind = 1;
            which = i;
        }
    }
    for (std::size_t i = 0; i < sceneLights.size(); ++i) {
        if (sceneLights[i].intersect(origin, dir, tMin, nearest, t)) {
            nearest = t;
            kind = 2;
            which = i;
        }
    }
    MeshHit meshHit;
    if (accelerator.intersect(origin, dirF, tMin, nearest, meshHit)) {
        kind = 3;
        nearest = meshHit.t;
    }
    hit = SurfaceHit{};
    switch (kind) {
        case 0:
            spheres[which].fillHit(origin, dir, nearest, hit);
            hit.objectIndex = sphereObjects[which];
            return true;
        case 1:
            planes[which].fillHit(origin, dir, nearest, hit);
            hit.objectIndex = planeObjects[which];
            return true;
        case 2: {
            const SphereLight& light = sceneLights[which];
            SphereShape(light.center, light.radius).fillHit(origin, dir, nearest, hit);
            hit.lightIndex = static_cast<int>(which);
            return true;
        }
        case 3:
            meshes[static_cast<std::size_t>(meshHit.meshIndex)]->fillHit(
                meshHit.triangle, meshHit.b1, meshHit.b2, nearest, hit);
            hit.objectIndex = meshObjects[static_cast<std::size_t>(meshHit.meshIndex)];
            return true;
        default:
            return false;
    }
}

bool Scene::occluded(const DVector& origin, const Vector& dirF, double tMin, double tMax,
                     int skipLight) const {
    const DVector dir = toDouble(dirF);
    double t = 0.0;
    for (const SphereShape& sphere : spheres) {
        if (sphere.intersect(origin, dir, tMin, tMax, t)) {
            return true;
        }
    }
    for (const PlaneShape& plane : planes) {
        if (plane.intersect(origin, dir, tMin, tMax, t)) {
            return true;
        }
    }
    for (std::size_t i = 0; i < sceneLights.size(); ++i) {
        if (static_cast<int>(i) != skipLight &&
            sceneLights[i].intersect(origin, dir, tMin, tMax, t)) {
            return true;
        }
    }
    return accelerator.occluded(origin, dirF, tMin, tMax);
}

std::vector<KuvoUtils::KuvoRenderMtl*> Scene::materials() const {
    std::vector<KuvoUtils::KuvoRenderMtl*> result;
    for (const SceneObject& object : sceneObjects) {
        if (object.material != nullptr &&
            std::find(result.begin(), result.end(), object.material) == result.end()) {
            result.push_back(object.material);
        }
    }
    return result;
}

}  // namespace glitter::renderer
