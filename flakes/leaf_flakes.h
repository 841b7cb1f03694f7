#pragma once
// The flakes of one quadtree leaf, drawn in order from a generator seeded with the leaf's seed:
// per flake two uniforms a and b for its normal, then for coloured flakes a hue and optionally
// a random saturation and lightness. A flake depends only on the leaf seed and its index.

#include <cstdint>

#include "flakes/flake_params.h"
#include "flakes/flake_random.h"

namespace glitter {

struct FlakeRgb {
    float r, g, b;
};

// HSL to RGB as the coloured flakes use it (hue, saturation and lightness in [0, 1]).
FlakeRgb flakeColor(float hue, float saturation, float lightness);

class LeafFlakes {
public:
    explicit LeafFlakes(uint32_t leafSeed) : random(leafSeed) {}

    // Plain flakes: only the two normal uniforms.
    void next(float& a, float& b) {
        a = random.nextUniform();
        b = random.nextUniform();
    }

    // Coloured flakes: the normal uniforms, then hue, [saturation], [lightness].
    void next(const FlakeParams& params, float& a, float& b, FlakeRgb& color) {
        a = random.nextUniform();
        b = random.nextUniform();
        const float hue = (random.nextUniform() * 360.0f) * 0.0027777778f;
        const float saturation = params.randomSaturation ? random.nextUniform() : params.saturation;
        const float lightness = params.randomLightness ? random.nextUniform() : params.lightness;
        color = flakeColor(hue, saturation, lightness);
    }

private:
    FlakeRandom random;
};

}  // namespace glitter
