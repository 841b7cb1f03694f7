// The renderer's BRDF base class. The renderer calls a BRDF only through these virtual slots,
// so their order is part of the interface and must not change.
#pragma once

#include "platform/renderer/color.h"
#include "platform/renderer/frame.h"
#include "platform/renderer/kuvo_context.h"
#include "platform/renderer/vector.h"

namespace KuvoUtils {

class RenderChannelsInfo;

/// Slots a BRDF must provide are pure virtual; the others have the renderer's defaults.
/// Directions are world-space unit vectors; densities use the renderer's convention of 2*pi
/// times the density per unit solid angle (a uniform hemisphere has density 1).
/// No virtual destructor (it would add slots): BRDFs are destroyed through their own type.
class BRDFSampler {
  public:
    BRDFSampler() = default;
    BRDFSampler(const BRDFSampler&) = default;
    BRDFSampler& operator=(const BRDFSampler&) = default;

    /// Slot 0: the part of the reflection the renderer may shade as plain diffuse.
    virtual Color getDiffuseColor(const KuvoContext& context) = 0;
    /// Slot 1. Default: the context's shading normal.
    virtual Vector getDiffuseNormal(const KuvoContext& context);
    /// Slot 2: `k` through the BRDF's colour filter.
    virtual Color filterColor(const Color& k) = 0;
    /// Slot 3: light reflected towards the viewer from one light sample. `lightIndex` is the
    /// renderer's own tag for the light; BRDFs may ignore it.
    virtual Color evalLight(const KuvoContext& context, const Vector& lightDir,
                            const Color& lightColor, int lightIndex, float lightPdf,
                            int evalFlags) = 0;
    /// Slot 4. Default: nothing.
    virtual void multiplyLight(float mult);
    /// Slot 5. Default: nothing.
    virtual void lightFinished(int lightCount);
    /// Slot 6: nonzero when nothing passes through the surface.
    virtual int isOpaque() = 0;
    /// Slot 7. Default: nothing.
    virtual void traceForward(KuvoContext& context, int flags);
    /// Slot 8: how many reflection samples the BRDF wants at this context.
    virtual int getNumSamples(const KuvoContext& context) = 0;
    /// Slot 9. Default: black (opaque).
    virtual Color getTransparency(const KuvoContext& context);
    /// Slot 10. Default: black.
    virtual Color getColor(const KuvoContext& context, const Color& lightColor);
    /// Slot 11. Default: white minus getTransparency.
    virtual Color getAlpha(const KuvoContext& context, const Color& lightColor);
    /// Slot 12: a child context for one reflection sample, or null. `sampleIndex` is the
    /// renderer's sample number; BRDFs may ignore it.
    virtual KuvoContext* spawnSampleContext(KuvoContext& context, int sampleIndex, int mode) = 0;
    /// Slot 13: draws a direction into `child` (direction, density, weight, differentials);
    /// `u0` is the first random number. Returns the sample's multiplier.
    virtual float sampleDirection(const KuvoContext& context, KuvoContext& child, float u0) = 0;
    /// Slot 14: the render channels the BRDF's samples contribute to (renderer-owned).
    virtual const RenderChannelsInfo* getRenderChannels() = 0;
    /// Slot 15. Default: 0.
    virtual int getNumSubBRDFs();
    /// Slot 16. Default: null, with `weight` black.
    virtual BRDFSampler* getSubBRDF(int index, Color& weight);
    /// Slot 17. Default: black.
    virtual Color getSelfIllumination(const KuvoContext& context);
    /// Slot 18: densities of `direction`. Default: both 0.
    virtual void evalPdfs(const Vector& direction, float& pdf, float& reversePdf, int flags);
    /// Slot 19. Default: this BRDF itself, with probability 1, weight white and `u` unchanged.
    virtual BRDFSampler* chooseRandomSubBRDF(float& u, float& probability, Color& weight,
                                             int flags);
    /// Slot 20: the local frame whose z axis is `normal`.
    virtual void makeFrame(const KuvoContext& context, const Vector& normal, Frame& frame) = 0;

    /// Sample number `dimension` of `context`'s deterministic sequence, always in [0, 1).
    float getDMCParam(KuvoContext& context, int dimension) const;

  protected:
    ~BRDFSampler() = default;
};

}  // namespace KuvoUtils
