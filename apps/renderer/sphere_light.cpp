#include "apps/renderer/sphere_light.h"

#include <algorithm>
#include <cmath>

#include "apps/renderer/sphere_shape.h"

namespace glitter::renderer {

double SphereLight::coneOneMinusCos(const DVector& from, double& distance) const {
    distance = length(center - from);
    if (!(distance > radius)) {
        return 0.0;
    }
    // 1 - sqrt(1 - s^2) rewritten without the cancellation that makes it 0 for small lights.
    const double s2 = (radius / distance) * (radius / distance);
    return s2 / (1.0 + std::sqrt(1.0 - s2));
}

float SphereLight::density(const DVector& from) const {
    double distance = 0.0;
    const double oneMinusCos = coneOneMinusCos(from, distance);
    // Uniform over the cone: 1 / (2 pi (1 - cos)) per steradian, times 2 pi.
    return oneMinusCos > 0.0 ? static_cast<float>(1.0 / oneMinusCos) : 0.0f;
}

LightSample SphereLight::sample(const DVector& from, float u1, float u2) const {
    LightSample result;
    double distance = 0.0;
    const double oneMinusCos = coneOneMinusCos(from, distance);
    if (!(oneMinusCos > 0.0)) {
        return result;
    }
    const DVector axis = (center - from) * (1.0 / distance);
    DVector t;
    DVector b;
    orthonormalBasis(axis, t, b);
    const double oneMinusCosTheta = u1 * oneMinusCos;
    const double cosTheta = 1.0 - oneMinusCosTheta;
    const double sinTheta = std::sqrt(std::max(0.0, oneMinusCosTheta * (2.0 - oneMinusCosTheta)));
    const double phi = 2.0 * kPi * u2;
    const DVector dir = normalize(t * (std::cos(phi) * sinTheta) +
                                  b * (std::sin(phi) * sinTheta) + axis * cosTheta);
    double hitDistance = 0.0;
    if (!intersectSphere(center, radius, from, dir, 0.0, 1e300, hitDistance)) {
        // A grazing direction on the cone's rim that rounding moved off the sphere: the
        // tangent point's distance.
        hitDistance = std::sqrt(std::max(0.0, distance * distance - radius * radius));
    }
    result.direction = dir.toVector();
    result.distance = hitDistance;
    result.density = static_cast<float>(1.0 / oneMinusCos);
    return result;
}

bool SphereLight::intersect(const DVector& origin, const DVector& dir, double tMin, double tMax,
                            double& t) const {
    return intersectSphere(center, radius, origin, dir, tMin, tMax, t);
}

}  // namespace glitter::renderer
