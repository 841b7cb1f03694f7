// What the renderer tells a material about the render it is preparing.
#pragma once

#include <cstdint>

namespace KuvoUtils {

class RenderLog;

struct RendererInfo {
    std::int32_t threadCount = 1;  ///< render threads; every threadIndex is below it
    RenderLog* log = nullptr;      ///< the renderer's log; may be null
};

}  // namespace KuvoUtils
