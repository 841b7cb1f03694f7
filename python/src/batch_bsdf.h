#pragma once
// The flakes BSDF over arrays: every element is one shading point (a footprint and the ray that
// hit it) with one light direction to evaluate or four uniforms to sample. Each element goes
// through the renderer's own path (BSDF set-up at a shading context, evaluation and sampling
// through the BSDF), so the results are the renderer's bits. Large batches are split into
// contiguous ranges over threads; an element's result does not depend on the split.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bsdf/cached_parameter_values.h"
#include "flakes/flake_params.h"

namespace glitter::python {

// A strided view of float rows: row i starts at data + i * rowStride (rowStride 0 broadcasts
// one row to every element).
struct Rows {
    const float* data;
    std::ptrdiff_t rowStride;
    const float* operator[](std::size_t i) const {
        return data + static_cast<std::ptrdiff_t>(i) * rowStride;
    }
};

// Every element is a shading point on a surface with normal +z: a footprint row (u, v, du_u,
// du_v, dv_u, dv_v: the point in texture space and its change per screen step in x and y) and
// the incoming ray's direction row. The material: its cached values and render-start record.
struct BatchMaterial {
    CachedParameterValues values;
    FlakeParams params;
};

struct EvalOutputs {
    float* value;    // n x 3
    float* density;  // n
};

struct SampleOutputs {
    float* direction;  // n x 3; zero where the sample was rejected
    float* weight;     // n x 3
    float* density;    // n
};

// Elements per thread below which no extra thread is started.
inline constexpr std::size_t kMinElementsPerThread = 4096;

// Threads used for n elements with at most `maxThreads` (0: one per hardware thread).
int threadsFor(std::size_t n, int maxThreads);

void evaluateBatch(const BatchMaterial& m, std::size_t n, Rows footprint, Rows ray, Rows light,
                   EvalOutputs out, int maxThreads);

void sampleBatch(const BatchMaterial& m, std::size_t n, Rows footprint, Rows ray, Rows uniforms,
                 SampleOutputs out, int maxThreads);

// The flakes the search finds at one shading point (empty when discrete flakes are off there).
struct FoundFlakes {
    bool discrete = false;  // discrete flakes in use at this point
    float expected = 0.0f;  // expected flakes in the footprint
    std::size_t count = 0;
    std::vector<float> direction;  // count x 3, mirror directions of the ray (local frame)
    std::vector<float> weight;     // count: the leaf's covered fraction
    std::vector<float> color;      // count x 3: colour times weight, as the search keeps it
};

FoundFlakes findFlakes(const BatchMaterial& m, const float footprint[6], const float ray[3]);

}  // namespace glitter::python
