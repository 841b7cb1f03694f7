// The renderer's three-float vector, and its double-precision companion used for positions.
#pragma once

#include <cmath>
#include <type_traits>

namespace KuvoUtils {

struct Vector {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vector() = default;
    constexpr Vector(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    constexpr float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    constexpr Vector& operator+=(const Vector& b) {
        x += b.x;
        y += b.y;
        z += b.z;
        return *this;
    }
    constexpr Vector& operator-=(const Vector& b) {
        x -= b.x;
        y -= b.y;
        z -= b.z;
        return *this;
    }
    constexpr Vector& operator*=(float s) {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    constexpr Vector& operator/=(float s) {
        x /= s;
        y /= s;
        z /= s;
        return *this;
    }

    friend constexpr bool operator==(const Vector&, const Vector&) = default;
};

static_assert(std::is_trivially_copyable_v<Vector> && sizeof(Vector) == 12);

constexpr Vector operator+(const Vector& a, const Vector& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
constexpr Vector operator-(const Vector& a, const Vector& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
constexpr Vector operator-(const Vector& a) { return {-a.x, -a.y, -a.z}; }
constexpr Vector operator*(const Vector& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
constexpr Vector operator*(float s, const Vector& a) { return {s * a.x, s * a.y, s * a.z}; }
// Division, not multiplication by the reciprocal: callers get the correctly rounded quotient.
constexpr Vector operator/(const Vector& a, float s) { return {a.x / s, a.y / s, a.z / s}; }

// Sums run left to right, (x + y) + z, so that code written against the explicit sum rounds
// the same way as code that calls these helpers.
constexpr float dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr Vector cross(const Vector& a, const Vector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
constexpr float lengthSquared(const Vector& a) { return dot(a, a); }
inline float length(const Vector& a) { return std::sqrt(lengthSquared(a)); }

// A zero (or NaN-length) vector is returned unchanged rather than turned into NaNs.
inline Vector normalize(const Vector& a) {
    const float len = length(a);
    return len > 0.0f ? a / len : a;
}

// Positions (hit points, ray origins) are kept in double precision by the renderer.
struct DVector {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr DVector() = default;
    constexpr DVector(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
    constexpr explicit DVector(const Vector& v) : x(v.x), y(v.y), z(v.z) {}

    // Rounds each component to the nearest float.
    constexpr Vector toVector() const {
        return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    }

    friend constexpr bool operator==(const DVector&, const DVector&) = default;
};

static_assert(std::is_trivially_copyable_v<DVector> && sizeof(DVector) == 24);

}  // namespace KuvoUtils
