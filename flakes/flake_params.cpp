#include "flakes/flake_params.h"

#include <cmath>

namespace glitter {

void FlakeParams::init(int32_t numFlakes_, float roughness_, float blurAngle,
                       int32_t textureSubdivs_, int32_t randomSaturation_, float saturation_,
                       int32_t randomLightness_, float lightness_, float blendMin_,
                       float blendMax_) {
    numFlakes = numFlakes_;
    cosBlurAngle = std::cos(blurAngle);
    roughness = roughness_;
    textureSubdivs = textureSubdivs_;
    randomSaturation = randomSaturation_;
    saturation = saturation_;
    randomLightness = randomLightness_;
    lightness = lightness_;
    blendMin = blendMin_;
    blendMax = blendMax_;
}

float FlakeParams::roughnessFromGlossiness(float glossiness) {
    float r = 1.0f - glossiness;
    // Written as the negated comparisons so that NaN lands on the smallest roughness.
    if (!(r > 0.001f)) {
        r = 0.001f;
    } else if (!(r < 1.0f)) {
        r = 1.0f;
    }
    return r;
}

float FlakeParams::blurAngleRadians(float degrees) { return degrees * 3.1415927f * 0.0055555557f; }

}  // namespace glitter
