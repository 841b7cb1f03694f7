// Costs of the flakes BSDF at the material's defaults: set-up per shading point, light
// evaluation and reflection sampling, for footprints of 10 to 700 expected flakes and for the
// smooth lobe alone; and whole shading points against the same points with flakes off.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "tests/bsdf/bsdf_test_support.h"

namespace glitter {
namespace {

using test::TestContext;
using test::TestMaterial;
using KuvoUtils::Color;
using KuvoUtils::Vector;

// 64 shading points of one expected flake count (0: flakes off) at different places.
std::vector<TestContext> shadingPoints(float expected, int32_t numFlakes) {
    std::vector<TestContext> points(64);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> pos(0.05f, 0.9f);
    for (TestContext& c : points) {
        test::setFootprint(c, expected > 0.0f ? expected : 10.0f, numFlakes, pos(rng), pos(rng));
        c.setRayDir(normalize(Vector{0.2f, 0.1f, -1.0f}));
    }
    return points;
}

void BM_SetupBSDF(benchmark::State& state) {
    const float expected = float(state.range(0));
    TestMaterial m;
    m.values.enable_flakes = expected > 0.0f;
    std::vector<TestContext> points = shadingPoints(expected, m.values.num_flakes);
    DiscreteMicrofacetBSDF<float> bsdf;
    size_t i = 0;
    for (auto _ : state) {
        setupBSDF(m.view(), points[i++ & 63], bsdf, 0);
        benchmark::DoNotOptimize(bsdf.query.flakeCount);
    }
}
BENCHMARK(BM_SetupBSDF)->ArgName("expected")->Arg(0)->Arg(10)->Arg(100)->Arg(690);

// One shading point of the given expected flake count, set up.
// (Contexts point at their own options, so they stay where shadingPoints put them.)
struct SetUpPoint {
    TestMaterial material;
    std::vector<TestContext> points;
    TestContext& context;
    DiscreteMicrofacetBSDF<float> bsdf;
    explicit SetUpPoint(float expected)
        : points(shadingPoints(expected, material.values.num_flakes)), context(points[0]) {
        material.values.enable_flakes = expected > 0.0f;
        setupBSDF(material.view(), context, bsdf, 0);
    }
};

void BM_EvalLight(benchmark::State& state) {
    SetUpPoint point(float(state.range(0)));
    TestContext& c = point.context;
    DiscreteMicrofacetBSDF<float>& bsdf = point.bsdf;
    std::vector<Vector> lights;
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> dir(-0.5f, 0.5f);
    for (int k = 0; k < 64; ++k) lights.push_back(normalize(Vector{dir(rng), dir(rng), 1.0f}));
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bsdf.evalLight(c, lights[i++ & 63], {1, 1, 1}, 0, 2.0f, 2));
    }
    state.counters["flakes"] = double(bsdf.query.enabled ? bsdf.query.flakeCount : 0);
    state.counters["flakes/s"] = benchmark::Counter(
        double(bsdf.query.enabled ? bsdf.query.flakeCount : 0) * double(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EvalLight)->ArgName("expected")->Arg(0)->Arg(100)->Arg(690);

void BM_SampleDirection(benchmark::State& state) {
    SetUpPoint point(float(state.range(0)));
    TestContext& c = point.context;
    DiscreteMicrofacetBSDF<float>& bsdf = point.bsdf;
    KuvoUtils::KuvoContext* child = bsdf.spawnSampleContext(c, 0, 0);
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> unit(0.0f, 0.999f);
    std::vector<float> u(256);
    for (float& x : u) x = unit(rng);
    size_t i = 0;
    for (auto _ : state) {
        c.child->samples[1] = u[(i + 1) & 255];
        c.child->samples[2] = u[(i + 2) & 255];
        c.child->samples[3] = u[(i + 3) & 255];
        benchmark::DoNotOptimize(bsdf.sampleDirection(c, *child, u[i & 255]));
        i += 4;
    }
}
BENCHMARK(BM_SampleDirection)->ArgName("expected")->Arg(0)->Arg(100)->Arg(690);

// A shading point as a render meets it: footprints that walk across neighbouring pixels, eight
// jittered camera samples per pixel, rows of 64 pixels, never revisiting a place; at each one
// set-up, 9 light evaluations and 9 sampled directions. Every iteration shades 64 points with
// flakes on and then the same 64 with enable_flakes off, so both see the same machine load;
// the manual time is the flakes-on time, and on_over_off is the ratio of the two.
class ShadingPointWalk {
public:
    ShadingPointWalk(float expected, bool flakes) {
        material.values.enable_flakes = flakes;
        side = std::sqrt(expected / float(material.values.num_flakes));
        std::mt19937 rng(11);
        std::uniform_real_distribution<float> dir(-0.5f, 0.5f), unit(0.0f, 0.999f);
        for (Vector& l : lights) l = normalize(Vector{dir(rng), dir(rng), 1.0f});
        for (float& x : uniforms) x = unit(rng);
        child = nullptr;
    }

    // Shades the next point of the walk.
    float shadeNext() {
        const uint32_t sample = step % 8, pixel = step / 8;
        ++step;
        // Camera jitter from a cheap hash of the step: the same sequence for on and off.
        const uint32_t h = (step * 0x9E3779B9u) ^ (step >> 3) * 0x85EBCA6Bu;
        const float jx = float(h & 0xFFFF) * (1.0f / 65536.0f) - 0.5f;
        const float jy = float(h >> 16) * (1.0f / 65536.0f) - 0.5f;
        const float u = 0.05f + (float(pixel % 64) + jx) * side;
        const float v = 0.05f + (float(pixel / 64) + jy) * side;
        test::setFootprint(context, 0.0f, 1, u, v);
        context.dPdx = {side, 0, 0};
        context.dPdy = {0, side, 0};
        context.setRayDir(normalize(Vector{0.2f + 0.01f * jx, 0.1f + 0.01f * jy, -1.0f}));
        setupBSDF(material.view(), context, bsdf, 0);
        if (child == nullptr) child = bsdf.spawnSampleContext(context, 0, 0);
        float sink = 0.0f;
        for (int k = 0; k < 9; ++k) {
            const Color c = bsdf.evalLight(context, lights[(sample * 9 + k) & 63], {1, 1, 1}, 0,
                                           2.0f, 2);
            sink += c.r;
        }
        for (int k = 0; k < 9; ++k) {
            const size_t i = (size_t(step) * 36 + size_t(k) * 4) & 255;
            context.child->samples[1] = uniforms[(i + 1) & 255];
            context.child->samples[2] = uniforms[(i + 2) & 255];
            context.child->samples[3] = uniforms[(i + 3) & 255];
            if (child != nullptr) sink += bsdf.sampleDirection(context, *child, uniforms[i]);
        }
        return sink;
    }

private:
    TestMaterial material;
    TestContext context;
    DiscreteMicrofacetBSDF<float> bsdf;
    KuvoUtils::KuvoContext* child;
    Vector lights[64];
    float uniforms[256];
    float side;
    uint32_t step = 0;
};

// Apart, so that a profiler tells the two costs apart.
[[gnu::noinline, gnu::no_icf]] float shadeFlakesOn(ShadingPointWalk& walk) { return walk.shadeNext(); }
[[gnu::noinline, gnu::no_icf]] float shadeFlakesOff(ShadingPointWalk& walk) { return walk.shadeNext(); }

void BM_ShadingPoint(benchmark::State& state) {
    const float expected = float(state.range(0));
    ShadingPointWalk on(expected, true), off(expected, false);
    constexpr int kBatch = 64;
    double onSeconds = 0.0, offSeconds = 0.0;
    float sink = 0.0f;
    // Sixteen rows of pixels first, as a render thread would have shaded before.
    for (int i = 0; i < 1024; ++i) sink += shadeFlakesOn(on) + shadeFlakesOff(off);
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < kBatch; ++i) sink += shadeFlakesOn(on);
        const auto t1 = std::chrono::steady_clock::now();
        for (int i = 0; i < kBatch; ++i) sink += shadeFlakesOff(off);
        const auto t2 = std::chrono::steady_clock::now();
        const double a = std::chrono::duration<double>(t1 - t0).count();
        onSeconds += a;
        offSeconds += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(a / kBatch);
    }
    benchmark::DoNotOptimize(sink);
    const double points = double(state.iterations()) * kBatch;
    state.counters["on_us"] = onSeconds / points * 1e6;
    state.counters["off_us"] = offSeconds / points * 1e6;
    state.counters["on_over_off"] = onSeconds / offSeconds;
}
BENCHMARK(BM_ShadingPoint)
    ->ArgName("expected")
    ->Arg(10)
    ->Arg(100)
    ->Arg(300)
    ->Arg(690)
    ->UseManualTime()
    // The manual time is per point, a 64th of the real time spent on flakes on.
    ->MinTime(0.01)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace glitter
