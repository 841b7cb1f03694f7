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
    const float a = 1.0f / ((std::sqrt(1.0f - cosine * cosine) / cosine) * alpha);
    if (a >= 1.6f) return 1.0f;
    return ((2.181f * a + 3.535f) * a) / ((2.577f * a + 2.276f) * a + 1.0f);
}

}  // namespace

float smithG(float cosO, float cosI, float alpha) {
    return smithG1(cosO, alpha) * smithG1(cosI, alpha);
}

}  // namespace glitter
