// The renderer's RGB colour: three floats with per-channel arithmetic.
#pragma once

#include <type_traits>

namespace KuvoUtils {

struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;

    constexpr Color() = default;
    constexpr Color(float r_, float g_, float b_) : r(r_), g(g_), b(b_) {}
    constexpr explicit Color(float grey) : r(grey), g(grey), b(grey) {}

    constexpr float& operator[](int i) { return i == 0 ? r : (i == 1 ? g : b); }
    constexpr float operator[](int i) const { return i == 0 ? r : (i == 1 ? g : b); }

    constexpr Color& operator+=(const Color& c) {
        r += c.r;
        g += c.g;
        b += c.b;
        return *this;
    }
    constexpr Color& operator-=(const Color& c) {
        r -= c.r;
        g -= c.g;
        b -= c.b;
        return *this;
    }
    constexpr Color& operator*=(const Color& c) {
        r *= c.r;
        g *= c.g;
        b *= c.b;
        return *this;
    }
    constexpr Color& operator*=(float s) {
        r *= s;
        g *= s;
        b *= s;
        return *this;
    }
    constexpr Color& operator/=(float s) {
        r /= s;
        g /= s;
        b /= s;
        return *this;
    }

    constexpr bool isBlack() const { return r == 0.0f && g == 0.0f && b == 0.0f; }

    friend constexpr bool operator==(const Color&, const Color&) = default;
};

static_assert(std::is_trivially_copyable_v<Color> && sizeof(Color) == 12);

constexpr Color operator+(const Color& a, const Color& c) {
    return {a.r + c.r, a.g + c.g, a.b + c.b};
}
constexpr Color operator-(const Color& a, const Color& c) {
    return {a.r - c.r, a.g - c.g, a.b - c.b};
}
constexpr Color operator*(const Color& a, const Color& c) {
    return {a.r * c.r, a.g * c.g, a.b * c.b};
}
constexpr Color operator/(const Color& a, const Color& c) {
    return {a.r / c.r, a.g / c.g, a.b / c.b};
}
constexpr Color operator*(const Color& a, float s) { return {a.r * s, a.g * s, a.b * s}; }
constexpr Color operator*(float s, const Color& a) { return {s * a.r, s * a.g, s * a.b}; }
constexpr Color operator/(const Color& a, float s) { return {a.r / s, a.g / s, a.b / s}; }

}  // namespace KuvoUtils
