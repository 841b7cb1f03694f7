// Small vector helpers the renderer needs beyond the renderer layer's own: double-precision
// position arithmetic and an orthonormal basis around a direction.
#pragma once

#include <algorithm>
#include <cmath>

#include "platform/renderer/color.h"
#include "platform/renderer/vector.h"

namespace glitter::renderer {

using KuvoUtils::Color;
using KuvoUtils::DVector;
using KuvoUtils::Vector;

inline constexpr double kPi = 3.14159265358979323846;

constexpr DVector operator+(const DVector& a, const DVector& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
constexpr DVector operator-(const DVector& a, const DVector& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
constexpr DVector operator*(const DVector& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
constexpr DVector operator*(double s, const DVector& a) { return {a.x * s, a.y * s, a.z * s}; }
constexpr double dot(const DVector& a, const DVector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr DVector cross(const DVector& a, const DVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const DVector& a) { return std::sqrt(dot(a, a)); }
inline DVector normalize(const DVector& a) {
    const double len = length(a);
    return len > 0.0 ? a * (1.0 / len) : a;
}
constexpr DVector toDouble(const Vector& v) { return DVector(v); }
constexpr double maxAbsComponent(const DVector& a) {
    return std::max({a.x < 0 ? -a.x : a.x, a.y < 0 ? -a.y : a.y, a.z < 0 ? -a.z : a.z});
}

inline bool isFinite(const Color& c) {
    return std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b);
}

/// Two unit vectors that complete `n` (unit) to a right-handed orthonormal basis.
inline void orthonormalBasis(const DVector& n, DVector& t, DVector& b) {
    // Duff et al.'s branchless construction; stable for every unit n.
    const double sign = std::copysign(1.0, n.z);
    const double a = -1.0 / (sign + n.z);
    const double c = n.x * n.y * a;
    t = {1.0 + sign * n.x * n.x * a, sign * c, -sign * n.x};
    b = {c, sign + n.y * n.y * a, -n.y};
}

}  // namespace glitter::renderer
