// The host's colours: RGB (`Color`, the value of TYPE_RGBA parameters) and RGB with alpha
// (`AColor`, what a map evaluates to).
#pragma once

namespace host {

struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;

    constexpr Color() = default;
    constexpr Color(float r_, float g_, float b_) : r(r_), g(g_), b(b_) {}
    friend constexpr bool operator==(const Color&, const Color&) = default;
};

/// Every colour a parameter block holds has each component from kColorMin to kColorMax, and
/// a render reads it as it is held: a negative component would reflect negative light, and a
/// huge one turns a bright sample into infinity. Values set through the block, and values
/// read from a stored scene, are clamped into this range (NaN is refused); the command lines
/// refuse values outside it.
inline constexpr float kColorMin = 0.0f;
inline constexpr float kColorMax = 1000.0f;

constexpr bool IsColorComponentInRange(float c) { return c >= kColorMin && c <= kColorMax; }
constexpr bool IsColorInRange(const Color& c) {
    return IsColorComponentInRange(c.r) && IsColorComponentInRange(c.g) &&
           IsColorComponentInRange(c.b);
}

struct AColor {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;

    constexpr AColor() = default;
    constexpr AColor(float r_, float g_, float b_, float a_ = 1.0f) : r(r_), g(g_), b(b_), a(a_) {}
    constexpr AColor(const Color& c, float a_ = 1.0f) : r(c.r), g(c.g), b(c.b), a(a_) {}  // NOLINT
    friend constexpr bool operator==(const AColor&, const AColor&) = default;
};

}  // namespace host
