#include "bsdf/bsdf_setup.h"

#include <cmath>
#include <cstdio>

#include "platform/host/texmap.h"
#include "platform/renderer/context_interface.h"
#include "text/utf8.h"

namespace glitter {

using KuvoUtils::Color;
using KuvoUtils::Vector;

Vector toLocal(const float m[3][3], const Vector& d) {
    return {d.x * m[0][0] + d.y * m[1][0] + d.z * m[2][0],
            d.x * m[0][1] + d.y * m[1][1] + d.z * m[2][1],
            d.x * m[0][2] + d.y * m[1][2] + d.z * m[2][2]};
}

bool isUsableNormal(const Vector& n) {
    const double length2 = double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z;
    return length2 > 0.0 && std::isfinite(length2);
}

Vector unitNormal(const Vector& n) {
    // Double precision: no float normal's squared length overflows or underflows there.
    const double length2 = double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z;
    // 2^-20: about eight float steps either side of 1, more than normalising in float leaves.
    if (std::fabs(length2 - 1.0) <= 0x1p-20) return n;
    const double length = std::sqrt(length2);
    return {float(n.x / length), float(n.y / length), float(n.z / length)};
}

TriplanarCoords triplanarCoords(const KuvoUtils::KuvoContext& context) {
    Vector p = context.hitPoint.toVector();
    Vector n = context.shadingNormal;  // the context's own, not flipped for the back side
    Vector dx = context.dPdx;
    Vector dy = context.dPdy;
    if (const auto* transform = context.findInterface<KuvoUtils::ObjectTransformInterface>()) {
        p = transform->pointToObject(p);
        n = transform->vectorToObject(n);
        dx = transform->vectorToObject(dx);
        dy = transform->vectorToObject(dy);
    }
    const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    if (ax > ay && ax > az) return {{p.y, p.z}, {dx.y, dx.z}, {dy.y, dy.z}};
    if (ay > ax && ay > az) return {{-p.x, p.z}, {-dx.x, dx.z}, {-dy.x, dy.z}};
    return {{p.x, p.y}, {dx.x, dx.y}, {dy.x, dy.y}};
}

FlakeFootprint computeFootprint(const KuvoUtils::KuvoContext& context, int32_t mappingType,
                                int32_t channel, float scale) {
    FlakeUV uv, du, dv;
    if (mappingType == kMappingTriplanar) {
        const TriplanarCoords t = triplanarCoords(context);
        uv = t.uv;
        du = t.du;
        dv = t.dv;
    } else {
        const Vector uvw = context.getUVWCoords(channel);
        uv = {uvw.x, uvw.y};
        const KuvoUtils::UVWBasis basis = context.getUVWBasis(channel);
        const Vector& b0 = basis.dPdu;
        const Vector& b1 = basis.dPdv;
        const Vector& b2 = basis.dPdw;
        // The first two rows of the basis matrix's inverse: cofactors in single precision,
        // determinant and its reciprocal in double.
        const double det = double(b0.x) * (double(b1.y) * b2.z - double(b1.z) * b2.y) +
                           double(b0.y) * (double(b1.z) * b2.x - double(b1.x) * b2.z) +
                           double(b0.z) * (double(b1.x) * b2.y - double(b1.y) * b2.x);
        const double invDet = 1.0 / det;
        const Vector c0 = cross(b1, b2);
        const Vector c1 = cross(b2, b0);
        const Vector r0{float(c0.x * invDet), float(c0.y * invDet), float(c0.z * invDet)};
        const Vector r1{float(c1.x * invDet), float(c1.y * invDet), float(c1.z * invDet)};
        du = {dot(r0, context.dPdx), dot(r1, context.dPdx)};
        dv = {dot(r0, context.dPdy), dot(r1, context.dPdy)};
    }
    const FlakeUV corner{(uv.u - (du.u + dv.u) * 0.5f) * scale,
                         (uv.v - (du.v + dv.v) * 0.5f) * scale};
    return makeFootprint(corner, {du.u * scale, du.v * scale}, {dv.u * scale, dv.v * scale});
}

bool isFiniteFootprint(const FlakeFootprint& f) {
    bool finite = std::isfinite(f.area) && std::isfinite(f.boundsMin.u) &&
                  std::isfinite(f.boundsMin.v) && std::isfinite(f.boundsMax.u) &&
                  std::isfinite(f.boundsMax.v);
    for (const FlakeUV& c : f.corner) finite = finite && std::isfinite(c.u) && std::isfinite(c.v);
    return finite;
}

bool hasResolvableArea(const FlakeFootprint& f) {
    // The search sees the footprint only through its float corners, each up to half a float
    // step off. At a width (area over longest edge) of 64 steps that moves the covered area by
    // up to about 3 %; thinner, the weights of the flakes found no longer measure the area the
    // discrete value divides by. Below 2^-100 the area would also take that divisor (the cone
    // measure, at least 2^-24, times the area) out of float's normal range.
    const float largest =
        std::fmax(std::fmax(std::fabs(f.boundsMin.u), std::fabs(f.boundsMin.v)),
                  std::fmax(std::fabs(f.boundsMax.u), std::fabs(f.boundsMax.v)));
    const double step = double(std::nextafter(largest, INFINITY)) - double(largest);
    const double edge =
        std::fmax(std::hypot(double(f.edgeNormal[0].u), double(f.edgeNormal[0].v)),
                  std::hypot(double(f.edgeNormal[1].u), double(f.edgeNormal[1].v)));
    return f.area >= 0x1p-100f && double(f.area) / edge > 64.0 * step;
}

void invertFrame(const KuvoUtils::Frame& frame, float inverse[3][3]) {
    const Vector& r0 = frame.tangent;
    const Vector& r1 = frame.bitangent;
    const Vector& r2 = frame.normal;
    const Vector c0 = cross(r1, r2);
    const Vector c1 = cross(r2, r0);
    const Vector c2 = cross(r0, r1);
    const double det = double(r0.x) * c0.x + double(r0.y) * c0.y + double(r0.z) * c0.z;
    const double invDet = 1.0 / det;
    // Columns of the inverse are the cofactor vectors over the determinant.
    const Vector cols[3] = {c0, c1, c2};
    for (int j = 0; j < 3; ++j) {
        inverse[0][j] = float(cols[j].x * invDet);
        inverse[1][j] = float(cols[j].y * invDet);
        inverse[2][j] = float(cols[j].z * invDet);
    }
}

void warnIfFlakeScaleTooBig(const FlakeMaterialView& material, const FlakeFootprint& footprint) {
    if (material.renderLog == nullptr ||
        material.scaleWarningShown->load(std::memory_order_relaxed) != 0) {
        return;
    }
    if (!(footprint.boundsMax.u - footprint.boundsMin.u >= 1.0f ||
          footprint.boundsMax.v - footprint.boundsMin.v >= 1.0f)) {
        return;
    }
    // Render threads can get here together: only the one that raises the flag prints.
    if (material.scaleWarningShown->exchange(1, std::memory_order_relaxed) != 0) {
        return;
    }
    // The name goes through a stack buffer; a name too long for it is cut at a whole character.
    char name[512];
    if (material.name == nullptr || material.name[0] == u'\0') {
        std::snprintf(name, sizeof(name), "%s", "KuvoStochasticFlakesMtl");
    } else {
        toUtf8(material.name, name, int32_t(sizeof(name)));
        name[sizeof(name) - 1] = '\0';
    }
    material.renderLog->printWarning(
        "%s :: Stochastic flakes scale is too big! Reduce the flake scale and compensate by "
        "increasing the number of flakes.",
        name);
}

Color reflectionFilterAt(const CachedParameterValues& values,
                         const KuvoUtils::KuvoContext& context) {
    Color filter = values.reflection_filter;
    const float m = values.reflection_map_mult;
    // A context without a host shading context cannot evaluate maps.
    if (values.reflection_map_on == 0 || values.reflection_map == nullptr || !(m > 0.000001f) ||
        context.hostContext == nullptr) {
        return filter;
    }
    const host::AColor c = values.reflection_map->EvalColor(*context.hostContext);
    const float r = c.r > 0.0f ? c.r : 0.0f;
    const float g = c.g > 0.0f ? c.g : 0.0f;
    const float b = c.b > 0.0f ? c.b : 0.0f;
    const float a = !(c.a > 0.0f) ? 0.0f : (c.a >= 1.0f ? 1.0f : c.a);
    const float keep = 1.0f - m * a;
    return {keep * filter.r + m * r, keep * filter.g + m * g, keep * filter.b + m * b};
}

}  // namespace glitter
