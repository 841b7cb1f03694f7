#include "material_runtime/flakes_render_mtl.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/bsdf/bsdf_test_support.h"

namespace glitter {
namespace {

using KuvoUtils::BSDFSampler;
using test::TestContext;
using test::TestRenderer;

class TestRenderMtl : public FlakesRenderMtl {
  public:
    CachedParameterValues& values() { return cached; }
    const char16_t* nameForLog() const override { return u"Sparkle"; }
};

// random_hue picks the variant at render start; the render keeps it even when random_hue changes
// in between, so every BSDF goes back to the pool it came from and finishRender frees it.
TEST(FlakesRenderMtl, VariantIsChosenAtRenderStartAndPinnedUntilTheEnd) {
    TestRenderer r(3);
    TestRenderMtl m;
    TestContext c;
    EXPECT_EQ(m.acquireBSDF(c, 0), nullptr);  // before the render starts
    m.releaseBSDF(c, nullptr);                // ignored
    m.prepareRender(0, &r.instance);
    EXPECT_EQ(m.floatPools.count, 3);
    EXPECT_EQ(m.colorPools.pools, nullptr);
    // The block's values reach the render, the blend band's bounds each in its place.
    EXPECT_EQ(m.flakeParams.cosBlurAngle, 0.9986295f);
    EXPECT_EQ(std::pair(m.flakeParams.blendMin, m.flakeParams.blendMax), std::pair(500.0f, 700.0f));
    BSDFSampler* a = m.acquireBSDF(c, 0);
    m.values().random_hue = 1;
    BSDFSampler* b = m.acquireBSDF(c, 0);
    EXPECT_NE(dynamic_cast<DiscreteMicrofacetBSDF<float>*>(b), nullptr);
    m.releaseBSDF(c, b);
    m.releaseBSDF(c, a);
    EXPECT_EQ(m.acquireBSDF(c, 0), a);  // the last released is the first taken again
    m.releaseBSDF(c, a);
    for (int i = 0; i < 101; ++i) m.recordInteger(i);  // grows in steps of a hundred
    EXPECT_EQ(m.recordedIntegers.capacity, 200);
    EXPECT_EQ(m.recordedIntegers.data[100], 100);
    m.finishRender();
    EXPECT_EQ(m.floatPools.pools, nullptr);
    EXPECT_EQ(m.recordedIntegers.capacity, 0);
    EXPECT_EQ(m.acquireBSDF(c, 0), nullptr);

    m.prepareRender(0, &r.instance);
    EXPECT_EQ(m.colorPools.count, 3);
    EXPECT_EQ(m.floatPools.pools, nullptr);
    BSDFSampler* colored = m.acquireBSDF(c, 0);
    EXPECT_NE(dynamic_cast<DiscreteMicrofacetBSDF<KuvoUtils::Color>*>(colored), nullptr);
    m.releaseBSDF(c, colored);
    m.finishRender();
    EXPECT_EQ(m.colorPools.pools, nullptr);
}

TEST(FlakesRenderMtl, LogIsLentBetweenAttachAndDetach) {
    TestRenderer r(1);
    TestRenderMtl m;
    m.values().num_flakes = 100;  // a footprint of one whole cell stays under blend_max
    m.prepareRender(0, &r.instance);
    TestContext c;
    c.footprint({0.5f, 0.5f, 0}, {1.0f, 0, 0}, {0, 1.0f, 0});
    const auto shade = [&](int times) {
        for (int i = 0; i < times; ++i) m.releaseBSDF(c, m.acquireBSDF(c, 0));
        return r.log.count(KuvoUtils::RenderLog::Level::warning);
    };
    EXPECT_EQ(shade(1), 0u);  // not attached: silent
    m.attachLog(0, &r.instance);
    EXPECT_EQ(shade(3), 1u);
    m.detachLog();
    m.scaleWarningShown = 0;  // armed, but with no log lent nothing is printed
    EXPECT_EQ(shade(1), 1u);
    EXPECT_EQ(r.log.entries()[0].message.rfind("Sparkle :: Stochastic flakes scale is too big!", 0),
              0u);
    m.attachLog(0, &r.instance);  // re-armed
    EXPECT_EQ(shade(1), 2u);
    r.info.log = nullptr;
    m.attachLog(0, &r.instance);
    EXPECT_EQ(m.renderLog, nullptr);
    m.finishRender();
}

// The whole lifecycle on several render threads, twice, plain and coloured; run under TSan in CI.
TEST(FlakesRenderMtlThreads, WholeRenderLifecycle) {
    constexpr int kThreads = 4;
    for (int hue : {0, 1, 0}) {
        TestRenderer r(kThreads);
        TestRenderMtl m;
        m.values().random_hue = hue;
        m.values().num_flakes = 400;  // some footprints span a cell: the warning races
        for (int render = 0; render < 2; ++render) {
            m.prepareRender(0, &r.instance);
            m.attachLog(0, &r.instance);
            std::vector<int> failures(kThreads, 0);
            std::vector<std::thread> threads;
            for (int t = 0; t < kThreads; ++t) {
                threads.emplace_back([&, t] {
                    TestContext c;
                    c.thread.threadIndex = t;
                    std::vector<BSDFSampler*> held;
                    for (int i = 0; i < 1500; ++i) {
                        const float side = (i % 50 == 0) ? 1.2f : 0.02f;
                        c.footprint({0.001f * float(i), 0.3f + 0.01f * float(t), 0},
                                    {side, 0, 0}, {0, side, 0});
                        BSDFSampler* bsdf = m.acquireBSDF(c, 0);
                        if (bsdf == nullptr || bsdf->getBRDF(0) == nullptr) ++failures[size_t(t)];
                        held.push_back(bsdf);
                        if (held.size() > size_t(i % 7)) {
                            for (auto* h : held) m.releaseBSDF(c, h);
                            held.clear();
                        }
                    }
                    for (auto* h : held) m.releaseBSDF(c, h);
                });
            }
            for (auto& th : threads) th.join();
            m.detachLog();
            m.finishRender();
            for (int f : failures) EXPECT_EQ(f, 0);
        }
        // Several threads may print before one sets the flag; at least one warning per attach.
        EXPECT_GE(r.log.count(KuvoUtils::RenderLog::Level::warning), 2u);
    }
}

}  // namespace
}  // namespace glitter
