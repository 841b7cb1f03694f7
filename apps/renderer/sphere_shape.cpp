#include "apps/renderer/sphere_shape.h"

#include <algorithm>
#include <cmath>

namespace glitter::renderer {

bool intersectSphere(const DVector& center, double radius, const DVector& origin,
                     const DVector& dir, double tMin, double tMax, double& t) {
    // The discriminant from the closest point's offset rather than b^2 - c, which cancels
    // badly for a small sphere far away.
    const DVector oc = origin - center;
    const double b = dot(oc, dir);
    const DVector closest = oc - dir * b;
    const double disc = radius * radius - dot(closest, closest);
    if (!(disc >= 0.0)) {
        return false;
    }
    const double root = std::sqrt(disc);
    const double c = dot(oc, oc) - radius * radius;
    const double q = b > 0.0 ? -b - root : -b + root;
    double t0 = q != 0.0 ? c / q : 0.0;
    double t1 = q;
    if (t0 > t1) {
        std::swap(t0, t1);
    }
    if (t0 > tMin && t0 < tMax) {
        t = t0;
        return true;
    }
    if (t1 > tMin && t1 < tMax) {
        t = t1;
        return true;
    }
    return false;
}

void SphereShape::fillHit(const DVector& origin, const DVector& dir, double t,
                          SurfaceHit& hit) const {
    DVector offset = origin + dir * t - center;
    // Back onto the surface: the hit point's error then stays at a few ulps of the radius.
    offset = offset * (radius / length(offset));
    const DVector n = offset * (1.0 / radius);
    const double phi = std::atan2(n.z, n.x);
    const double theta = std::acos(std::clamp(n.y, -1.0, 1.0));
    const double cosPhi = std::cos(phi);
    const double sinPhi = std::sin(phi);
    hit.t = t;
    hit.point = center + offset;
    hit.geometricNormal = n.toVector();
    hit.shadingNormal = hit.geometricNormal;
    hit.uvw = Vector(static_cast<float>(phi / (2.0 * kPi) + 0.5),
                     static_cast<float>(1.0 - theta / kPi), 0.0f);
    // u = phi / 2pi + 1/2 and v = 1 - theta / pi, so dP/du = 2pi dP/dphi and
    // dP/dv = -pi dP/dtheta.
    const DVector dPdphi = DVector(-n.z, 0.0, n.x) * radius;
    const DVector dPdtheta =
        DVector(n.y * cosPhi, -std::sin(theta), n.y * sinPhi) * radius;
    hit.uvwBasis.dPdu = (dPdphi * (2.0 * kPi)).toVector();
    hit.uvwBasis.dPdv = (dPdtheta * -kPi).toVector();
    hit.uvwBasis.dPdw = hit.geometricNormal;
}

Transform SphereShape::worldToObject() const {
    return Transform::scale(1.0 / radius) * Transform::translate(center * -1.0);
}

}  // namespace glitter::renderer
