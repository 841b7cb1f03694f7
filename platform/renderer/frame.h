// A local shading frame: tangent, bitangent and normal (the local z axis), in world space.
#pragma once

#include <type_traits>

#include "platform/renderer/vector.h"

namespace KuvoUtils {

struct Frame {
    Vector tangent;
    Vector bitangent;
    Vector normal;
};

static_assert(std::is_trivially_copyable_v<Frame> && sizeof(Frame) == 36);

}  // namespace KuvoUtils
