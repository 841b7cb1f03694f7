#pragma once
// Sampling of the flakes BSDF in its local frame: a found flake chosen uniformly and a
// direction uniform in its blur cone, or the mirror reflection about a Beckmann normal for the
// smooth lobe. The value and density always come from the full evaluation, so the two agree.

#include <cmath>
#include <cstdint>

#include "bsdf/flake_evaluation.h"
#include "platform/renderer/vector.h"

namespace glitter {

// A Beckmann-distributed microfacet normal from two uniforms.
KuvoUtils::Vector sampleBeckmann(float u, float v, float alpha);

// The incoming ray's screen derivatives mirrored about the half vector of dIn -> dOut.
void reflectDifferentials(const KuvoUtils::Vector& dIn, const KuvoUtils::Vector& dOut,
                          const KuvoUtils::Vector& dDdx, const KuvoUtils::Vector& dDdy,
                          KuvoUtils::Vector& reflectedDdx, KuvoUtils::Vector& reflectedDdy);

// A unit tangent perpendicular to n, chosen away from the axis n is closest to.
KuvoUtils::Vector frameTangent(const KuvoUtils::Vector& n);

namespace detail {

// A direction uniform in the cone of cosine cosBlur around r, built in double and rounded once
// (u = 1 on the axis, u = 0 on the rim, as in the float construction).
inline KuvoUtils::Vector narrowConeDirection(const KuvoUtils::Vector& r, float cosBlur, float uCone,
                                             float uAngle) {
    const double len = std::sqrt(double(r.x) * r.x + double(r.y) * r.y + double(r.z) * r.z);
    const double a[3] = {r.x / len, r.y / len, r.z / len};
    double t[3];
    if (a[0] * a[0] + a[2] * a[2] > a[0] * a[0] + a[1] * a[1]) {
        const double l = std::sqrt(a[0] * a[0] + a[2] * a[2]);
        t[0] = -a[2] / l;
        t[1] = 0.0;
        t[2] = a[0] / l;
    } else {
        const double l = std::sqrt(a[0] * a[0] + a[1] * a[1]);
        t[0] = a[1] / l;
        t[1] = -a[0] / l;
        t[2] = 0.0;
    }
    const double b[3] = {a[1] * t[2] - a[2] * t[1], a[2] * t[0] - a[0] * t[2],
                         a[0] * t[1] - a[1] * t[0]};
    // 1 - cosine, kept apart from 1 so that no precision is lost near the axis.
    const double w = double(1.0f - cosBlur) * (1.0 - double(uCone));
    const double s = std::sqrt(w * (2.0 - w));
    const double phi = 6.283185307179586 * double(uAngle);
    const double cs = std::cos(phi) * s, sn = std::sin(phi) * s, c = 1.0 - w;
    return {float(t[0] * cs + b[0] * sn + a[0] * c), float(t[1] * cs + b[1] * sn + a[1] * c),
            float(t[2] * cs + b[2] * sn + a[2] * c)};
}

// A flake chosen by uFlake and a direction in its cone. inCone is false when a narrow cone's
// direction fails that flake's own cone test: drawing only what the test accepts, each flake
// then adds exactly the evaluation's density over its cone.
template <class T>
KuvoUtils::Vector sampleFlakeCone(const FlakeQuery<T>& q, float uFlake, float uCone, float uAngle,
                                  bool& inCone) {
    using KuvoUtils::Vector;
    const float scaled = float(q.flakeCount) * uFlake;
    // trunc() lands below flakeCount for uniforms below 1; the clamp keeps float rounding and
    // out-of-range uniforms from reading past the last real flake.
    uint32_t k = 0;
    if (scaled >= 1.0f) k = scaled < 4294967296.0f ? uint32_t(scaled) : q.flakeCount;
    if (k >= q.flakeCount) k = q.flakeCount - 1;
    const FlakeBlock<T>& b = q.blocks.data[k / 4];
    const Vector r{b.x[k % 4], b.y[k % 4], b.z[k % 4]};

    const float cosBlur = q.params->cosBlurAngle;
    inCone = true;
    if (1.0f - cosBlur < kNarrowConeMeasure) {
        const Vector d = narrowConeDirection(r, cosBlur, uCone, uAngle);
        // The evaluation's test: d is the probe, r the flake's stored direction.
        inCone = inNarrowCone(unitInDouble(d.x, d.y, d.z), r.x, r.y, r.z, cosBlur);
        return d;
    }
    const float gamma = (1.0f - cosBlur) * uCone + cosBlur;
    const float s = std::sqrt(1.0f - gamma * gamma);
    const float phi = 6.2831855f * uAngle;
    const Vector t = frameTangent(r);
    const Vector bt = cross(r, t);
    return t * (std::cos(phi) * s) + bt * (std::sin(phi) * s) + r * gamma;
}

inline KuvoUtils::Vector mirrorAbout(const FlakeVector& v, const KuvoUtils::Vector& m) {
    const float k = 2.0f * (v.x * m.x + v.y * m.y + v.z * m.z);
    return {v.x - k * m.x, v.y - k * m.y, v.z - k * m.z};
}

}  // namespace detail

// Draws a local direction from four uniforms and evaluates it. With discrete flakes u[0]
// picks the flake and u[2], u[3] the point in its cone. In the blend band the smooth lobe
// takes its share t of the samples, chosen by u[1] (which the flakes leave unused), so the
// directions follow the blended density that evaluation returns.
template <class T>
KuvoUtils::Vector sampleFlakes(FlakeQuery<T>& q, const float u[4], T& value, float& pdf) {
    KuvoUtils::Vector d;
    const FlakeParams& p = *q.params;
    if (q.enabled != 0) {
        const float t = smoothBlendWeight(q);
        if (t > 0.0f && u[1] < t) {
            d = detail::mirrorAbout(q.viewDir, sampleBeckmann(u[0], u[2], p.roughness));
        } else {
            bool inCone;
            d = detail::sampleFlakeCone(q, u[0], u[2], u[3], inCone);
            if (!inCone) {
                q.probeDir = {d.x, d.y, d.z};
                value = detail::zeroValue<T>();
                pdf = 0.0f;
                return d;
            }
        }
    } else {
        d = detail::mirrorAbout(q.viewDir, sampleBeckmann(u[0], u[1], p.roughness));
    }
    value = evalFlakes(q, d, pdf);
    return d;
}

}  // namespace glitter
