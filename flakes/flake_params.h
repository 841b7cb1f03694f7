#pragma once
// The render-time snapshot of a material's flake settings. Filled once at render start and read
// without locks by every BSDF of that material while the render runs.

#include <cstdint>

namespace glitter {

struct FlakeParams {
    int32_t numFlakes;        // flakes per unit cell of flake space
    float cosBlurAngle;       // cosine of the blur cone's half angle
    float roughness;          // Beckmann alpha of the flake normals, in [0.001, 1]
    int32_t textureSubdivs;   // depth of the cell quadtree
    int32_t randomSaturation;
    float saturation;
    int32_t randomLightness;
    float lightness;
    float blendMin;           // expected flakes per footprint where the smooth blend starts
    float blendMax;           // expected flakes per footprint above which only the smooth lobe

    // The blur angle is handed over in radians; its cosine is taken here in single precision.
    void init(int32_t numFlakes, float roughness, float blurAngle, int32_t textureSubdivs,
              int32_t randomSaturation, float saturation, int32_t randomLightness,
              float lightness, float blendMin, float blendMax);

    // Beckmann alpha from the glossiness parameter: 1 - g, kept in [0.001, 1]; NaN -> 0.001.
    static float roughnessFromGlossiness(float glossiness);
    // Degrees to radians exactly as the render-start conversion does it (single precision).
    static float blurAngleRadians(float degrees);
};

}  // namespace glitter
