#include "apps/renderer/triangle_mesh.h"

#include <cmath>
#include <limits>

namespace glitter::renderer {

void TriangleMesh::fillHit(std::size_t index, double b1, double b2, double t,
                           SurfaceHit& hit) const {
    const auto& tri = triangles[index];
    const DVector& p0 = positions[tri[0]];
    const DVector& p1 = positions[tri[1]];
    const DVector& p2 = positions[tri[2]];
    const double b0 = 1.0 - b1 - b2;
    const DVector e1 = p1 - p0;
    const DVector e2 = p2 - p0;
    DVector ng = normalize(cross(e1, e2));

    hit.t = t;
    hit.point = p0 * b0 + p1 * b1 + p2 * b2;

    DVector ns = ng;
    if (!cornerNormals.empty()) {
        const Vector* n = &cornerNormals[3 * index];
        const DVector interpolated =
            toDouble(n[0]) * b0 + toDouble(n[1]) * b1 + toDouble(n[2]) * b2;
        if (dot(interpolated, interpolated) > 0.0) {
            ns = normalize(interpolated);
            // The geometric normal follows the side the file's normals face, whatever the
            // winding.
            if (dot(ns, ng) < 0.0) {
                ng = ng * -1.0;
            }
        }
    }

    TexCoord uv[3] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}};
    if (!cornerTexCoords.empty()) {
        for (int k = 0; k < 3; ++k) {
            uv[k] = cornerTexCoords[3 * index + k];
        }
    }
    hit.uvw = Vector(static_cast<float>(uv[0].u * b0 + uv[1].u * b1 + uv[2].u * b2),
                     static_cast<float>(uv[0].v * b0 + uv[1].v * b1 + uv[2].v * b2), 0.0f);

    // [e1 e2] = [dPdu dPdv] [du1 du2; dv1 dv2], so [dPdu dPdv] = [e1 e2] times its inverse.
    const double du1 = uv[1].u - uv[0].u;
    const double du2 = uv[2].u - uv[0].u;
    const double dv1 = uv[1].v - uv[0].v;
    const double dv2 = uv[2].v - uv[0].v;
    const double det = du1 * dv2 - du2 * dv1;
    DVector dPdu;
    DVector dPdv;
    if (std::fabs(det) > 1e-20 && std::isfinite(det)) {
        const double inv = 1.0 / det;
        dPdu = (e1 * dv2 - e2 * dv1) * inv;
        dPdv = (e2 * du1 - e1 * du2) * inv;
    } else {
        // Degenerate coordinates: any basis of the tangent plane keeps the footprint finite.
        orthonormalBasis(ng, dPdu, dPdv);
    }
    hit.geometricNormal = ng.toVector();
    hit.shadingNormal = ns.toVector();
    hit.uvwBasis.dPdu = dPdu.toVector();
    hit.uvwBasis.dPdv = dPdv.toVector();
    hit.uvwBasis.dPdw = hit.geometricNormal;
}

void TriangleMesh::transform(const Transform& xform) {
    for (DVector& p : positions) {
        p = xform.applyToPoint(p);
    }
    // Normals take the inverse transpose; for the uniform scales and rotations used to place
    // meshes the linear part is the same direction, and normals are renormalised on use.
    for (Vector& n : cornerNormals) {
        n = xform.applyToVector(toDouble(n)).toVector();
    }
}

void TriangleMesh::bounds(DVector& lower, DVector& upper) const {
    constexpr double inf = std::numeric_limits<double>::infinity();
    lower = {inf, inf, inf};
    upper = {-inf, -inf, -inf};
    for (const DVector& p : positions) {
        lower = {std::fmin(lower.x, p.x), std::fmin(lower.y, p.y), std::fmin(lower.z, p.z)};
        upper = {std::fmax(upper.x, p.x), std::fmax(upper.y, p.y), std::fmax(upper.z, p.z)};
    }
}

}  // namespace glitter::renderer
