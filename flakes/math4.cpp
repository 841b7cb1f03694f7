#include "flakes/math4.h"

namespace glitter {

using simd::Float4;

void log4(const float* in, float* out) { kernels::log4(Float4::load(in)).store(out); }

void sincos4(const float* angle, float* sine, float* cosine) {
    Float4 s, c;
    kernels::sincos4(Float4::load(angle), s, c);
    s.store(sine);
    c.store(cosine);
}

void atan4(const float* in, float* out) { kernels::atan4(Float4::load(in)).store(out); }

void sampleBeckmannNormals4(const float* a, const float* b, float alpha, float* x, float* y,
                            float* z) {
    Float4 nx, ny, nz;
    kernels::sampleBeckmannNormals4(Float4::load(a), Float4::load(b), alpha, nx, ny, nz);
    nx.store(x);
    ny.store(y);
    nz.store(z);
}

}  // namespace glitter
