#include "python/src/batch_bsdf.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "bsdf/bsdf_setup.h"
#include "bsdf/discrete_microfacet_bsdf.h"

namespace glitter::python {

namespace {

using KuvoUtils::Color;
using KuvoUtils::Vector;

// A shading context at a flat surface with normal +z whose map channels all carry the given
// texture coordinates with an identity basis, so the hit point's screen derivatives are the
// texture derivatives themselves. Sample dimensions come from a scripted array.
class PointContext : public KuvoUtils::KuvoContext {
public:
    Vector uvw;
    float samples[4] = {0.5f, 0.5f, 0.5f, 0.5f};

    PointContext() { shadingNormal = geometricNormal = {0.0f, 0.0f, 1.0f}; }
    Vector getUVWCoords(int) const override { return uvw; }
    KuvoUtils::UVWBasis getUVWBasis(int) const override {
        return {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
    }
    float sampleValue(int dimension) override { return samples[dimension & 3]; }
};

template <class T>
struct Worker {
    const BatchMaterial& material;
    std::atomic<int32_t> warned{1};  // no log here: the flake-scale warning stays quiet
    FlakeMaterialView view;
    PointContext context;
    PointContext child;
    DiscreteMicrofacetBSDF<T> bsdf;
    float lastFootprint[6];
    float lastRay[3];
    bool ready = false;

    explicit Worker(const BatchMaterial& m)
        : material(m), view{&m.values, &m.params, nullptr, &warned, nullptr} {}

    // Sets the BSDF up at this element's shading point, unless the previous element had the
    // same one (the set-up, with its flake search, is by far the dearest step).
    void setUp(const float* footprint, const float* ray) {
        if (ready && std::memcmp(footprint, lastFootprint, sizeof lastFootprint) == 0 &&
            std::memcmp(ray, lastRay, sizeof lastRay) == 0) {
            return;
        }
        std::memcpy(lastFootprint, footprint, sizeof lastFootprint);
        std::memcpy(lastRay, ray, sizeof lastRay);
        context.uvw = {footprint[0], footprint[1], 0.0f};
        context.dPdx = {footprint[2], footprint[3], 0.0f};
        context.dPdy = {footprint[4], footprint[5], 0.0f};
        context.setRayDir({ray[0], ray[1], ray[2]});
        setupBSDF(view, context, bsdf, 0);
        ready = true;
    }

    void evaluate(const float* light, float* value, float& density) {
        const Vector local = toLocal(bsdf.frameInverse, {light[0], light[1], light[2]});
        float pdf = 0.0f;
        Color v(0.0f, 0.0f, 0.0f);
        // The value and density evalLight weighs; an inactive BSDF reflects nothing.
        if (bsdf.inactive == 0) v = detail::toColor(evalFlakes(bsdf.query, local, pdf));
        value[0] = v.r;
        value[1] = v.g;
        value[2] = v.b;
        density = pdf;
    }

    void sample(const float* u, float* direction, float* weight, float& density) {
        child.samples[0] = u[0];
        child.samples[1] = u[1];
        child.samples[2] = u[2];
        child.samples[3] = u[3];
        child.setRayDir({0.0f, 0.0f, 0.0f});
        child.density = 0.0f;
        child.colorWeight = Color(0.0f, 0.0f, 0.0f);
        if (bsdf.inactive == 0) bsdf.sampleDirection(context, child, u[0]);
        direction[0] = child.rayDir.x;
        direction[1] = child.rayDir.y;
        direction[2] = child.rayDir.z;
        weight[0] = child.colorWeight.r;
        weight[1] = child.colorWeight.g;
        weight[2] = child.colorWeight.b;
        density = child.density;
    }
};

// Runs body(begin, end) over [0, n) split into one contiguous range per thread; the first
// exception of any thread is rethrown after all have stopped.
template <class Body>
void parallelRanges(std::size_t n, int maxThreads, const Body& body) {
    const int threads = threadsFor(n, maxThreads);
    if (threads <= 1) {
        body(std::size_t(0), n);
        return;
    }
    std::vector<std::thread> pool;
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(threads));
    const std::size_t per = (n + std::size_t(threads) - 1) / std::size_t(threads);
    for (int t = 0; t < threads; ++t) {
        const std::size_t begin = std::min(n, per * std::size_t(t));
        const std::size_t end = std::min(n, begin + per);
        pool.emplace_back([&, t, begin, end] {
            try {
                body(begin, end);
            } catch (...) {
                errors[std::size_t(t)] = std::current_exception();
            }
        });
    }
    for (std::thread& th : pool) th.join();
    for (const std::exception_ptr& e : errors) {
        if (e) std::rethrow_exception(e);
    }
}

template <class T>
void evaluateRange(const BatchMaterial& m, std::size_t begin, std::size_t end, Rows footprint,
                   Rows ray, Rows light, EvalOutputs out) {
    auto worker = std::make_unique<Worker<T>>(m);
    for (std::size_t i = begin; i < end; ++i) {
        worker->setUp(footprint[i], ray[i]);
        worker->evaluate(light[i], out.value + 3 * i, out.density[i]);
    }
}

template <class T>
void sampleRange(const BatchMaterial& m, std::size_t begin, std::size_t end, Rows footprint,
                 Rows ray, Rows uniforms, SampleOutputs out) {
    auto worker = std::make_unique<Worker<T>>(m);
    for (std::size_t i = begin; i < end; ++i) {
        worker->setUp(footprint[i], ray[i]);
        worker->sample(uniforms[i], out.direction + 3 * i, out.weight + 3 * i, out.density[i]);
    }
}

}  // namespace

int threadsFor(std::size_t n, int maxThreads) {
    int limit = maxThreads > 0 ? maxThreads
                               : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::size_t byWork = std::max<std::size_t>(1, n / kMinElementsPerThread);
    return static_cast<int>(std::min<std::size_t>(std::size_t(limit), byWork));
}

void evaluateBatch(const BatchMaterial& m, std::size_t n, Rows footprint, Rows ray, Rows light,
                   EvalOutputs out, int maxThreads) {
    // The colour variant is the one random_hue selects at render start.
    parallelRanges(n, maxThreads, [&](std::size_t begin, std::size_t end) {
        if (m.values.random_hue != 0) {
            evaluateRange<Color>(m, begin, end, footprint, ray, light, out);
        } else {
            evaluateRange<float>(m, begin, end, footprint, ray, light, out);
        }
    });
}

void sampleBatch(const BatchMaterial& m, std::size_t n, Rows footprint, Rows ray, Rows uniforms,
                 SampleOutputs out, int maxThreads) {
    parallelRanges(n, maxThreads, [&](std::size_t begin, std::size_t end) {
        if (m.values.random_hue != 0) {
            sampleRange<Color>(m, begin, end, footprint, ray, uniforms, out);
        } else {
            sampleRange<float>(m, begin, end, footprint, ray, uniforms, out);
        }
    });
}

namespace {

// The found flakes of one variant, with mirror directions taken back to the surface's frame.
template <class T>
void collect(Worker<T>& w, FoundFlakes& found, std::vector<float>& values, int channels) {
    const FlakeQuery<T>& q = w.bsdf.query;
    found.discrete = w.bsdf.inactive == 0 && q.enabled != 0;
    found.expected = q.expectedFlakes;
    found.count = found.discrete ? q.flakeCount : 0;
    found.direction.assign(3 * found.count, 0.0f);
    values.assign(std::size_t(channels) * found.count, 0.0f);
    const KuvoUtils::Frame& f = w.bsdf.frame;
    for (std::size_t k = 0; k < found.count; ++k) {
        const FlakeBlock<T>& b = q.blocks.data[k / 4];
        const std::size_t lane = k % 4;
        const Vector d = f.tangent * b.x[lane] + f.bitangent * b.y[lane] + f.normal * b.z[lane];
        found.direction[3 * k] = d.x;
        found.direction[3 * k + 1] = d.y;
        found.direction[3 * k + 2] = d.z;
        if constexpr (kPlainFlakes<T>) {
            values[k] = b.weight[lane];
        } else {
            values[3 * k] = b.r[lane];
            values[3 * k + 1] = b.g[lane];
            values[3 * k + 2] = b.b[lane];
        }
    }
}

}  // namespace

FoundFlakes findFlakes(const BatchMaterial& m, const float footprint[6], const float ray[3]) {
    FoundFlakes found;
    auto plain = std::make_unique<Worker<float>>(m);
    plain->setUp(footprint, ray);
    collect(*plain, found, found.weight, 1);
    FoundFlakes colored;
    auto withColor = std::make_unique<Worker<Color>>(m);
    withColor->setUp(footprint, ray);
    collect(*withColor, colored, found.color, 3);
    return found;
}

}  // namespace glitter::python
