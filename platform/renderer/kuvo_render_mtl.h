// The renderer's material interface: how the renderer drives a material through a render. It has
// no data members, and its slot order is part of the interface.
#pragma once

#include <cstdint>

#include "platform/renderer/bsdf_sampler.h"
#include "platform/renderer/kuvo_context.h"
#include "platform/renderer/kuvo_interface.h"
#include "platform/renderer/renderer_instance.h"

namespace KuvoUtils {

/// Call order: prepareRender, then any number of attachLog ... detachLog spans and
/// acquireBSDF / releaseBSDF pairs (from all render threads at once), then finishRender.
/// prepareRender, finishRender, attachLog and detachLog run while no thread shades.
/// No virtual destructor (it would add slots): the host deletes materials through its own base.
class KuvoRenderMtl {
  public:
    /// The id under which a host object hands out this interface.
    static constexpr int kInterfaceId = 0x13072005;

    KuvoRenderMtl() = default;
    KuvoRenderMtl(const KuvoRenderMtl&) = default;
    KuvoRenderMtl& operator=(const KuvoRenderMtl&) = default;

    /// Slot 0: a render starts; `time` is the host time of the frame.
    virtual void prepareRender(int time, RendererInstance* renderer) = 0;
    /// Slot 1: the render is over; every acquired BSDF has been released.
    virtual void finishRender() = 0;
    /// Slot 2: the renderer lends its log (renderer->info->log, possibly null).
    virtual void attachLog(int time, RendererInstance* renderer) = 0;
    /// Slot 3: the log is withdrawn.
    virtual void detachLog() = 0;
    /// Slot 4: a set-up BSDF for the hit of `context`, or null. Bit 0 of `flags` clear asks
    /// for the BRDF of the hit side only.
    virtual BSDFSampler* acquireBSDF(KuvoContext& context, int flags) = 0;
    /// Slot 5: gives back a BSDF from acquireBSDF, through a context of the same render thread.
    /// Null is ignored.
    virtual void releaseBSDF(const KuvoContext& context, BSDFSampler* bsdf) = 0;
    /// Slot 6: an integer the renderer asks the material to keep for it.
    virtual void recordInteger(std::int32_t value) = 0;
    /// Slot 7: reserved; materials answer 0.
    virtual int reservedQuery(int query, void* data) = 0;
    /// Slot 8: the renderer's own shading of a hit handed over by the host's Shade. Not for
    /// materials to override. Forwards to `shading.shadeMaterial(*this, gbufferId)`.
    virtual void shade(KuvoInterface& shading, int gbufferId);

  protected:
    ~KuvoRenderMtl() = default;
};

}  // namespace KuvoUtils
