#include "bsdf/flake_sampling.h"

namespace glitter {

using KuvoUtils::Vector;

Vector sampleBeckmann(float u, float v, float alpha) {
    const float theta = std::atan(std::sqrt(-std::log(1.0f - u) * (alpha * alpha)));
    const float phi = 6.2831855f * v;
    const float sinTheta = std::sin(theta);
    return {std::cos(phi) * sinTheta, std::sin(phi) * sinTheta, std::cos(theta)};
}

void reflectDifferentials(const Vector& dIn, const Vector& dOut, const Vector& dDdx,
                          const Vector& dDdy, Vector& reflectedDdx, Vector& reflectedDdy) {
    float hx = dOut.x - dIn.x, hy = dOut.y - dIn.y, hz = dOut.z - dIn.z;
    detail::normalizeUnlessDegenerate(hx, hy, hz);
    const Vector h{hx, hy, hz};
    reflectedDdx = dDdx - h * (2.0f * dot(dDdx, h));
    reflectedDdy = dDdy - h * (2.0f * dot(dDdy, h));
}

Vector frameTangent(const Vector& n) {
    const float xz = n.x * n.x + n.z * n.z;
    const float xy = n.x * n.x + n.y * n.y;
    if (xz > xy) {
        const float len = std::sqrt(xz);
        return {-n.z / len, 0.0f / len, n.x / len};
    }
    const float len = std::sqrt(xy);
    return {n.y / len, -n.x / len, 0.0f / len};
}

}  // namespace glitter
