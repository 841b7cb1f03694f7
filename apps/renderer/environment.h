// The radiance of rays that leave the scene: a soft sky gradient, or a uniform colour.
#pragma once

#include "apps/renderer/render_math.h"

namespace glitter::renderer {

class Environment {
  public:
    /// Black everywhere.
    Environment() = default;
    static Environment uniform(const Color& radiance);
    /// `zenith` straight up (+y), `horizon` at the horizon, `ground` below it; blended
    /// smoothly so that no edge shows in reflections.
    static Environment sky(const Color& zenith, const Color& horizon, const Color& ground);

    Color radiance(const Vector& direction) const;

  private:
    Color zenith;
    Color horizon;
    Color ground;
    bool constant = true;
};

}  // namespace glitter::renderer
