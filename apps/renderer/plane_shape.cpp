#include "apps/renderer/plane_shape.h"

#include <cmath>

namespace glitter::renderer {

PlaneShape::PlaneShape(const DVector& origin_, const DVector& normal_, const DVector& tangent_,
                       double uvScale_)
    : origin(origin_), normal(normalize(normal_)), uvScale(uvScale_) {
    tangent = normalize(tangent_ - normal * dot(tangent_, normal));
    bitangent = cross(normal, tangent);
}

bool PlaneShape::intersect(const DVector& rayOrigin, const DVector& dir, double tMin, double tMax,
                           double& t) const {
    const double denom = dot(dir, normal);
    if (denom == 0.0) {
        return false;
    }
    const double candidate = dot(origin - rayOrigin, normal) / denom;
    if (!(candidate > tMin && candidate < tMax)) {
        return false;
    }
    t = candidate;
    return true;
}

void PlaneShape::fillHit(const DVector& rayOrigin, const DVector& dir, double t,
                         SurfaceHit& hit) const {
    DVector p = rayOrigin + dir * t;
    p = p - normal * dot(p - origin, normal);  // onto the plane, against the rounding of t
    const DVector local = p - origin;
    hit.t = t;
    hit.point = p;
    hit.geometricNormal = normal.toVector();
    hit.shadingNormal = hit.geometricNormal;
    hit.uvw = Vector(static_cast<float>(dot(local, tangent) / uvScale),
                     static_cast<float>(dot(local, bitangent) / uvScale), 0.0f);
    hit.uvwBasis.dPdu = (tangent * uvScale).toVector();
    hit.uvwBasis.dPdv = (bitangent * uvScale).toVector();
    hit.uvwBasis.dPdw = hit.geometricNormal;
}

Transform PlaneShape::worldToObject() const {
    return Transform::fromFrame(origin, tangent, bitangent, normal).inverse();
}

}  // namespace glitter::renderer
