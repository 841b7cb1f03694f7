// An analytic sphere intersected in double precision, with the latitude-longitude map
// channel: u runs once around the equator, v from the south pole (0) to the north pole (1).
#pragma once

#include "apps/renderer/surface_hit.h"
#include "apps/renderer/transform.h"

namespace glitter::renderer {

/// The nearest root t of |origin + t dir - center| = radius in (tMin, tMax), or false.
/// `dir` must be unit length.
bool intersectSphere(const DVector& center, double radius, const DVector& origin,
                     const DVector& dir, double tMin, double tMax, double& t);

class SphereShape {
  public:
    SphereShape(const DVector& center, double radius) : center(center), radius(radius) {}

    bool intersect(const DVector& origin, const DVector& dir, double tMin, double tMax,
                   double& t) const {
        return intersectSphere(center, radius, origin, dir, tMin, tMax, t);
    }
    /// Fills point, normals, coordinates and basis for the hit at distance t.
    void fillHit(const DVector& origin, const DVector& dir, double t, SurfaceHit& hit) const;
    /// Object space: the unit sphere at the origin.
    Transform worldToObject() const;

    DVector center;
    double radius;
};

}  // namespace glitter::renderer
