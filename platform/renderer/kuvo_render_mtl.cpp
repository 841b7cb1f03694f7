#include "platform/renderer/kuvo_render_mtl.h"

namespace KuvoUtils {

void KuvoRenderMtl::shade(KuvoInterface& shading, int gbufferId) {
    shading.shadeMaterial(*this, gbufferId);
}

}  // namespace KuvoUtils
