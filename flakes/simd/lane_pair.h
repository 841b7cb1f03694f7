#pragma once
// Eight lanes as two independent groups of four. The kernels are written once against a lane
// type; instantiated with a pair, every operation is issued for both groups side by side, so
// the processor overlaps two dependency chains (the normals' logarithm, arc tangent and
// sine/cosine are long chains). Lane for lane the results are those of the single group.

#include <cstdint>

namespace glitter::simd {

template <class F, class I, class M>
struct LanePair;

template <class M>
struct MaskPair {
    M lo, hi;
};

template <class I>
struct IntPair {
    I lo, hi;
    IntPair() = default;
    IntPair(I a, I b) : lo(a), hi(b) {}
    explicit IntPair(int32_t s) : lo(s), hi(s) {}
};

template <class F, class I, class M>
struct LanePair {
    F lo, hi;
    LanePair() = default;
    LanePair(F a, F b) : lo(a), hi(b) {}
    explicit LanePair(float s) : lo(s), hi(s) {}
};

#define GLITTER_PAIR_BINARY(Type, op)                                        \
    template <class X>                                                       \
    inline Type<X> operator op(const Type<X>& a, const Type<X>& b) {         \
        return {a.lo op b.lo, a.hi op b.hi};                                 \
    }

template <class F, class I, class M>
inline LanePair<F, I, M> operator+(const LanePair<F, I, M>& a, const LanePair<F, I, M>& b) {
    return {a.lo + b.lo, a.hi + b.hi};
}
template <class F, class I, class M>
inline LanePair<F, I, M> operator-(const LanePair<F, I, M>& a, const LanePair<F, I, M>& b) {
    return {a.lo - b.lo, a.hi - b.hi};
}
template <class F, class I, class M>
inline LanePair<F, I, M> operator*(const LanePair<F, I, M>& a, const LanePair<F, I, M>& b) {
    return {a.lo * b.lo, a.hi * b.hi};
}
template <class F, class I, class M>
inline LanePair<F, I, M> operator/(const LanePair<F, I, M>& a, const LanePair<F, I, M>& b) {
    return {a.lo / b.lo, a.hi / b.hi};
}
template <class F, class I, class M>
inline LanePair<F, I, M> sqrt(const LanePair<F, I, M>& a) {
    return {sqrt(a.lo), sqrt(a.hi)};
}
template <class F, class I, class M>
inline LanePair<F, I, M> max(const LanePair<F, I, M>& a, const LanePair<F, I, M>& b) {
    return {max(a.lo, b.lo), max(a.hi, b.hi)};
}
template <class F, class I, class M>
inline MaskPair<M> operator<(const LanePair<F, I, M>& a, const LanePair<F, I, M>& b) {
    return {a.lo < b.lo, a.hi < b.hi};
}
template <class F, class I, class M>
inline MaskPair<M> operator<=(const LanePair<F, I, M>& a, const LanePair<F, I, M>& b) {
    return {a.lo <= b.lo, a.hi <= b.hi};
}
template <class F, class I, class M>
inline LanePair<F, I, M> select(const MaskPair<M>& m, const LanePair<F, I, M>& a,
                                const LanePair<F, I, M>& b) {
    return {select(m.lo, a.lo, b.lo), select(m.hi, a.hi, b.hi)};
}
template <class F, class I, class M>
inline IntPair<I> asInt(const LanePair<F, I, M>& a) {
    return {asInt(a.lo), asInt(a.hi)};
}
template <class F, class I, class M>
inline IntPair<I> truncateToInt(const LanePair<F, I, M>& a) {
    return {truncateToInt(a.lo), truncateToInt(a.hi)};
}

GLITTER_PAIR_BINARY(IntPair, +)
GLITTER_PAIR_BINARY(IntPair, -)
GLITTER_PAIR_BINARY(IntPair, &)
GLITTER_PAIR_BINARY(IntPair, |)
GLITTER_PAIR_BINARY(IntPair, ^)
#undef GLITTER_PAIR_BINARY

template <class I>
inline IntPair<I> andNot(const IntPair<I>& a, const IntPair<I>& b) {
    return {andNot(a.lo, b.lo), andNot(a.hi, b.hi)};
}
template <int N, class I>
inline IntPair<I> shiftLeft(const IntPair<I>& a) {
    return {shiftLeft<N>(a.lo), shiftLeft<N>(a.hi)};
}
template <int N, class I>
inline IntPair<I> shiftRightLogical(const IntPair<I>& a) {
    return {shiftRightLogical<N>(a.lo), shiftRightLogical<N>(a.hi)};
}
template <class I>
inline auto operator==(const IntPair<I>& a, const IntPair<I>& b) {
    return MaskPair<decltype(a.lo == b.lo)>{a.lo == b.lo, a.hi == b.hi};
}
template <class I>
inline auto toFloat(const IntPair<I>& a) {
    using F = decltype(toFloat(a.lo));
    using M = decltype(a.lo == a.lo);
    return LanePair<F, I, M>{toFloat(a.lo), toFloat(a.hi)};
}
template <class I>
inline auto asFloat(const IntPair<I>& a) {
    using F = decltype(asFloat(a.lo));
    using M = decltype(a.lo == a.lo);
    return LanePair<F, I, M>{asFloat(a.lo), asFloat(a.hi)};
}
template <class M>
inline auto asFloat(const MaskPair<M>& m) {
    using F = decltype(asFloat(m.lo));
    using I = decltype(asInt(asFloat(m.lo)));
    return LanePair<F, I, M>{asFloat(m.lo), asFloat(m.hi)};
}

// Two groups of four of a back end's lane types.
template <class F>
using PairOf = LanePair<F, decltype(asInt(F())), decltype(F() < F())>;

}  // namespace glitter::simd
