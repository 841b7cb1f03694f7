// An affine transform in double precision (3 x 4 matrix), used to place objects and to map
// world points and directions into an object's own space.
#pragma once

#include <array>

#include "apps/renderer/render_math.h"

namespace glitter::renderer {

class Transform {
  public:
    /// The identity.
    Transform();
    /// Rows of the linear part and the translation: p' = M p + t.
    Transform(const std::array<std::array<double, 3>, 3>& linear, const DVector& translation);

    static Transform translate(const DVector& offset);
    static Transform scale(double factor);
    /// Maps local (x, y, z) to origin + x * xAxis + y * yAxis + z * zAxis.
    static Transform fromFrame(const DVector& origin, const DVector& xAxis, const DVector& yAxis,
                               const DVector& zAxis);

    DVector applyToPoint(const DVector& p) const;
    DVector applyToVector(const DVector& v) const;
    /// The inverse; a singular transform gives the identity's shape with zeros (never NaN).
    Transform inverse() const;
    /// The transform that applies `first`, then this one.
    Transform operator*(const Transform& first) const;

  private:
    std::array<std::array<double, 3>, 3> m;
    DVector t;
};

}  // namespace glitter::renderer
