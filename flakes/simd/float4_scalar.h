#pragma once
// Scalar back end of the four-wide lane types: four plain floats per value. Every operation
// reproduces the SSE2 instruction it stands for bit for bit, so kernels written against these
// types give the same flakes on either back end.

#include <bit>
#include <cmath>
#include <cstdint>

namespace glitter::simd::scalar {

struct Mask4;
struct Int4;

struct Float4 {
    float v[4];

    Float4() = default;
    explicit Float4(float s) : v{s, s, s, s} {}
    Float4(float a, float b, float c, float d) : v{a, b, c, d} {}

    static Float4 load(const float* p) { return {p[0], p[1], p[2], p[3]}; }
    void store(float* p) const {
        for (int i = 0; i < 4; ++i) p[i] = v[i];
    }
    float operator[](int i) const { return v[i]; }
};

struct Int4 {
    uint32_t v[4];

    Int4() = default;
    explicit Int4(int32_t s) : v{uint32_t(s), uint32_t(s), uint32_t(s), uint32_t(s)} {}
    int32_t operator[](int i) const { return int32_t(v[i]); }
};

// All bits set or clear per lane, as the SSE2 comparisons produce.
struct Mask4 {
    uint32_t v[4];
};

namespace detail {
template <class Op>
inline Float4 map(const Float4& a, const Float4& b, Op op) {
    return {op(a.v[0], b.v[0]), op(a.v[1], b.v[1]), op(a.v[2], b.v[2]), op(a.v[3], b.v[3])};
}
template <class Op>
inline Mask4 compare(const Float4& a, const Float4& b, Op op) {
    Mask4 m;
    for (int i = 0; i < 4; ++i) m.v[i] = op(a.v[i], b.v[i]) ? 0xFFFFFFFFu : 0u;
    return m;
}
template <class Op>
inline Int4 mapInt(const Int4& a, const Int4& b, Op op) {
    Int4 r;
    for (int i = 0; i < 4; ++i) r.v[i] = op(a.v[i], b.v[i]);
    return r;
}
}  // namespace detail

inline Float4 operator+(const Float4& a, const Float4& b) {
    return detail::map(a, b, [](float x, float y) { return x + y; });
}
inline Float4 operator-(const Float4& a, const Float4& b) {
    return detail::map(a, b, [](float x, float y) { return x - y; });
}
inline Float4 operator*(const Float4& a, const Float4& b) {
    return detail::map(a, b, [](float x, float y) { return x * y; });
}
inline Float4 operator/(const Float4& a, const Float4& b) {
    return detail::map(a, b, [](float x, float y) { return x / y; });
}
inline Float4 sqrt(const Float4& a) {
    return {std::sqrt(a.v[0]), std::sqrt(a.v[1]), std::sqrt(a.v[2]), std::sqrt(a.v[3])};
}
// maxps returns its second operand when either is NaN; the kernels rely on that.
inline Float4 max(const Float4& a, const Float4& b) {
    return detail::map(a, b, [](float x, float y) { return x > y ? x : y; });
}
inline Float4 min(const Float4& a, const Float4& b) {
    return detail::map(a, b, [](float x, float y) { return x < y ? x : y; });
}

inline Mask4 operator<(const Float4& a, const Float4& b) {
    return detail::compare(a, b, [](float x, float y) { return x < y; });
}
inline Mask4 operator<=(const Float4& a, const Float4& b) {
    return detail::compare(a, b, [](float x, float y) { return x <= y; });
}
inline Mask4 operator>(const Float4& a, const Float4& b) {
    return detail::compare(a, b, [](float x, float y) { return x > y; });
}
inline Mask4 operator>=(const Float4& a, const Float4& b) {
    return detail::compare(a, b, [](float x, float y) { return x >= y; });
}
inline Mask4 notLessEqual(const Float4& a, const Float4& b) {
    return detail::compare(a, b, [](float x, float y) { return !(x <= y); });
}

inline Mask4 operator&(const Mask4& a, const Mask4& b) {
    return {{a.v[0] & b.v[0], a.v[1] & b.v[1], a.v[2] & b.v[2], a.v[3] & b.v[3]}};
}
inline Mask4 operator|(const Mask4& a, const Mask4& b) {
    return {{a.v[0] | b.v[0], a.v[1] | b.v[1], a.v[2] | b.v[2], a.v[3] | b.v[3]}};
}
inline Mask4 operator~(const Mask4& a) { return {{~a.v[0], ~a.v[1], ~a.v[2], ~a.v[3]}}; }
// One bit per lane, lane 0 in bit 0 (movmskps).
inline int moveMask(const Mask4& m) {
    return int((m.v[0] >> 31) | ((m.v[1] >> 31) << 1) | ((m.v[2] >> 31) << 2) |
               ((m.v[3] >> 31) << 3));
}
inline Float4 select(const Mask4& m, const Float4& a, const Float4& b) {
    Float4 r;
    for (int i = 0; i < 4; ++i) {
        r.v[i] = std::bit_cast<float>((std::bit_cast<uint32_t>(a.v[i]) & m.v[i]) |
                                      (std::bit_cast<uint32_t>(b.v[i]) & ~m.v[i]));
    }
    return r;
}

inline Int4 asInt(const Float4& a) {
    Int4 r;
    for (int i = 0; i < 4; ++i) r.v[i] = std::bit_cast<uint32_t>(a.v[i]);
    return r;
}
inline Float4 asFloat(const Int4& a) {
    Float4 r;
    for (int i = 0; i < 4; ++i) r.v[i] = std::bit_cast<float>(a.v[i]);
    return r;
}
inline Float4 asFloat(const Mask4& m) {
    Float4 r;
    for (int i = 0; i < 4; ++i) r.v[i] = std::bit_cast<float>(m.v[i]);
    return r;
}
inline Int4 asInt(const Mask4& m) {
    Int4 r;
    for (int i = 0; i < 4; ++i) r.v[i] = m.v[i];
    return r;
}

inline Int4 operator+(const Int4& a, const Int4& b) {
    return detail::mapInt(a, b, [](uint32_t x, uint32_t y) { return x + y; });
}
inline Int4 operator-(const Int4& a, const Int4& b) {
    return detail::mapInt(a, b, [](uint32_t x, uint32_t y) { return x - y; });
}
inline Int4 operator&(const Int4& a, const Int4& b) {
    return detail::mapInt(a, b, [](uint32_t x, uint32_t y) { return x & y; });
}
inline Int4 operator|(const Int4& a, const Int4& b) {
    return detail::mapInt(a, b, [](uint32_t x, uint32_t y) { return x | y; });
}
inline Int4 operator^(const Int4& a, const Int4& b) {
    return detail::mapInt(a, b, [](uint32_t x, uint32_t y) { return x ^ y; });
}
// ~a & b, as pandn computes it.
inline Int4 andNot(const Int4& a, const Int4& b) {
    return detail::mapInt(a, b, [](uint32_t x, uint32_t y) { return ~x & y; });
}
template <int N>
inline Int4 shiftLeft(const Int4& a) {
    return detail::mapInt(a, a, [](uint32_t x, uint32_t) { return x << N; });
}
template <int N>
inline Int4 shiftRightLogical(const Int4& a) {
    return detail::mapInt(a, a, [](uint32_t x, uint32_t) { return x >> N; });
}
inline Mask4 operator==(const Int4& a, const Int4& b) {
    Mask4 m;
    for (int i = 0; i < 4; ++i) m.v[i] = a.v[i] == b.v[i] ? 0xFFFFFFFFu : 0u;
    return m;
}
inline Float4 toFloat(const Int4& a) {
    Float4 r;
    for (int i = 0; i < 4; ++i) r.v[i] = float(int32_t(a.v[i]));
    return r;
}
// cvttps2dq: truncation toward zero; NaN and values outside the int32 range give 0x80000000.
// The range check comes first because the plain C++ conversion would be undefined there.
inline Int4 truncateToInt(const Float4& a) {
    Int4 r;
    for (int i = 0; i < 4; ++i) {
        const float x = a.v[i];
        r.v[i] = (x >= -2147483648.0f && x < 2147483648.0f) ? uint32_t(int32_t(x)) : 0x80000000u;
    }
    return r;
}

}  // namespace glitter::simd::scalar
