// An infinite plane intersected in double precision. Map channel 1 is planar: u along the
// tangent and v along the bitangent (normal x tangent), one unit per `uvScale` world units.
#pragma once

#include "apps/renderer/surface_hit.h"
#include "apps/renderer/transform.h"

namespace glitter::renderer {

class PlaneShape {
  public:
    /// `normal` and `tangent` need not be unit or orthogonal; they are made so.
    PlaneShape(const DVector& origin, const DVector& normal, const DVector& tangent,
               double uvScale);

    bool intersect(const DVector& rayOrigin, const DVector& dir, double tMin, double tMax,
                   double& t) const;
    void fillHit(const DVector& rayOrigin, const DVector& dir, double t, SurfaceHit& hit) const;
    /// Object space: (tangent, bitangent, normal) coordinates around the origin.
    Transform worldToObject() const;

    DVector origin;
    DVector normal;
    DVector tangent;
    DVector bitangent;
    double uvScale;
};

}  // namespace glitter::renderer
