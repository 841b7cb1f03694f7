// The production renderer's host shade context: what the renderer hands a material's host-side
// Shade. Its class id tells the material that the context carries the renderer's shading
// interface, so the material can give the hit back to the renderer's own shading.
#pragma once

#include "platform/host/shade_context.h"
#include "platform/renderer/kuvo_interface.h"

namespace KuvoUtils {

class KuvoShadeContext : public host::ShadeContext {
public:
    /// Class id of the renderer's host shade contexts.
    static constexpr host::Class_ID kClassID{0x777f469e, 0x4b0675f2};

    /// A context for the hit `shading` is shading now; `shading` outlives the context.
    explicit KuvoShadeContext(KuvoInterface& shading);
    ~KuvoShadeContext() override;

    KuvoInterface& kuvoInterface() const { return *shading_; }

    /// The context's renderer shading interface when `sc` is one of the renderer's contexts
    /// (its class id and its type both say so), otherwise null. A context of another type that
    /// merely reports the renderer's class id carries no interface.
    static KuvoInterface* interfaceOf(host::ShadeContext& sc);

private:
    KuvoInterface* shading_;
};

}  // namespace KuvoUtils
