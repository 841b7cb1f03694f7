#pragma once
// The four-wide lane types the flake kernels are written against. Both back ends are always
// compiled (the tests compare them); the build picks one for the system's own use.

#include "flakes/simd/float4_scalar.h"

#if defined(__SSE2__)
#include "flakes/simd/float4_sse2.h"
#define GLITTER_HAVE_SSE2_LANES 1
#endif

namespace glitter::simd {

#if defined(GLITTER_HAVE_SSE2_LANES) && !defined(GLITTER_SCALAR_KERNELS)
namespace active = sse2;
constexpr const char* kBackendName = "sse2";
#else
namespace active = scalar;
constexpr const char* kBackendName = "scalar";
#endif

using Float4 = active::Float4;
using Int4 = active::Int4;
using Mask4 = active::Mask4;

}  // namespace glitter::simd
