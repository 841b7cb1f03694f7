// The renderer's shading context: a KuvoContext that knows its pixel's sample stream, carries
// ray differentials from the camera through every reflection, and answers the surface queries
// (map channel 1, object transform, the host shading context for maps) for the hit it holds.
#pragma once

#include <cstdint>
#include <memory>

#include "apps/renderer/object_transform.h"
#include "apps/renderer/render_shade_context.h"
#include "apps/renderer/surface_hit.h"
#include "platform/renderer/kuvo_context.h"

namespace glitter::renderer {

class RenderContext final : public KuvoUtils::KuvoContext {
  public:
    /// The only channel the renderer's surfaces carry.
    static constexpr int kMapChannel = 1;

    RenderContext() = default;
    RenderContext(const RenderContext&) = delete;
    RenderContext& operator=(const RenderContext&) = delete;

    /// Resets everything but the child storage, for a new primary ray.
    void resetForPrimary(const KuvoUtils::RenderThreadData* thread,
                         const KuvoUtils::RenderOptions* renderOptions);

    /// Takes the hit: position, normals, back-side flag, map channel 1, the object transform,
    /// dPdx / dPdy from this ray's differentials, and the host shading context that reads
    /// them. `rayDir` must already be set.
    void setHit(const SurfaceHit& hit, const ObjectTransform& transform);

    KuvoUtils::Vector getUVWCoords(int channel) const override;
    KuvoUtils::UVWBasis getUVWBasis(int channel) const override;
    KuvoUtils::ContextInterface* queryInterface(int id) const override;
    /// The child for one reflection sample. Each context owns one child, reused for every
    /// sample it spawns: the renderer traces a child before it spawns the next one.
    KuvoUtils::KuvoContext* newChildContext(int kind, const KuvoUtils::Color& filter, int flags,
                                            const KuvoUtils::Vector& normal) override;
    /// Dimension `dimension` (from `dimensionOffset`) of the pixel's sample stream at this
    /// context's `sampleIndex`.
    float sampleValue(int dimension) override;

    /// The child last returned by newChildContext, if `context` is it.
    RenderContext* ownChild(KuvoUtils::KuvoContext* context) const;

    /// The host time at which host maps are evaluated, for this context and its children.
    /// Kept by resetForPrimary.
    void setHostTime(host::TimeValue t);
    /// Where this context and its children count the hits they shade (null: nowhere). Kept by
    /// resetForPrimary.
    void countShadingPointsIn(std::uint64_t* counter) { shadingPointCounter = counter; }
    void countShadingPoint() const {
        if (shadingPointCounter != nullptr) {
            ++*shadingPointCounter;
        }
    }

    std::uint32_t pixelSeed = 0;
    std::uint32_t dimensionOffset = 0;  ///< first sampler dimension this context reads
    Vector originDx;                    ///< change of the ray origin per pixel step in x
    Vector originDy;                    ///< ... and in y

    // Set by the integrator before it spawns children, copied into each child.
    std::uint32_t childSampleIndex = 0;
    std::uint32_t childDimensionOffset = 0;
    bool lightsSampled = false;  ///< this context's BSDF was also sampled through the lights
    bool parentSampledLights = false;
    /// The path bounced off a diffuse surface before it reached this context's hit.
    bool afterDiffuse = false;

    Vector uvw;
    KuvoUtils::UVWBasis uvwBasis;
    bool hasHit = false;

  private:
    ObjectTransform objectTransform;
    RenderShadeContext shadeContext{*this};
    host::TimeValue hostTime = 0;
    std::uint64_t* shadingPointCounter = nullptr;
    std::unique_ptr<RenderContext> child;
};

}  // namespace glitter::renderer
