#pragma once
// What the BSDF set-up reads from its material at a shading point. The material hands these
// out by pointer; nothing here is owned.

#include <atomic>
#include <cstdint>

#include "bsdf/cached_parameter_values.h"
#include "flakes/flake_params.h"
#include "platform/renderer/render_log.h"

namespace glitter {

struct FlakeMaterialView {
    const CachedParameterValues* values;
    const FlakeParams* flakeParams;
    KuvoUtils::RenderLog* renderLog;  // null outside attachLog ... detachLog
    // The one value several render threads write: the flake-scale warning's one-shot flag.
    std::atomic<int32_t>* scaleWarningShown;
    const char16_t* name;  // the material's name, or null when unavailable
};

}  // namespace glitter
