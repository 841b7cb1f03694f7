// The host's three-float point and vector.
#pragma once

namespace host {

struct Point3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Point3() = default;
    constexpr Point3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    friend constexpr Point3 operator+(const Point3& a, const Point3& b) {
        return {a.x + b.x, a.y + b.y, a.z + b.z};
    }
    friend constexpr Point3 operator-(const Point3& a, const Point3& b) {
        return {a.x - b.x, a.y - b.y, a.z - b.z};
    }
    friend constexpr Point3 operator*(const Point3& a, float s) {
        return {a.x * s, a.y * s, a.z * s};
    }
    friend constexpr bool operator==(const Point3&, const Point3&) = default;
};

}  // namespace host
