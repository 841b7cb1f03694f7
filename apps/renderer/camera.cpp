#include "apps/renderer/camera.h"

#include <cmath>

namespace glitter::renderer {

namespace {

Vector toFloat(const DVector& v) { return v.toVector(); }

}  // namespace

Camera::Camera(const DVector& position, const DVector& target, const DVector& upHint,
               double verticalFovDegrees, int width, int height)
    : eye(position), imageWidth(width), imageHeight(height) {
    forward = normalize(target - position);
    right = normalize(cross(forward, upHint));
    up = cross(right, forward);
    pixelSize = 2.0 * std::tan(verticalFovDegrees * kPi / 360.0) / height;
}

CameraRay Camera::generateRay(double x, double y) const {
    // D is the unnormalised direction, linear in (x, y); the differentials of d = D / |D| are
    // (dD |D|^2 - D (D . dD)) / |D|^3.
    const DVector dDx = right * pixelSize;
    const DVector dDy = up * -pixelSize;
    const DVector D = forward + dDx * (x - 0.5 * imageWidth) + dDy * (y - 0.5 * imageHeight);
    const double len2 = dot(D, D);
    const double invLen = 1.0 / std::sqrt(len2);
    const double invLen3 = invLen / len2;
    CameraRay ray;
    ray.origin = eye;
    ray.direction = toFloat(D * invLen);
    ray.dDdx = toFloat((dDx * len2 - D * dot(D, dDx)) * invLen3);
    ray.dDdy = toFloat((dDy * len2 - D * dot(D, dDy)) * invLen3);
    return ray;
}

}  // namespace glitter::renderer
