// The renderer's BSDF base class: the renderer holds a surface's BSDF by this base and reaches
// the BRDF of a side through getBRDF. Slot order is part of the interface.
#pragma once

#include "platform/renderer/color.h"
#include "platform/renderer/kuvo_context.h"

namespace KuvoUtils {

class BRDFSampler;
class KuvoVolume;

/// No virtual destructor (it would add slots): BSDFs are destroyed through their own type.
class BSDFSampler {
  public:
    BSDFSampler() = default;
    BSDFSampler(const BSDFSampler&) = default;
    BSDFSampler& operator=(const BSDFSampler&) = default;

    /// Slot 0: the BRDF for surface side `side`, or null when that side reflects nothing.
    virtual BRDFSampler* getBRDF(int side) = 0;
    /// Slot 1. Default: nothing.
    virtual void traceBSDFForward(KuvoContext& context, int flags);
    /// Slot 2. Default: black (opaque).
    virtual Color getBSDFTransparency(const KuvoContext& context);
    /// Slot 3. Default: null (no volume behind the surface).
    virtual KuvoVolume* getVolume(const KuvoContext& context);

  protected:
    ~BSDFSampler() = default;
};

}  // namespace KuvoUtils
