#include "apps/renderer/environment.h"

#include <algorithm>
#include <cmath>

namespace glitter::renderer {

Environment Environment::uniform(const Color& radiance) {
    return sky(radiance, radiance, radiance);
}

Environment Environment::sky(const Color& zenith, const Color& horizon, const Color& ground) {
    Environment env;
    env.zenith = zenith;
    env.horizon = horizon;
    env.ground = ground;
    env.constant = zenith == horizon && horizon == ground;
    return env;
}

Color Environment::radiance(const Vector& direction) const {
    if (constant) {
        return zenith;  // exactly, for furnace tests
    }
    const float y = std::clamp(direction.y, -1.0f, 1.0f);
    if (y >= 0.0f) {
        const float t = std::sqrt(y);
        return horizon * (1.0f - t) + zenith * t;
    }
    const float t = std::min(1.0f, -y * 4.0f);
    return horizon * (1.0f - t) + ground * t;
}

}  // namespace glitter::renderer
