// Ray queries against the scene's triangle meshes through an Embree 3 BVH. Embree works in
// single precision; the caller rebuilds the hit point in double from the barycentrics.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "apps/renderer/triangle_mesh.h"

namespace glitter::renderer {

struct MeshHit {
    int meshIndex = -1;
    std::uint32_t triangle = 0;
    double b1 = 0.0;  ///< barycentric of corner 1
    double b2 = 0.0;  ///< barycentric of corner 2
    double t = 0.0;
};

class MeshAccelerator {
  public:
    MeshAccelerator();
    ~MeshAccelerator();
    MeshAccelerator(const MeshAccelerator&) = delete;
    MeshAccelerator& operator=(const MeshAccelerator&) = delete;

    /// Adds a mesh (referenced, not copied: it must stay alive and unchanged); its index in
    /// MeshHit is the order of adding.
    void add(const TriangleMesh& mesh);
    /// Builds the BVH. Queries are valid afterwards, from any number of threads at once.
    void commit();
    bool empty() const { return meshCount == 0; }

    bool intersect(const DVector& origin, const Vector& dir, double tMin, double tMax,
                   MeshHit& hit) const;
    bool occluded(const DVector& origin, const Vector& dir, double tMin, double tMax) const;

  private:
    struct Handles;
    std::unique_ptr<Handles> handles;
    int meshCount = 0;
};

}  // namespace glitter::renderer
