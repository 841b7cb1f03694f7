#pragma once
// SSE2 back end of the four-wide lane types (x86-64 baseline only). Mirrors float4_scalar.h
// operation for operation.

#include <emmintrin.h>

#include <cstdint>

namespace glitter::simd::sse2 {

struct Float4 {
    __m128 v;

    Float4() = default;
    explicit Float4(__m128 x) : v(x) {}
    explicit Float4(float s) : v(_mm_set1_ps(s)) {}
    Float4(float a, float b, float c, float d) : v(_mm_setr_ps(a, b, c, d)) {}

    static Float4 load(const float* p) { return Float4(_mm_load_ps(p)); }
    void store(float* p) const { _mm_store_ps(p, v); }
    float operator[](int i) const {
        alignas(16) float t[4];
        _mm_store_ps(t, v);
        return t[i];
    }
};

struct Int4 {
    __m128i v;

    Int4() = default;
    explicit Int4(__m128i x) : v(x) {}
    explicit Int4(int32_t s) : v(_mm_set1_epi32(s)) {}
    int32_t operator[](int i) const {
        alignas(16) int32_t t[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(t), v);
        return t[i];
    }
};

struct Mask4 {
    __m128 v;
};

inline Float4 operator+(const Float4& a, const Float4& b) { return Float4(_mm_add_ps(a.v, b.v)); }
inline Float4 operator-(const Float4& a, const Float4& b) { return Float4(_mm_sub_ps(a.v, b.v)); }
inline Float4 operator*(const Float4& a, const Float4& b) { return Float4(_mm_mul_ps(a.v, b.v)); }
inline Float4 operator/(const Float4& a, const Float4& b) { return Float4(_mm_div_ps(a.v, b.v)); }
inline Float4 sqrt(const Float4& a) { return Float4(_mm_sqrt_ps(a.v)); }
inline Float4 max(const Float4& a, const Float4& b) { return Float4(_mm_max_ps(a.v, b.v)); }
inline Float4 min(const Float4& a, const Float4& b) { return Float4(_mm_min_ps(a.v, b.v)); }

inline Mask4 operator<(const Float4& a, const Float4& b) { return {_mm_cmplt_ps(a.v, b.v)}; }
inline Mask4 operator<=(const Float4& a, const Float4& b) { return {_mm_cmple_ps(a.v, b.v)}; }
inline Mask4 operator>(const Float4& a, const Float4& b) { return {_mm_cmpgt_ps(a.v, b.v)}; }
inline Mask4 operator>=(const Float4& a, const Float4& b) { return {_mm_cmpge_ps(a.v, b.v)}; }
// !(a <= b): also set where either is NaN.
inline Mask4 notLessEqual(const Float4& a, const Float4& b) { return {_mm_cmpnle_ps(a.v, b.v)}; }

inline Mask4 operator&(const Mask4& a, const Mask4& b) { return {_mm_and_ps(a.v, b.v)}; }
inline Mask4 operator|(const Mask4& a, const Mask4& b) { return {_mm_or_ps(a.v, b.v)}; }
inline Mask4 operator~(const Mask4& a) {
    return {_mm_xor_ps(a.v, _mm_castsi128_ps(_mm_set1_epi32(-1)))};
}
inline int moveMask(const Mask4& m) { return _mm_movemask_ps(m.v); }
inline Float4 select(const Mask4& m, const Float4& a, const Float4& b) {
    return Float4(_mm_or_ps(_mm_and_ps(m.v, a.v), _mm_andnot_ps(m.v, b.v)));
}

inline Int4 asInt(const Float4& a) { return Int4(_mm_castps_si128(a.v)); }
inline Float4 asFloat(const Int4& a) { return Float4(_mm_castsi128_ps(a.v)); }
inline Float4 asFloat(const Mask4& m) { return Float4(m.v); }
inline Int4 asInt(const Mask4& m) { return Int4(_mm_castps_si128(m.v)); }

inline Int4 operator+(const Int4& a, const Int4& b) { return Int4(_mm_add_epi32(a.v, b.v)); }
inline Int4 operator-(const Int4& a, const Int4& b) { return Int4(_mm_sub_epi32(a.v, b.v)); }
inline Int4 operator&(const Int4& a, const Int4& b) { return Int4(_mm_and_si128(a.v, b.v)); }
inline Int4 operator|(const Int4& a, const Int4& b) { return Int4(_mm_or_si128(a.v, b.v)); }
inline Int4 operator^(const Int4& a, const Int4& b) { return Int4(_mm_xor_si128(a.v, b.v)); }
inline Int4 andNot(const Int4& a, const Int4& b) { return Int4(_mm_andnot_si128(a.v, b.v)); }
template <int N>
inline Int4 shiftLeft(const Int4& a) {
    return Int4(_mm_slli_epi32(a.v, N));
}
template <int N>
inline Int4 shiftRightLogical(const Int4& a) {
    return Int4(_mm_srli_epi32(a.v, N));
}
inline Mask4 operator==(const Int4& a, const Int4& b) {
    return {_mm_castsi128_ps(_mm_cmpeq_epi32(a.v, b.v))};
}
inline Float4 toFloat(const Int4& a) { return Float4(_mm_cvtepi32_ps(a.v)); }
inline Int4 truncateToInt(const Float4& a) { return Int4(_mm_cvttps_epi32(a.v)); }

}  // namespace glitter::simd::sse2
