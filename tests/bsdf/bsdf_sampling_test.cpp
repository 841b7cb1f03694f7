#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "tests/bsdf/bsdf_test_support.h"

namespace glitter {
namespace {

using test::TestContext;
using test::TestMaterial;
using KuvoUtils::Color;
using KuvoUtils::Vector;

template <class T>
class BsdfSampling : public ::testing::Test {};
TYPED_TEST_SUITE(BsdfSampling, test::BsdfVariants);
using test::channel;


// The smooth lobe's worked sample: u = 0 gives the normal itself, d = (0, 0, 1), value and
// density 50, so the child's weight is the reflection filter.
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
    EXPECT_EQ(child->maxDistance, 1e18);
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

TYPED_TEST(BsdfSampling, DiscreteSampleLandsInTheChosenFlakesCone) {
    TestMaterial m;
    TestContext c;
    test::setFootprint(c, 40.0f, m.values.num_flakes);
    DiscreteMicrofacetBSDF<TypeParam> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    FlakeQuery<TypeParam>& q = bsdf.query;
    ASSERT_EQ(q.enabled, 1);
    ASSERT_GT(q.flakeCount, 4u);
    const uint32_t n = q.flakeCount;
    auto flake = [&](uint32_t k) {
        const FlakeBlock<TypeParam>& b = q.blocks.data[k / 4];
        return Vector{b.x[k % 4], b.y[k % 4], b.z[k % 4]};
    };
    // u[2] = 1: exactly the flake's mirror direction.
    const float u1[4] = {0.0f, 0.3f, 1.0f, 0.2f};
    TypeParam value;
    float pdf;
    Vector d = sampleFlakes(q, u1, value, pdf);
    EXPECT_EQ(d, flake(0));
    // u[2] = 0: on the cone's rim, acos(cosBlurAngle) from the flake.
    const float u2[4] = {(float(n) - 0.5f) / float(n), 0.3f, 0.0f, 0.7f};
    d = sampleFlakes(q, u2, value, pdf);
    EXPECT_NEAR(dot(d, flake(n - 1)) / length(flake(n - 1)), m.params.cosBlurAngle, 2e-6f);
    // A uniform of 1 (out of range) still picks the last real flake.
    const float u3[4] = {1.0f, 0.3f, 1.0f, 0.0f};
    d = sampleFlakes(q, u3, value, pdf);
    EXPECT_EQ(d, flake(n - 1));
}

TEST(BsdfSampling, FlakeIndexOfTheWorkedExample) {
    TestMaterial m;
    DiscreteMicrofacetBSDF<float> bsdf;
    FlakeQuery<float>& q = bsdf.query;
    q.params = &m.params;
    q.enabled = 1;
    q.flakeCount = 5;
    q.blocks.resize(2);
    for (int i = 0; i < 8; ++i) {
        q.blocks.data[i / 4].x[i % 4] = float(i);
        q.blocks.data[i / 4].y[i % 4] = 0.0f;
        q.blocks.data[i / 4].z[i % 4] = 1.0f;
        q.blocks.data[i / 4].weight[i % 4] = 1.0f;
    }
    const float u[4] = {0.99f, 0.0f, 1.0f, 0.0f};
    float value, pdf;
    const Vector d = sampleFlakes(q, u, value, pdf);
    EXPECT_EQ(d.x, 4.0f);  // flake 4: block 1, lane 0
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
            c.child->samples[1] = unit(rng);
            c.child->samples[2] = unit(rng);
            c.child->samples[3] = unit(rng);
            bsdf.sampleDirection(c, *child, unit(rng));
            if (child->colorWeight.r == 0.0f) continue;
            ++accepted;
            float pdf;
            const TypeParam v = evalFlakes(bsdf.query, toLocal(bsdf.frameInverse, child->rayDir), pdf);
            EXPECT_NEAR(pdf, child->density, 1e-3f * pdf);
            EXPECT_NEAR(child->colorWeight.r, channel(v) / pdf * 0.8f, 1e-4f * child->colorWeight.r);
        }
    }
    EXPECT_GT(accepted, 3000);
}

// The same shading point gives the same bits from any pooled object and any thread.
TEST(BsdfSamplingThreads, SameShadingPointSameBits) {
    TestMaterial m;
    m.values.random_hue = 1;
    m.refresh();
    auto shade = [&](DiscreteMicrofacetBSDF<Color>& bsdf, std::vector<float>& out) {
        out.clear();
        for (int i = 0; i < 30; ++i) {
            TestContext c;
            test::setFootprint(c, 20.0f + 20.0f * float(i), m.values.num_flakes, 0.01f * float(i), 0.3f);
            setupBSDF(m.view(), c, bsdf, 0);
            for (int j = 0; j < 20; ++j) {
                const Vector l = normalize(Vector{0.05f * float(j) - 0.5f, 0.1f, 1.0f});
                const Color v = bsdf.evalLight(c, l, {1, 1, 1}, 0, 3.0f, 2);
                out.insert(out.end(), {v.r, v.g, v.b});
            }
        }
    };
    DiscreteMicrofacetBSDF<Color> first;
    std::vector<float> reference;
    shade(first, reference);
    std::vector<std::vector<float>> results(3);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            DiscreteMicrofacetBSDF<Color> bsdf;
            std::vector<float> warmup;
            for (int k = 0; k <= t; ++k) shade(bsdf, warmup);
            shade(bsdf, results[size_t(t)]);
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
