#pragma once
// Evaluation of the flakes BSDF in its local frame: the discrete flakes whose mirror direction
// lies in the blur cone around the light, the smooth Beckmann lobe with Smith shadowing, and
// the linear blend between them. Shared by the plain (float) and coloured (Color) variants;
// allocation-free. Densities follow the renderer's convention (bsdf/density_convention.h).

#include <cmath>
#include <cstdint>

#include "flakes/flake_query.h"
#include "flakes/simd/float4.h"
#include "platform/renderer/color.h"
#include "platform/renderer/vector.h"

namespace glitter {

// Beckmann distribution of the half vector's cosine; 0.5 rather than 1/pi folds in the
// renderer's density convention.
float beckmannD(float cosH, float alpha);

// Smith shadowing-masking: a rational fit of G1 for each of the two directions.
float smithG(float cosO, float cosI, float alpha);

// The power heuristic f^2 / (f^2 + g^2) of two densities, also where squaring would overflow.
float powerHeuristic(float f, float g);

template <class T>
struct FlakeConeSum {
    T sum;
    int32_t count;
};

namespace detail {

inline float grey(const FlakeParams& p) { return p.randomLightness ? 0.5f : p.lightness; }

template <class T>
T smoothValue(const FlakeParams& p, float d) {
    if constexpr (kPlainFlakes<T>) {
        return d;
    } else {
        return T(grey(p) * d);
    }
}

template <class T>
T zeroValue() {
    if constexpr (kPlainFlakes<T>) {
        return 0.0f;
    } else {
        return T(0.0f, 0.0f, 0.0f);
    }
}

inline float reduceLanes(simd::Float4 v) { return (v[0] + v[1]) + (v[2] + v[3]); }

// Length normalisation that leaves zero and infinite vectors as they are.
inline void normalizeUnlessDegenerate(float& x, float& y, float& z) {
    const float len = std::sqrt(x * x + y * y + z * z);
    const float largest = std::fmax(std::fabs(x), std::fmax(std::fabs(y), std::fabs(z)));
    if (largest >= len * 1e18f) return;
    x = x / len;
    y = y / len;
    z = z / len;
}

// Below this cone measure (1 - cos of the blur angle; about 0.63 degrees) the cone spans
// fewer than 2^10 float steps of cosine below 1, while the stored flake directions are unit
// only to a few steps and a float dot product rounds by one more. The cone test then accepts
// regions several times the cone, or none, and the densities no longer integrate to 1. There
// the test is made in double on unit directions, and sampling builds its directions in double.
inline constexpr float kNarrowConeMeasure = 0x1p-14f;

struct UnitDirection {
    double x, y, z;
};

// Unit length in double; a zero direction stays zero (outside every cone, as in float).
inline UnitDirection unitInDouble(float x, float y, float z) {
    const double len = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    if (!(len > 0.0)) return {double(x), double(y), double(z)};
    return {x / len, y / len, z / len};
}

// The cone test of a narrow cone: unless the angle's cosine is at most cosBlur, as in float.
inline bool inNarrowCone(const UnitDirection& probe, float x, float y, float z, float cosBlur) {
    const UnitDirection d = unitInDouble(x, y, z);
    return !(d.x * probe.x + d.y * probe.y + d.z * probe.z <= double(cosBlur));
}

// sumFlakesInCone for narrow cones, lane by lane: the same running sums in the same order, so
// only which flakes count differs from the four-wide test.
template <class T>
FlakeConeSum<T> sumFlakesInNarrowCone(const FlakeQuery<T>& q) {
    const UnitDirection probe = unitInDouble(q.probeDir.x, q.probeDir.y, q.probeDir.z);
    const float cosBlur = q.params->cosBlurAngle;
    alignas(16) float sum0[4] = {}, sum1[4] = {}, sum2[4] = {};
    int32_t count = 0;
    const uint32_t blocks = uint32_t(q.blocks.count);
    for (uint32_t i = 0; i < blocks; ++i) {
        const FlakeBlock<T>& b = q.blocks.data[i];
        for (uint32_t lane = 0; lane < 4; ++lane) {
            if (!inNarrowCone(probe, b.x[lane], b.y[lane], b.z[lane], cosBlur)) continue;
            if (i * 4 + lane < q.flakeCount) ++count;  // filler lanes are not flakes
            if constexpr (kPlainFlakes<T>) {
                sum0[lane] = sum0[lane] + b.weight[lane];
            } else {
                sum0[lane] = sum0[lane] + b.r[lane];
                sum1[lane] = sum1[lane] + b.g[lane];
                sum2[lane] = sum2[lane] + b.b[lane];
            }
        }
    }
    using simd::Float4;
    if constexpr (kPlainFlakes<T>) {
        return {reduceLanes(Float4::load(sum0)), count};
    } else {
        return {T(reduceLanes(Float4::load(sum0)), reduceLanes(Float4::load(sum1)),
                  reduceLanes(Float4::load(sum2))),
                count};
    }
}

}  // namespace detail

// Sum of the weights (or colours) of the flakes whose mirror direction lies strictly inside
// the cone around probeDir, and how many they are. Four flakes at a time: the comparison mask
// gives the count and selects what is added; the lanes are reduced once at the end. The last
// block's filler lanes are masked out of the count, so it counts exactly the flakes that
// sampling can pick.
template <class T>
FlakeConeSum<T> sumFlakesInCone(const FlakeQuery<T>& q) {
    if (1.0f - q.params->cosBlurAngle < detail::kNarrowConeMeasure) {
        return detail::sumFlakesInNarrowCone(q);
    }
    using simd::Float4;
    // Lanes set in a 4-bit mask; the baseline instruction set has no popcount instruction.
    static constexpr int8_t kLanes[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    const Float4 px(q.probeDir.x), py(q.probeDir.y), pz(q.probeDir.z);
    const Float4 cosBlur(q.params->cosBlurAngle);
    const Float4 zero(0.0f);
    Float4 sum0 = zero, sum1 = zero, sum2 = zero;
    // Per lane, how many of the blocks so far had that lane in the cone (a set mask lane is -1).
    simd::Int4 lanesIn(0);
    const int32_t blocks = q.blocks.count;
    // A NaN direction counts, as "unless <=" reads. One running sum per lane, added in block
    // order: the reduction order is fixed.
    const auto add = [&](const FlakeBlock<T>& b) {
        const Float4 d = Float4::load(b.x) * px + Float4::load(b.y) * py + Float4::load(b.z) * pz;
        const simd::Mask4 inCone = notLessEqual(d, cosBlur);
        if constexpr (kPlainFlakes<T>) {
            sum0 = sum0 + select(inCone, Float4::load(b.weight), zero);
        } else {
            sum0 = sum0 + select(inCone, Float4::load(b.r), zero);
            sum1 = sum1 + select(inCone, Float4::load(b.g), zero);
            sum2 = sum2 + select(inCone, Float4::load(b.b), zero);
        }
        return inCone;
    };
    int32_t count = 0;
    if (blocks > 0) {
        const FlakeBlock<T>* b = q.blocks.data;
        int32_t i = 0;
        for (; i + 2 < blocks; i += 2) {
            lanesIn = lanesIn - asInt(add(b[i]));
            lanesIn = lanesIn - asInt(add(b[i + 1]));
        }
        for (; i + 1 < blocks; ++i) lanesIn = lanesIn - asInt(add(b[i]));
        // The last block's filler lanes are kept out of the count.
        const uint32_t lastReal = q.flakeCount - uint32_t(blocks - 1) * 4u;
        const int lastMask = lastReal >= 4 ? 0xF : (1 << lastReal) - 1;
        count = kLanes[moveMask(add(b[blocks - 1])) & lastMask] +
                ((lanesIn[0] + lanesIn[1]) + (lanesIn[2] + lanesIn[3]));
    }
    if constexpr (kPlainFlakes<T>) {
        return {detail::reduceLanes(sum0), count};
    } else {
        return {T(detail::reduceLanes(sum0), detail::reduceLanes(sum1), detail::reduceLanes(sum2)),
                count};
    }
}

// Blend weight of the smooth lobe: 0 at or below blendMin, rising linearly to 1 at blendMax.
template <class T>
float smoothBlendWeight(const FlakeQuery<T>& q) {
    const FlakeParams& p = *q.params;
    if (!(q.expectedFlakes > p.blendMin)) return 0.0f;
    return (q.expectedFlakes - p.blendMin) / (p.blendMax - p.blendMin);
}

// The discrete value (each found flake a mirror whose reflection is spread evenly over its
// cone), blended with the smooth lobe in the blend band; writes the matching density.
template <class T>
T evalDiscrete(const FlakeQuery<T>& q, float lDotH, float hz, float& pdf) {
    const FlakeParams& p = *q.params;
    const FlakeConeSum<T> cone = sumFlakesInCone(q);
    const float coneMeasure = 1.0f - p.cosBlurAngle;
    T v = detail::zeroValue<T>();
    pdf = 0.0f;
    // A blur angle of 0 leaves an empty cone: the flakes reflect nothing rather than 0/0.
    if (coneMeasure > 0.0f) {
        pdf = float(cone.count) / (float(q.flakeCount) * coneMeasure);
        v = cone.sum * lDotH / (coneMeasure * q.footprint.area * float(p.numFlakes));
    }
    if (q.expectedFlakes > p.blendMin) {
        const float t = (q.expectedFlakes - p.blendMin) / (p.blendMax - p.blendMin);
        const float d = beckmannD(hz, p.roughness);
        pdf = (d * hz / lDotH) * t + (1.0f - t) * pdf;
        if constexpr (kPlainFlakes<T>) {
            v = (1.0f - t) * v + d * t;
        } else {
            const float g = detail::grey(p) * d * t;
            v = T(g + (1.0f - t) * v.r, g + (1.0f - t) * v.g, g + (1.0f - t) * v.b);
        }
    }
    return v;
}

// Reflected value for the local light direction L (value / |cos theta_o| with Smith G) and its
// density. Black with density 0 for every invalid configuration.
template <class T>
T evalFlakes(FlakeQuery<T>& q, const KuvoUtils::Vector& l, float& pdf) {
    q.probeDir = {l.x, l.y, l.z};
    pdf = 0.0f;
    const FlakeVector v = q.viewDir;
    if (!(-v.z > 0.000001f)) return detail::zeroValue<T>();
    if (!(l.z > 0.000001f)) return detail::zeroValue<T>();

    float hx = l.x - v.x, hy = l.y - v.y, hz = l.z - v.z;
    detail::normalizeUnlessDegenerate(hx, hy, hz);
    if (!(hz > 0.000001f)) return detail::zeroValue<T>();
    const float vDotH = v.x * hx + v.y * hy + v.z * hz;
    const float lDotH = l.x * hx + l.y * hy + l.z * hz;
    if (!((-vDotH) * (-v.z) >= 0.000001f)) return detail::zeroValue<T>();
    if (!(lDotH * l.z >= 0.000001f)) return detail::zeroValue<T>();

    const FlakeParams& p = *q.params;
    T value;
    if (q.enabled == 0) {
        const float d = beckmannD(hz, p.roughness);
        pdf = d * hz / lDotH;
        value = detail::smoothValue<T>(p, d);
    } else {
        value = evalDiscrete(q, lDotH, hz, pdf);
    }
    return value * smithG(-v.z, l.z, p.roughness) / std::fabs(v.z);
}

}  // namespace glitter
