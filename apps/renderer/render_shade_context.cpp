#include "apps/renderer/render_shade_context.h"

#include <cmath>

#include "apps/renderer/render_context.h"

namespace glitter::renderer {

namespace {

host::Point3 toPoint(const Vector& v) { return {v.x, v.y, v.z}; }

}  // namespace

host::Point3 RenderShadeContext::P() {
    const DVector& p = owner.hitPoint;
    return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

host::Point3 RenderShadeContext::V() { return toPoint(owner.rayDir); }

host::Point3 RenderShadeContext::Normal() { return toPoint(owner.shadingNormal); }

host::Point3 RenderShadeContext::OrigNormal() { return toPoint(owner.shadingNormal); }

host::Point3 RenderShadeContext::GNormal() { return toPoint(owner.geometricNormal); }

host::Point3 RenderShadeContext::PObj() {
    const auto* transform = owner.findInterface<KuvoUtils::ObjectTransformInterface>();
    const Vector p = owner.hitPoint.toVector();
    return toPoint(transform != nullptr ? transform->pointToObject(p) : p);
}

host::Point3 RenderShadeContext::UVW(int channel) { return toPoint(owner.getUVWCoords(channel)); }

host::Point3 RenderShadeContext::DUVW(int channel) {
    // The rows of the basis matrix's inverse give the change of u and v for a change of
    // position; the hit's dPdx and dPdy are one pixel step.
    const KuvoUtils::UVWBasis basis = owner.getUVWBasis(channel);
    const Vector c0 = cross(basis.dPdv, basis.dPdw);
    const Vector c1 = cross(basis.dPdw, basis.dPdu);
    const Vector c2 = cross(basis.dPdu, basis.dPdv);
    const float det = dot(basis.dPdu, c0);
    if (!(std::fabs(det) > 0.0f) || !std::isfinite(det)) {
        return {};
    }
    const float inv = 1.0f / det;
    auto change = [&](const Vector& row) {
        return std::fabs(dot(row, owner.dPdx) * inv) + std::fabs(dot(row, owner.dPdy) * inv);
    };
    return {change(c0), change(c1), change(c2)};
}

void RenderShadeContext::DPdUVW(host::Point3 dP[3], int channel) {
    const KuvoUtils::UVWBasis basis = owner.getUVWBasis(channel);
    dP[0] = toPoint(basis.dPdu);
    dP[1] = toPoint(basis.dPdv);
    dP[2] = toPoint(basis.dPdw);
}

}  // namespace glitter::renderer
