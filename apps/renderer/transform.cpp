#include "apps/renderer/transform.h"

#include <cmath>

namespace glitter::renderer {

Transform::Transform() : m{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, t{} {}

Transform::Transform(const std::array<std::array<double, 3>, 3>& linear,
                     const DVector& translation)
    : m(linear), t(translation) {}

Transform Transform::translate(const DVector& offset) {
    return Transform({{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, offset);
}

Transform Transform::scale(double factor) {
    return Transform({{{factor, 0, 0}, {0, factor, 0}, {0, 0, factor}}}, {});
}

Transform Transform::fromFrame(const DVector& origin, const DVector& xAxis, const DVector& yAxis,
                               const DVector& zAxis) {
    return Transform({{{xAxis.x, yAxis.x, zAxis.x},
                       {xAxis.y, yAxis.y, zAxis.y},
                       {xAxis.z, yAxis.z, zAxis.z}}},
                     origin);
}

DVector Transform::applyToPoint(const DVector& p) const { return applyToVector(p) + t; }

DVector Transform::applyToVector(const DVector& v) const {
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
            m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

Transform Transform::inverse() const {
    const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    const double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    const double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    const double det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    if (!(std::fabs(det) > 0.0) || !std::isfinite(det)) {
        return Transform({{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}, {});
    }
    const double s = 1.0 / det;
    std::array<std::array<double, 3>, 3> inv{};
    inv[0][0] = c00 * s;
    inv[1][0] = c01 * s;
    inv[2][0] = c02 * s;
    inv[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * s;
    inv[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * s;
    inv[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * s;
    inv[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * s;
    inv[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * s;
    inv[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * s;
    Transform result(inv, {});
    const DVector negT = result.applyToVector(t);
    result.t = {-negT.x, -negT.y, -negT.z};
    return result;
}

Transform Transform::operator*(const Transform& first) const {
    std::array<std::array<double, 3>, 3> product{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            product[r][c] = m[r][0] * first.m[0][c] + m[r][1] * first.m[1][c] +
                            m[r][2] * first.m[2][c];
        }
    }
    return Transform(product, applyToPoint(first.t));
}

}  // namespace glitter::renderer
