// The renderer's own BSDF for its built-in materials: a Lambertian lobe or a Beckmann
// microfacet lobe with Smith shadowing, speaking the same conventions as any plug-in BSDF
// (densities 2*pi per steradian, evalLight's 0.5 and power-heuristic weight).
#pragma once

#include "platform/renderer/brdf_sampler.h"
#include "platform/renderer/bsdf_sampler.h"

namespace glitter::renderer {

using KuvoUtils::Color;
using KuvoUtils::KuvoContext;
using KuvoUtils::Vector;

enum class BuiltinLobe { diffuse, glossy };

struct BuiltinMaterialParams {
    BuiltinLobe lobe = BuiltinLobe::diffuse;
    Color reflectance{0.5f};  ///< the colour filter of everything reflected
    float roughness = 0.2f;   ///< Beckmann alpha of the glossy lobe
    int subdivs = 1;          ///< subdivs^2 reflection samples per shading point
};

class BuiltinBSDF final : public KuvoUtils::BRDFSampler, public KuvoUtils::BSDFSampler {
  public:
    /// Sets the BSDF up for the hit of `context`; bit 0 of `requestFlags` clear asks for the
    /// hit side's BRDF only.
    void setup(const BuiltinMaterialParams& params, const KuvoContext& context, int requestFlags);

    Color getDiffuseColor(const KuvoContext& context) override;
    Color filterColor(const Color& k) override;
    Color evalLight(const KuvoContext& context, const Vector& lightDir, const Color& lightColor,
                    int lightIndex, float lightPdf, int evalFlags) override;
    int isOpaque() override;
    int getNumSamples(const KuvoContext& context) override;
    KuvoContext* spawnSampleContext(KuvoContext& context, int sampleIndex, int mode) override;
    float sampleDirection(const KuvoContext& context, KuvoContext& child, float u0) override;
    const KuvoUtils::RenderChannelsInfo* getRenderChannels() override;
    void makeFrame(const KuvoContext& context, const Vector& normal,
                   KuvoUtils::Frame& frame) override;

    KuvoUtils::BRDFSampler* getBRDF(int side) override;

    /// The lobe's value for local light direction `light` (2*pi f cos, without the filter)
    /// and the density of sampling it.
    float evaluate(const Vector& light, float& pdf) const;

  private:
    Vector toLocal(const Vector& world) const;
    Vector toWorld(const Vector& local) const;

    BuiltinMaterialParams params;
    KuvoUtils::Frame frame;
    Vector viewDir;  ///< incoming ray in local coordinates, pointing at the surface
    Vector shadingNormal;
    Vector geometricNormal;
    int numSamples = 0;
    int sideMode = 0;
    int backside = 0;
    bool inactive = true;
};

}  // namespace glitter::renderer
