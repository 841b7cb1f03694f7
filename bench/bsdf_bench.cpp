// Costs of the flakes BSDF at the material's defaults: set-up per shading point, light
// evaluation and reflection sampling, for footprints of 10 to 700 expected flakes and for the
// smooth lobe alone.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "tests/bsdf/bsdf_test_support.h"

namespace glitter {
namespace {

using test::TestContext;
using test::TestMaterial;
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

}  // namespace
}  // namespace glitter
