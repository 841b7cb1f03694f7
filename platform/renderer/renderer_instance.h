// The running renderer as materials see it: a handle to its RendererInfo.
#pragma once

#include "platform/renderer/renderer_info.h"

namespace KuvoUtils {

struct RendererInstance {
    RendererInfo* info = nullptr;  ///< owned by the renderer; never null in a real render
};

}  // namespace KuvoUtils
