// Costs of the flake model's building blocks: the random sequence, the quadtree count split and
// the four-wide Beckmann normals on both lane back ends.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "flakes/flake_query.h"
#include "flakes/flake_random.h"
#include "flakes/math4.h"
#include "flakes/quadtree_split.h"
#include "flakes/simd/lane_pair.h"

namespace glitter {
namespace {

void BM_NextUniform(benchmark::State& state) {
    FlakeRandom random(1);
    for (auto _ : state) benchmark::DoNotOptimize(random.nextUniform());
}
BENCHMARK(BM_NextUniform);

void splitBench(benchmark::State& state, int32_t count) {
    FlakeNode node{0, count, 0.0f, 0.0f, 1.0f, 1.0f, 0};
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

// Normals for a stream of 64 independent groups of four flakes, as the search produces them.
template <class F>
void normalsBench(benchmark::State& state) {
    FlakeRandom random(3);
    alignas(16) float a[64][4], b[64][4], out[3][4];
    for (int i = 0; i < 64; ++i) {
        for (int k = 0; k < 4; ++k) {
            a[i][k] = random.nextUniform();
            b[i][k] = random.nextUniform();
        }
    }
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i) {
            F x, y, z;
            kernels::sampleBeckmannNormals4(F::load(a[i]), F::load(b[i]), 0.1f, x, y, z);
            x.store(out[0]);
            y.store(out[1]);
            z.store(out[2]);
            benchmark::DoNotOptimize(out);
        }
    }
    state.SetItemsProcessed(state.iterations() * 64);  // items = groups of four normals
}
BENCHMARK(normalsBench<simd::scalar::Float4>)->Name("BM_FourNormals/scalar");
#if defined(GLITTER_HAVE_SSE2_LANES)
BENCHMARK(normalsBench<simd::sse2::Float4>)->Name("BM_FourNormals/sse2");
#endif

// The same stream, two groups at a time, as the search computes them.
template <class F>
void pairedNormalsBench(benchmark::State& state) {
    using Pair = simd::PairOf<F>;
    FlakeRandom random(3);
    alignas(16) float a[64][4], b[64][4], out[6][4];
    for (int i = 0; i < 64; ++i) {
        for (int k = 0; k < 4; ++k) {
            a[i][k] = random.nextUniform();
            b[i][k] = random.nextUniform();
        }
    }
    for (auto _ : state) {
        for (int i = 0; i < 64; i += 2) {
            Pair x, y, z;
            kernels::sampleBeckmannNormals4(Pair(F::load(a[i]), F::load(a[i + 1])),
                                            Pair(F::load(b[i]), F::load(b[i + 1])), 0.1f, x, y, z);
            x.lo.store(out[0]);
            x.hi.store(out[1]);
            y.lo.store(out[2]);
            y.hi.store(out[3]);
            z.lo.store(out[4]);
            z.hi.store(out[5]);
            benchmark::DoNotOptimize(out);
        }
    }
    state.SetItemsProcessed(state.iterations() * 64);  // items = groups of four normals
}
BENCHMARK(pairedNormalsBench<simd::scalar::Float4>)->Name("BM_FourNormals/scalar-paired");
#if defined(GLITTER_HAVE_SSE2_LANES)
BENCHMARK(pairedNormalsBench<simd::sse2::Float4>)->Name("BM_FourNormals/sse2-paired");
#endif

// The search at the material's defaults (10,000,000 flakes per cell, depth 12, glossiness 0.9)
// over 256 footprints of one expected flake count, square or 16:1 thin, at random places.
void searchBench(benchmark::State& state) {
    const float expected = float(state.range(0));
    const float aspect = state.range(1) ? 1.0f / 16.0f : 1.0f;
    FlakeParams params;
    params.init(10000000, FlakeParams::roughnessFromGlossiness(0.9f),
                FlakeParams::blurAngleRadians(3.0f), 12, 0, 1.0f, 0, 0.5f, 500.0f, 700.0f);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> pos(0.05f, 0.9f), angle(0.0f, 6.2831855f);
    std::vector<FlakeFootprint> footprints;
    const float len = std::sqrt(expected / float(params.numFlakes) / aspect);
    for (int i = 0; i < 256; ++i) {
        const float phi = angle(rng);
        footprints.push_back(makeFootprint({pos(rng), pos(rng)},
                                           {std::cos(phi) * len, std::sin(phi) * len},
                                           {-std::sin(phi) * len * aspect, std::cos(phi) * len * aspect}));
    }
    FlakeQuery<float> q;
    int64_t flakes = 0, nodes = 0, searches = 0;
    size_t i = 0;
    for (auto _ : state) {
        const FlakeFootprint& f = footprints[i++ & 255];
        beginFlakeQuery(q, 1, expected, f, &params);
        q.viewDir = {0.2f, 0.1f, -0.97f};
        benchmark::DoNotOptimize(searchFlakes(q));
        flakes += q.flakeCount;
        nodes += q.nodesVisited;
        ++searches;
    }
    state.counters["flakes/search"] = double(flakes) / double(searches);
    state.counters["nodes/search"] = double(nodes) / double(searches);
    state.counters["ns/flake"] = benchmark::Counter(
        double(flakes), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(searchBench)
    ->Name("BM_SearchFlakes")
    ->ArgNames({"expected", "thin"})
    ->ArgsProduct({{10, 100, 700}, {0, 1}});

}  // namespace
}  // namespace glitter
