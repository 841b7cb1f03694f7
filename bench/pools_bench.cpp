// Costs on the shading path: a warm pool's take + giveBack, a node from a fresh 1000-slot block
// sequence, and converting a material name for the renderer's log.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "pools/block_sequence.h"
#include "pools/element_pool.h"
#include "text/utf8.h"

namespace {

struct Node {  // the flake search's quadtree node is a plain record of about this size
    float u, v, size;
    uint32_t seed;
    int32_t level, count;
    Node* next;
};

struct Shader {
    float frame[9] = {};
    glitter::BlockSequence<Node> nodes{1000};
};

void BM_WarmPoolTakeGiveBack(benchmark::State& state) {
    glitter::ElementPool<Shader> pool;
    pool.giveBack(pool.take());
    for (auto _ : state) {
        auto* element = pool.take();
        benchmark::DoNotOptimize(element);
        pool.giveBack(element);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_WarmPoolTakeGiveBack);

// One fresh sequence per iteration, 1000 allocations: the block's creation is spread over them.
void BM_BlockSequenceAllocateFresh1000(benchmark::State& state) {
    constexpr int kSlots = 1000;
    for (auto _ : state) {
        glitter::BlockSequence<Node> nodes(kSlots);
        for (int i = 0; i < kSlots; ++i) {
            Node* node = nodes.allocate();
            benchmark::DoNotOptimize(node);
        }
    }
    state.counters["per_allocate"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kSlots,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BlockSequenceAllocateFresh1000);

void BM_ToUtf8ShortName(benchmark::State& state) {
    const char16_t* name = u"Car paint \u00E9clat #12";
    char buffer[64];
    for (auto _ : state) {
        const int32_t length = glitter::toUtf8(name, buffer, sizeof(buffer));
        benchmark::DoNotOptimize(length);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_ToUtf8ShortName);

// As the BSDF set-up does it: measure, then convert into a buffer of the measured length + 2.
void BM_ToUtf8MeasureThenConvert(benchmark::State& state) {
    const char16_t* name = u"Car paint \u00E9clat #12";
    char buffer[64];
    for (auto _ : state) {
        benchmark::DoNotOptimize(name);
        const int32_t measured = glitter::toUtf8(name, nullptr, 0);
        const int32_t length = glitter::toUtf8(name, buffer, measured + 2);
        benchmark::DoNotOptimize(length);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_ToUtf8MeasureThenConvert);

}  // namespace
