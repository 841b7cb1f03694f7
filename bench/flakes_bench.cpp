// Costs of the flake model's building blocks: the random sequence, the quadtree count split and
// the four-wide Beckmann normals on both lane back ends.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "flakes/flake_random.h"
#include "flakes/math4.h"
#include "flakes/quadtree_split.h"

namespace glitter {
namespace {

void BM_NextUniform(benchmark::State& state) {
    FlakeRandom random(1);
    for (auto _ : state) benchmark::DoNotOptimize(random.nextUniform());
}
BENCHMARK(BM_NextUniform);

void splitBench(benchmark::State& state, int32_t count) {
    FlakeNode node{0, count, 0.0f, 0.0f, 1.0f, 1.0f, 0, nullptr};
    FlakeNode children[4];
    uint32_t seed = 0;
    for (auto _ : state) {
        node.seed = seed++;
        splitFlakeCount(node, children);
        benchmark::DoNotOptimize(children);
    }
}
void BM_SplitExact8(benchmark::State& state) { splitBench(state, 8); }
void BM_SplitExact3(benchmark::State& state) { splitBench(state, 3); }
void BM_SplitApproximate(benchmark::State& state) { splitBench(state, 10000000); }
BENCHMARK(BM_SplitExact3);
BENCHMARK(BM_SplitExact8);
BENCHMARK(BM_SplitApproximate);

template <class F>
void normalsBench(benchmark::State& state) {
    FlakeRandom random(3);
    alignas(16) float a[4], b[4];
    for (int k = 0; k < 4; ++k) {
        a[k] = random.nextUniform();
        b[k] = random.nextUniform();
    }
    F ua = F::load(a), ub = F::load(b);
    for (auto _ : state) {
        F x, y, z;
        benchmark::DoNotOptimize(ua);
        benchmark::DoNotOptimize(ub);
        kernels::sampleBeckmannNormals4(ua, ub, 0.1f, x, y, z);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
        benchmark::DoNotOptimize(z);
    }
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(normalsBench<simd::scalar::Float4>)->Name("BM_FourNormals/scalar");
#if defined(GLITTER_HAVE_SSE2_LANES)
BENCHMARK(normalsBench<simd::sse2::Float4>)->Name("BM_FourNormals/sse2");
#endif

}  // namespace
}  // namespace glitter
