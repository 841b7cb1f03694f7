#include "platform/renderer/kuvo_interface.h"

namespace KuvoUtils {

void KuvoInterface::shadeMaterial(KuvoRenderMtl& /*material*/, int /*gbufferId*/) {}

}  // namespace KuvoUtils
