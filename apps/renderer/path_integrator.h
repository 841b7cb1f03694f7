// The light transport: a path tracer that shades every hit through the material's BSDF,
// combining light samples (evalLight) and BSDF samples (spawnSampleContext +
// sampleDirection) with the power heuristic that the BSDF applies to its side.
#pragma once

#include <cstdint>

#include "apps/renderer/camera.h"
#include "apps/renderer/render_context.h"
#include "apps/renderer/scene.h"

namespace glitter::renderer {

/// Which estimators reach the lights. `mis` is the renderer's; the other two exist to check
/// that each estimator alone measures the same light.
enum class LightStrategy { mis, lightOnly, bsdfOnly };

/// Biased controls of the noise in light that reaches the first hit by way of other surfaces
/// (0 turns each off). Light at the camera ray's first hit, from the lights and the sky, is
/// never changed.
struct IndirectNoiseControls {
    /// The largest colour component a reflection sample of the first hit may bring back from
    /// another surface; brighter samples are scaled down to it, keeping their hue.
    float clamp = 0.0f;
    /// After a diffuse bounce, every light is seen as a sphere of at least this angular radius
    /// (degrees) about its centre, of the same power: a glossy lobe reflecting it then shows
    /// the lobe widened by that much, as a rougher lobe would, and its caustic on a diffuse
    /// surface is found far more often at a far lower brightness.
    float lightSpreadDegrees = 0.0f;
};

class PathIntegrator {
  public:
    /// Sampler dimensions of a primary ray (the position inside the pixel).
    static constexpr std::uint32_t kCameraDimensions = 2;
    /// Sampler dimensions of one hit: light choice, (unused), light point u and v, then the
    /// reflection child's four (u0 .. u3), so that each pair is one 2-D sequence.
    static constexpr std::uint32_t kDimensionsPerBounce = 8;
    /// More reflection samples than this at one hit are not taken (a bound on time).
    static constexpr int kMaxSamplesPerHit = 1024;
    /// evalLight's flag bit that asks for direct light.
    static constexpr int kEvalLightFlags = 2;

    PathIntegrator(const Scene& scene, LightStrategy strategy,
                   const IndirectNoiseControls& indirect = {});

    /// One sample of pixel (x, y): a primary ray at the sample's position in the pixel, with
    /// its differentials, traced to the radiance it brings back. `root` is the thread's
    /// reusable context; its thread data and options are set by the caller's reset.
    Color samplePixel(const Camera& camera, int x, int y, std::uint32_t pixelSeed,
                      std::uint32_t sampleIndex, const KuvoUtils::RenderThreadData* thread,
                      const KuvoUtils::RenderOptions* options, RenderContext& root) const;

    /// The radiance arriving along `ray` (origin, trace direction, distance range).
    Color radiance(RenderContext& ray) const;

    /// The first sampler dimension of the hit at ray depth `depth`.
    static std::uint32_t dimensionBase(int depth);
    /// Offset from a surface point so that a ray leaving it towards `dir` does not hit it.
    static DVector offsetOrigin(const DVector& point, const Vector& normal, const Vector& dir);

  private:
    Color shade(RenderContext& ray, KuvoUtils::KuvoRenderMtl& material) const;
    Color sampleLight(RenderContext& ray, KuvoUtils::BRDFSampler& brdf,
                      std::uint32_t index) const;
    Color emitted(const RenderContext& ray, const SphereLight& light) const;
    /// Light `index` as the hit of `context` sees it (widened after a diffuse bounce).
    SphereLight lightSeenFrom(const RenderContext& context, std::size_t index) const;
    bool widensLights(const RenderContext& context) const;

    const Scene& scene;
    LightStrategy strategy;
    IndirectNoiseControls indirect;
    double sinLightSpread = 0.0;
};

}  // namespace glitter::renderer
