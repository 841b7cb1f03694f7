// A spherical area light of uniform radiance, sampled by the cone of directions it subtends
// from the shading point. Densities are in the renderer's convention: 2*pi times the density
// per unit solid angle.
#pragma once

#include "apps/renderer/render_math.h"

namespace glitter::renderer {

struct LightSample {
    Vector direction;     ///< unit, from the shading point towards the light
    double distance = 0;  ///< to the light's surface along `direction`
    float density = 0;    ///< 2*pi convention; 0 when the point sees no light
};

class SphereLight {
  public:
    SphereLight(const DVector& center, double radius, const Color& radiance)
        : center(center), radius(radius), radiance(radiance) {}

    /// A direction towards the light drawn uniformly in the cone it subtends from `from`.
    /// A point on or inside the sphere gets density 0.
    LightSample sample(const DVector& from, float u1, float u2) const;
    /// The density `sample` gives every direction that hits the light from `from`.
    float density(const DVector& from) const;
    bool intersect(const DVector& origin, const DVector& dir, double tMin, double tMax,
                   double& t) const;

    DVector center;
    double radius;
    Color radiance;

  private:
    /// 1 - cos of the cone's half angle seen from `from`, or 0 from inside the sphere.
    double coneOneMinusCos(const DVector& from, double& distance) const;
};

}  // namespace glitter::renderer
