#include "flakes/leaf_flakes.h"

namespace glitter {

namespace {

float hueChannel(float p, float q, float t) {
    if (t < 0.0f) t += 1.0f;
    if (t > 1.0f) t -= 1.0f;
    if (t < 0.16666667f) return (q - p) * 6.0f * t + p;
    if (t < 0.5f) return q;
    if (t < 0.6666667f) return (q - p) * 6.0f * (0.6666667f - t) + p;
    return p;
}

}  // namespace

FlakeRgb flakeColor(float hue, float saturation, float lightness) {
    const float q = lightness < 0.5f ? (1.0f + saturation) * lightness
                                     : (lightness + saturation) - lightness * saturation;
    const float p = 2.0f * lightness - q;
    return {hueChannel(p, q, hue + 0.33333334f), hueChannel(p, q, hue),
            hueChannel(p, q, hue - 0.33333334f)};
}

}  // namespace glitter
