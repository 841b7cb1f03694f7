#include "platform/renderer_host/kuvo_shade_context.h"

namespace KuvoUtils {

KuvoShadeContext::KuvoShadeContext(KuvoInterface& shading) : shading_(&shading) { SetClassID(kClassID); }

KuvoShadeContext::~KuvoShadeContext() = default;

KuvoInterface* KuvoShadeContext::interfaceOf(host::ShadeContext& sc) {
    if (sc.ClassID() != kClassID) return nullptr;
    // The plug-in and the renderer each hold a copy of this class; dynamic_cast matches the
    // two by type name, so a context made on either side is recognised on the other.
    auto* kuvo = dynamic_cast<KuvoShadeContext*>(&sc);
    return kuvo != nullptr ? kuvo->shading_ : nullptr;
}

}  // namespace KuvoUtils
