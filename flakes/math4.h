#pragma once
// Four-wide single-precision logarithm, sine/cosine and arc tangent, and the Beckmann flake
// normal sampler built on them. The flake pattern is defined by these exact approximations:
// a count rounded after them can change by one if another implementation differs in the last
// bit, so every lane performs the same float operations in the same order on either back end.
//
// The templates take the lane type (simd::scalar::Float4 or simd::sse2::Float4); the array
// functions at the end run the build's back end on 16-byte aligned arrays of four floats.

#include <cstdint>
#include <utility>

#include "flakes/simd/float4.h"

namespace glitter {

namespace kernels {

template <class F>
using IntLanes = decltype(asInt(std::declval<F>()));

inline constexpr float kTwoPi = 6.2831855f;

template <class F>
[[gnu::always_inline]] inline F log4(F input) {
    using I = IntLanes<F>;
    const F one(1.0f);
    // NaN compares false here and goes on through max() to the smallest normal instead.
    const auto invalid = input <= F(0.0f);
    const F x = max(input, F(1.1754944e-38f));

    const I bits = asInt(x);
    F e = toFloat(shiftRightLogical<23>(bits) - I(127));
    const F m = asFloat((bits & I(int32_t(0x807FFFFF))) | I(0x3F000000));

    const auto low = m < F(0.70710677f);
    const F f = select(low, (m - one) + m, m - one);
    e = select(low, e, e + one);

    const F z = f * f;
    F y(0.070376836f);
    y = y * f + F(-0.1151461f);
    y = y * f + F(0.116769984f);
    y = y * f + F(-0.12420141f);
    y = y * f + F(0.14249323f);
    y = y * f + F(-0.16668057f);
    y = y * f + F(0.20000714f);
    y = y * f + F(-0.24999994f);
    y = y * f + F(0.3333333f);
    y = (y * f) * z;

    F r = e * F(-0.00021219444f) + y;
    r = r - F(0.5f) * z;
    r = r + f;
    r = r + e * F(0.693359375f);
    // Invalid lanes become NaN with every bit set.
    return asFloat(asInt(r) | asInt(asFloat(invalid)));
}

template <class F>
[[gnu::always_inline]] inline void sincos4(F angle, F& sine, F& cosine) {
    using I = IntLanes<F>;
    const I signMask(int32_t(0x80000000));
    const I signIn = asInt(angle) & signMask;
    F x = asFloat(andNot(signMask, asInt(angle)));

    I j = truncateToInt(x * F(1.2732395f));
    j = andNot(I(1), j + I(1));
    const F y = toFloat(j);

    // Extended-precision reduction by pi/4 in three parts.
    x = ((x + y * F(-0.78515625f)) + y * F(-0.00024187565f)) + y * F(-3.774895e-8f);

    const F z = x * x;
    F sp(-0.00019515296f);
    sp = sp * z + F(0.008332161f);
    sp = sp * z + F(-0.16666655f);
    sp = (sp * z) * x + x;

    F cp(2.4433157e-5f);
    cp = cp * z + F(-0.0013887316f);
    cp = cp * z + F(0.041666646f);
    cp = (cp * z) * z;
    cp = cp - F(0.5f) * z;
    cp = cp + F(1.0f);

    const auto polyOrder = (j & I(2)) == I(0);
    const F s = select(polyOrder, sp, cp);
    const F c = select(polyOrder, cp, sp);

    const I sinSign = signIn ^ shiftLeft<29>(j & I(4));
    const I cosSign = shiftLeft<29>(andNot(j - I(2), I(4)));
    sine = asFloat(asInt(s) ^ sinSign);
    cosine = asFloat(asInt(c) ^ cosSign);
}

template <class F>
[[gnu::always_inline]] inline F atan4(F input) {
    using I = IntLanes<F>;
    const I signMask(int32_t(0x80000000));
    const F x = asFloat(andNot(signMask, asInt(input)));
    const F one(1.0f);

    // Three range cases selected per lane: r = x, (x - 1) / (x + 1) or -1 / x, as one division
    // (x / 1 is exact, so the first case keeps its bits).
    const auto small = x < F(0.41421357f);
    const auto middle = x < F(2.4142137f);
    const F num = select(small, x, select(middle, x - one, F(-1.0f)));
    const F den = select(small, one, select(middle, x + one, x));
    const F r = num / den;
    const F offset = select(small, F(0.0f), select(middle, F(0.7853982f), F(1.5707964f)));

    const F z = r * r;
    F p(-0.00066358107f);
    p = p * z + F(-0.8768423f);
    p = p * z + F(-25.480679f);
    p = p * z + F(-249.77599f);
    p = p * z + F(-1148.1644f);
    p = p * z + F(-2792.2727f);
    p = p * z + F(-3696.2644f);
    p = p * z + F(-2514.8298f);
    p = p * z + F(-688.05975f);

    F q(1.0f);
    q = q * z + F(35.6624f);
    q = q * z + F(430.83484f);
    q = q * z + F(2494.6804f);
    q = q * z + F(7928.5723f);
    q = q * z + F(14585.103f);
    q = q * z + F(15473.943f);
    q = q * z + F(8782.997f);
    q = q * z + F(2064.1794f);

    const F result = (offset + (p / q) * (z * r)) + r;
    return asFloat(asInt(result) | (asInt(input) & signMask));
}

// Beckmann-distributed unit normals in the local frame (z along the surface normal) from two
// uniforms per lane: tan(theta) = sqrt(-alpha^2 ln a), phi = 2 pi b.
template <class F>
void sampleBeckmannNormals4(F a, F b, float alpha, F& x, F& y, F& z) {
    const F t = sqrt(F(-(alpha * alpha)) * log4(a));
    const F theta = atan4(t);
    const F phi = F(kTwoPi) * b;
    F sinPhi, cosPhi, sinTheta, cosTheta;
    sincos4(phi, sinPhi, cosPhi);
    sincos4(theta, sinTheta, cosTheta);
    x = cosPhi * sinTheta;
    y = sinPhi * sinTheta;
    z = cosTheta;
}

}  // namespace kernels

// The build's back end on 16-byte aligned arrays of four floats.
void log4(const float* in, float* out);
void sincos4(const float* angle, float* sine, float* cosine);
void atan4(const float* in, float* out);
void sampleBeckmannNormals4(const float* a, const float* b, float alpha, float* x, float* y,
                            float* z);

}  // namespace glitter
