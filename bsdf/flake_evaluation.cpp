#include "bsdf/flake_evaluation.h"

namespace glitter {

float beckmannD(float cosH, float alpha) {
    if (!(cosH >= 0.000001f)) return 0.0f;
    const float q = cosH * cosH;
    const float a2 = alpha * alpha;
    return std::exp(-(1.0f / q - 1.0f) / a2) * 0.5f / (q * q * a2);
}

namespace {

float smithG1(float cosine, float alpha) {
    // A float-normalised direction along the normal can have a cosine a step above 1; its sine
    // is 0, not the square root of a negative number.
    const float sin2 = 1.0f - cosine * cosine;
    const float a = 1.0f / ((std::sqrt(sin2 > 0.0f ? sin2 : 0.0f) / cosine) * alpha);
    if (a >= 1.6f) return 1.0f;
    return ((2.181f * a + 3.535f) * a) / ((2.577f * a + 2.276f) * a + 1.0f);
}

}  // namespace

float smithG(float cosO, float cosI, float alpha) {
    return smithG1(cosO, alpha) * smithG1(cosI, alpha);
}

float powerHeuristic(float f, float g) {
    const float f2 = f * f;
    const float sum = f2 + g * g;
    if (std::isfinite(sum)) return f2 / sum;
    // A density too large to square (a point light's, say): the same weight from the ratio of
    // the two, which is 1 for an infinite f and 0 for an infinite g.
    if (f >= g) {
        const float r = g / f;
        return 1.0f / (1.0f + r * r);
    }
    const float r = f / g;
    return r * r / (1.0f + r * r);
}

}  // namespace glitter
