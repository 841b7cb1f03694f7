#pragma once
// Four found flakes in lane-wise arrays: their mirror directions and either a weight (plain
// flakes) or the flake colour times its weight (coloured flakes). Lane i of every array belongs
// to the same flake, so the cone tests run four flakes at a time.

#include <type_traits>

namespace glitter {

// T = float: plain flakes. Any colour type (three channels) selects the coloured layout.
template <class T>
struct alignas(16) FlakeBlock {
    float x[4], y[4], z[4];
    float r[4], g[4], b[4];
};

template <>
struct alignas(16) FlakeBlock<float> {
    float x[4], y[4], z[4];
    float weight[4];
};

template <class T>
inline constexpr bool kPlainFlakes = std::is_same_v<T, float>;

static_assert(sizeof(FlakeBlock<float>) == 64);

}  // namespace glitter
