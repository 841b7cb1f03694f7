// Everything a render sees: objects (analytic spheres and planes, triangle meshes) with their
// materials and object transforms, sphere lights and the environment.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "apps/renderer/environment.h"
#include "apps/renderer/mesh_accelerator.h"
#include "apps/renderer/object_transform.h"
#include "apps/renderer/plane_shape.h"
#include "apps/renderer/sphere_light.h"
#include "apps/renderer/sphere_shape.h"
#include "apps/renderer/surface_hit.h"
#include "apps/renderer/triangle_mesh.h"
#include "platform/renderer/kuvo_render_mtl.h"

namespace glitter::renderer {

enum class ShapeKind { sphere, plane, mesh };

struct SceneObject {
    std::string name;
    ShapeKind kind = ShapeKind::sphere;
    std::size_t shapeIndex = 0;                    ///< into the list of its kind
    KuvoUtils::KuvoRenderMtl* material = nullptr;  ///< borrowed; null reflects nothing
    ObjectTransform objectTransform;
};

class Scene {
  public:
    Scene();
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    /// The material pointers are borrowed and must outlive every render of the scene.
    int addSphere(const std::string& name, const SphereShape& sphere,
                  KuvoUtils::KuvoRenderMtl* material);
    int addPlane(const std::string& name, const PlaneShape& plane,
                 KuvoUtils::KuvoRenderMtl* material);
    /// `worldToObject` is the mesh's object transform (the inverse of how it was placed).
    int addMesh(const std::string& name, TriangleMesh mesh, const Transform& worldToObject,
                KuvoUtils::KuvoRenderMtl* material);
    void addLight(const SphereLight& light);
    void setEnvironment(const Environment& environment);
    /// Builds the acceleration structure; call once after the last add, before rendering.
    void commit();

    /// Nearest hit of an object or a light in (tMin, tMax) along unit `dir`.
    bool intersect(const DVector& origin, const Vector& dir, double tMin, double tMax,
                   SurfaceHit& hit) const;
    /// Whether anything (object or light other than `skipLight`) lies in (tMin, tMax) along
    /// unit `dir`.
    bool occluded(const DVector& origin, const Vector& dir, double tMin, double tMax,
                  int skipLight = -1) const;

    const std::vector<SceneObject>& objects() const { return sceneObjects; }
    const std::vector<SphereLight>& lights() const { return sceneLights; }
    const Environment& environment() const { return env; }
    /// The distinct materials of the objects, in the order of first use.
    std::vector<KuvoUtils::KuvoRenderMtl*> materials() const;

  private:
    std::vector<SceneObject> sceneObjects;
    std::vector<SphereShape> spheres;
    std::vector<PlaneShape> planes;
    std::vector<std::unique_ptr<TriangleMesh>> meshes;
    std::vector<int> sphereObjects;
    std::vector<int> planeObjects;
    std::vector<int> meshObjects;
    std::vector<SphereLight> sceneLights;
    Environment env;
    MeshAccelerator accelerator;
    bool committed = false;
};

}  // namespace glitter::renderer
