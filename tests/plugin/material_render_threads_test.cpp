// A whole render through the material's render-time face, on several render threads at once:
// prepare, attach, thousands of BSDFs taken and given back, detach, finish, twice in a row, for
// plain and coloured flakes. Runs under ThreadSanitizer with the threads label.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <type_traits>
#include <vector>

#include "plugin/stochastic_flakes_params.h"
#include "tests/bsdf/bsdf_test_support.h"
#include "tests/plugin/plugin_test_support.h"

namespace glitter {
namespace {

using namespace host;
using test::MaterialHandle;
using test::TestRenderer;

constexpr int kThreads = 4;
constexpr int kIterations = 3000;

template <class Pools>
int elementsOf(const Pools& pools, int thread) {
    int n = 0;
    for (auto* b = pools.pools[thread].sequence.first; b != nullptr; b = b->next) n += b->used;
    return n;
}

struct ThreadResult {
    int acquired = 0;
    int wrongVariant = 0;
    int notFinite = 0;
    int notReused = 0;
};

// One render thread: BSDFs at many points, mostly one at a time, sometimes two held at once,
// and every 97th point with a footprint far too big for the flake scale (the warning).
template <class Expected>
void shade(KuvoUtils::KuvoRenderMtl& face, int thread, ThreadResult& result) {
    test::TestContext c;
    c.thread.threadIndex = thread;
    for (int i = 0; i < kIterations; ++i) {
        const float u = 0.001f * float((i * 37 + thread * 11) % 1000);
        const float side = i % 97 == 0 ? 2.0f : 0.2f;
        c.uvw = {u, 1.0f - u, 0};
        c.dPdx = {side, 0, 0};
        c.dPdy = {0, side, 0};
        KuvoUtils::BSDFSampler* bsdf = face.acquireBSDF(c, 0);
        if (bsdf == nullptr) continue;
        ++result.acquired;
        if (dynamic_cast<Expected*>(bsdf) == nullptr) ++result.wrongVariant;
        const KuvoUtils::Color l = bsdf->getBRDF(0)->evalLight(c, {0.3f, 0.1f, 0.95f}, {1, 1, 1}, 0, 1.0f, 0);
        if (!std::isfinite(l.r) || !std::isfinite(l.g) || !std::isfinite(l.b)) ++result.notFinite;
        if (i % 10 == 0) {
            KuvoUtils::BSDFSampler* second = face.acquireBSDF(c, 1);
            face.releaseBSDF(c, second);
        }
        face.releaseBSDF(c, bsdf);
        // Given back on this thread and taken again with nothing in between: the same object.
        KuvoUtils::BSDFSampler* again = face.acquireBSDF(c, 0);
        if (again != bsdf) ++result.notReused;
        face.releaseBSDF(c, again);
    }
}

template <class T>
auto& poolsOf(StochasticFlakesMtl& m) {
    if constexpr (std::is_same_v<T, float>) {
        return m.floatPools;
    } else {
        return m.colorPools;
    }
}

template <class T, class Other>
void renderTwice(bool randomHue) {
    using Expected = DiscreteMicrofacetBSDF<T>;
    MaterialHandle m;
    m->SetName(u"Glitter");
    m.pb().SetValue(kRandomHue, 0, randomHue ? 1 : 0);
    m.pb().SetValue(kRandomSaturation, 0, 1);
    m.pb().SetValue(kNumFlakes, 0, 100);  // few enough that the big footprints stay discrete
    m->Validity(0);
    KuvoUtils::KuvoRenderMtl& face = m.face();
    TestRenderer r(kThreads);
    for (int render = 0; render < 2; ++render) {
        SCOPED_TRACE(::testing::Message() << "render " << render);
        face.prepareRender(0, &r.instance);
        ASSERT_EQ(poolsOf<T>(*m).count, kThreads);
        face.attachLog(0, &r.instance);
        std::vector<ThreadResult> results(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&face, &results, t] { shade<Expected>(face, t, results[static_cast<std::size_t>(t)]); });
        }
        for (std::thread& t : threads) t.join();
        face.detachLog();
        for (int t = 0; t < kThreads; ++t) {
            const ThreadResult& res = results[static_cast<std::size_t>(t)];
            EXPECT_EQ(res.acquired, kIterations) << "thread " << t;
            EXPECT_EQ(res.wrongVariant, 0);
            EXPECT_EQ(res.notFinite, 0);
            EXPECT_EQ(res.notReused, 0);
            EXPECT_LE(elementsOf(poolsOf<T>(*m), t), 2) << "a thread never holds more than two";
        }
        EXPECT_EQ(poolsOf<Other>(*m).pools, nullptr) << "only the chosen variant has pools";
        EXPECT_EQ(r.warnings(), static_cast<std::size_t>(render + 1)) << "one warning per attach, from all threads";
        face.finishRender();
        EXPECT_EQ(poolsOf<T>(*m).pools, nullptr);
        EXPECT_EQ(poolsOf<T>(*m).count, 0);
        test::TestContext late;
        EXPECT_EQ(face.acquireBSDF(late, 0), nullptr) << "no BSDFs after the render";
    }
    ASSERT_FALSE(r.log.entries().empty());
    EXPECT_EQ(r.log.entries()[0].message.rfind("Glitter :: Stochastic flakes scale is too big!", 0), 0u);
}

TEST(StochasticFlakesMtlThreads, PlainFlakesRenderLifecycle) {
    renderTwice<float, KuvoUtils::Color>(false);
}

TEST(StochasticFlakesMtlThreads, ColoredFlakesRenderLifecycle) {
    renderTwice<KuvoUtils::Color, float>(true);
}

}  // namespace
}  // namespace glitter
