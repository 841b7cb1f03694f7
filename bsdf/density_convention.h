#pragma once
// The renderer exchanges every probability density as 2*pi times the density per unit solid
// angle, so that a uniform hemisphere has density 1. The BSDF's formulas have the factor built
// in (the Beckmann term's 0.5 instead of 1/pi, the cone density 1/(1 - cos)); these helpers are
// for code that meets densities from elsewhere, such as the renderer's lights and the tests.

namespace glitter {

inline constexpr double kRendererDensityScale = 6.283185307179586;  // 2 pi

constexpr double toRendererDensity(double perSolidAngle) {
    return perSolidAngle * kRendererDensityScale;
}
constexpr double toSolidAngleDensity(double rendererDensity) {
    return rendererDensity / kRendererDensityScale;
}

}  // namespace glitter
