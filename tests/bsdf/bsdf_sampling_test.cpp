#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "tests/bsdf/bsdf_test_support.h"

namespace glitter {
namespace {

using KuvoUtils::Color;
using KuvoUtils::Vector;
using test::channel;
using test::TestContext;
using test::TestMaterial;

template <class T>
class BsdfSampling : public ::testing::Test {};
TYPED_TEST_SUITE(BsdfSampling, test::BsdfVariants);

// The smooth lobe's worked sample: u = 0 gives the normal itself, value and density 50, so the
// child's weight is the reflection filter (times the grey of the coloured variant).
TYPED_TEST(BsdfSampling, SmoothWorkedSample) {
    TestMaterial m;
    m.values.enable_flakes = 0;
    m.values.random_lightness = 1;
    m.values.reflection_filter = {0.5f, 0.6f, 0.7f};
    TestContext c;
    DiscreteMicrofacetBSDF<TypeParam> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    KuvoUtils::KuvoContext* child = bsdf.spawnSampleContext(c, 0, 0);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->rayKind, 2);
    EXPECT_EQ(child->rayFlags, 0x9002);
    EXPECT_EQ(bsdf.sampleDirection(c, *child, 0.0f), 1.0f);
    EXPECT_NEAR(child->density, 50.0f, 1e-3f);
    EXPECT_NEAR(child->rayDir.z, 1.0f, 1e-6f);
    EXPECT_EQ(child->traceDir, child->rayDir);
    const float grey = kPlainFlakes<TypeParam> ? 1.0f : 0.5f;
    EXPECT_NEAR(child->colorWeight.r, 0.5f * grey, 1e-5f);
    EXPECT_NEAR(child->colorWeight.b, 0.7f * grey, 1e-5f);
    EXPECT_EQ(bsdf.spawnSampleContext(c, 0, 2), nullptr);  // mode 2 gets no sample
    bsdf.inactive = 1;
    EXPECT_EQ(bsdf.spawnSampleContext(c, 0, 0), nullptr);
}

// Every accepted sample's weight is its value over its density, times the filter.
TYPED_TEST(BsdfSampling, WeightIsValueOverDensity) {
    TestMaterial m;
    m.values.reflection_filter = {0.8f, 0.5f, 0.25f};
    m.values.random_hue = 1;
    m.values.random_saturation = 1;
    m.refresh();
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> unit(0.0f, 0.999f);
    int accepted = 0;
    for (float expected : {0.0f, 60.0f, 600.0f}) {
        TestContext c;
        m.values.enable_flakes = expected > 0.0f;
        test::setFootprint(c, std::max(expected, 1.0f), m.values.num_flakes);
        c.setRayDir(normalize(Vector{0.3f, -0.2f, -1.0f}));
        DiscreteMicrofacetBSDF<TypeParam> bsdf;
        setupBSDF(m.view(), c, bsdf, 0);
        for (int i = 0; i < 2000; ++i) {
            KuvoUtils::KuvoContext* child = bsdf.spawnSampleContext(c, 0, 0);
            ASSERT_NE(child, nullptr);
            for (int k = 1; k < 4; ++k) c.child->samples[k] = unit(rng);
            bsdf.sampleDirection(c, *child, unit(rng));
            if (child->colorWeight.r == 0.0f) continue;
            ++accepted;
            float pdf;
            const TypeParam v =
                evalFlakes(bsdf.query, toLocal(bsdf.frameInverse, child->rayDir), pdf);
            EXPECT_NEAR(pdf, child->density, 1e-3f * pdf);
            EXPECT_NEAR(child->colorWeight.r, channel(v) / pdf * 0.8f,
                        1e-4f * child->colorWeight.r);
        }
    }
    EXPECT_GT(accepted, 3000);
}

// The same shading point gives the same bits from any pooled object and any thread.
TEST(BsdfSamplingThreads, SameShadingPointSameBits) {
    TestMaterial m;
    m.values.random_hue = 1;
    m.refresh();
    const auto shade = [&](DiscreteMicrofacetBSDF<Color>& bsdf) {
        std::vector<float> out;
        for (int i = 0; i < 30; ++i) {
            TestContext c;
            test::setFootprint(c, 20.0f + 20.0f * float(i), m.values.num_flakes, 0.01f * float(i),
                               0.3f);
            setupBSDF(m.view(), c, bsdf, 0);
            for (int j = 0; j < 20; ++j) {
                const Vector l = normalize(Vector{0.05f * float(j) - 0.5f, 0.1f, 1.0f});
                const Color v = bsdf.evalLight(c, l, {1, 1, 1}, 0, 3.0f, 2);
                out.insert(out.end(), {v.r, v.g, v.b});
            }
        }
        return out;
    };
    DiscreteMicrofacetBSDF<Color> first;
    const std::vector<float> reference = shade(first);
    std::vector<std::vector<float>> results(3);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            DiscreteMicrofacetBSDF<Color> bsdf;
            for (int k = 0; k <= t; ++k) shade(bsdf);
            results[size_t(t)] = shade(bsdf);
        });
    }
    for (auto& th : threads) th.join();
    for (const auto& r : results) {
        ASSERT_EQ(r.size(), reference.size());
        EXPECT_EQ(std::memcmp(r.data(), reference.data(), r.size() * sizeof(float)), 0);
    }
}

}  // namespace
}  // namespace glitter
