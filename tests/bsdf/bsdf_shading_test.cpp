// Evaluation and sampling of the BSDF: worked values of the smooth lobe, the discrete flakes'
// density and picks, weights in step with the density, and the same bits from any thread.

#include <gtest/gtest.h>

#include <cfloat>
#include <bit>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "bsdf/flake_evaluation.h"
#include "tests/bsdf/bsdf_test_support.h"

namespace glitter {
namespace {

using KuvoUtils::Color;
using KuvoUtils::Vector;
using test::channel;

template <class T>
class BsdfEvaluation : public ::testing::Test {};
TYPED_TEST_SUITE(BsdfEvaluation, test::BsdfVariants);

// A query by hand: flake i of `count` points along (i, 0, 1), weight 1; filler lanes weigh 0.
void handQuery(FlakeQuery<float>& q, const FlakeParams& params, uint32_t count) {
    q.params = &params;
    q.enabled = 1;
    q.flakeCount = count;
    q.blocks.resize(int32_t(count + 3) / 4);
    for (uint32_t i = 0; i < uint32_t(q.blocks.count) * 4; ++i) {
        FlakeBlock<float>& b = q.blocks.data[i / 4];
        b.x[i % 4] = i < count ? float(i) : 0.0f;
        b.y[i % 4] = 0.0f;
        b.z[i % 4] = 1.0f;
        b.weight[i % 4] = i < count ? 1.0f : 0.0f;
    }
}

// The smooth lobe at normal incidence: D = 50, density 50, G = 1; evalLight's power heuristic
// against a light density of 50 gives 50 x 0.5 x 0.5 = 12.5 times filter and light. The
// coloured variant's smooth lobe is grey: 0.5 with random lightness, else the fixed lightness.
TYPED_TEST(BsdfEvaluation, SmoothLobeWorkedValueAndSample) {
    for (const auto& [randomLightness, grey] : {std::pair{1, 0.5f}, {0, 0.2f}}) {
        test::Shading<TypeParam> s;
        s.m.values.enable_flakes = 0;
        s.m.values.random_lightness = randomLightness;
        s.m.values.lightness = 0.2f;
        s.m.values.reflection_filter = {0.5f, 0.25f, 1.0f};
        auto& bsdf = s.setup();
        ASSERT_EQ(bsdf.inactive, 0);
        const float g = kPlainFlakes<TypeParam> ? 1.0f : grey;
        float pdf;
        EXPECT_NEAR(channel(evalFlakes(bsdf.query, {0, 0, 1}, pdf)), 50.0f * g, 1e-3f);
        EXPECT_NEAR(pdf, 50.0f, 1e-3f);
        const Color light{2.0f, 1.0f, 4.0f};
        const Color out = bsdf.evalLight(s.c, {0, 0, 1}, light, 0, 50.0f, 2);
        EXPECT_NEAR(out.r, 12.5f * g * 0.5f * 2.0f, 1e-3f);
        EXPECT_NEAR(out.g, 12.5f * g * 0.25f * 1.0f, 1e-3f);
        EXPECT_NEAR(out.b, 12.5f * g * 1.0f * 4.0f, 1e-3f);
        // No light density, a light in the tangent plane or below, or no light flag: black.
        EXPECT_EQ(bsdf.evalLight(s.c, {0, 0, 1}, light, 0, 0.0f, 2).r, 0.0f);
        EXPECT_EQ(bsdf.evalLight(s.c, {1, 0, 0}, light, 0, 50.0f, 2).r, 0.0f);
        EXPECT_EQ(bsdf.evalLight(s.c, {0, 0.6f, -0.8f}, light, 0, 50.0f, 2).r, 0.0f);
        EXPECT_EQ(bsdf.evalLight(s.c, {0, 0, 1}, light, 0, 50.0f, 1).r, 0.0f);
        // A light density of 100 against the BSDF's 50 takes 100² / (50² + 100²) = 0.8 of it;
        // a point light's enormous density all of it.
        EXPECT_NEAR(bsdf.evalLight(s.c, {0, 0, 1}, light, 0, 100.0f, 2).r, 20.0f * g, 1e-3f);
        for (const float lightPdf : {2e19f, 1e30f, FLT_MAX, INFINITY})
            EXPECT_NEAR(bsdf.evalLight(s.c, {0, 0, 1}, light, 0, lightPdf, 2).r, 25.0f * g, 1e-3f);
        // The sample slot's contract; its weights are checked against evaluation below.
        KuvoUtils::KuvoContext* child = bsdf.spawnSampleContext(s.c, 0, 0);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(std::pair(child->rayKind, child->rayFlags), std::pair(2, 0x9002));
        EXPECT_EQ(bsdf.sampleDirection(s.c, *child, 0.0f), 1.0f);
        EXPECT_NEAR(child->rayDir.z, 1.0f, 1e-6f);  // u = 0 gives the normal itself
        EXPECT_EQ(child->traceDir, child->rayDir);
        EXPECT_EQ(bsdf.spawnSampleContext(s.c, 0, 2), nullptr);  // mode 2 gets no sample
        bsdf.inactive = 1;
        EXPECT_EQ(bsdf.spawnSampleContext(s.c, 0, 0), nullptr);
    }
    // Grazing directions are shadowed: the fit falls towards 0; cosines a step above 1 are not.
    EXPECT_LT(smithG(0.05f, 1.0f, 0.5f), 0.3f);
    EXPECT_GT(smithG(0.05f, 1.0f, 0.5f), 0.0f);
    EXPECT_EQ(smithG(1.0f, 0.05f, 0.5f), smithG(0.05f, 1.0f, 0.5f));
    const float above = std::nextafter(1.0f, 2.0f);
    EXPECT_EQ(smithG(above, above, 0.1f), 1.0f);
    EXPECT_EQ(beckmannD(-0.5f, 0.1f), 0.0f);
}

// A blur angle of 0 reflects nothing (not 0/0); with a narrow lobe, a light outside every cone too.
TYPED_TEST(BsdfEvaluation, EmptyConesAreBlack) {
    for (const auto& [glossiness, blur] : {std::pair{0.9f, 0.0f}, {0.99f, 3.0f}}) {
        test::Shading<TypeParam> s;
        s.m.values.hilight_glossiness = glossiness;
        s.m.values.blur_angle = blur;
        test::setFootprint(s.c, 100.0f, s.m.values.num_flakes);
        ASSERT_EQ(s.setup().query.enabled, 1);
        float pdf = -1.0f;
        const Vector l = blur == 0.0f ? Vector{0.1f, 0.05f, 0.99f} : Vector{0.8f, 0, 0.6f};
        EXPECT_EQ(channel(evalFlakes(s.bsdf.query, l, pdf)), 0.0f);
        EXPECT_EQ(pdf, 0.0f);
    }
}

// The density counts only real flakes, never the last block's filler lanes; a uniform picks a
// flake by index across blocks, and one of 1 still picks the last real one.
TEST(BsdfEvaluation, FillerLanesAreNeitherCountedNorPicked) {
    test::TestMaterial m;
    FlakeQuery<float> q;
    handQuery(q, m.params, 1);
    q.probeDir = {0, 0, 1};
    const FlakeConeSum<float> sum = sumFlakesInCone(q);
    EXPECT_EQ(std::pair(sum.count, sum.sum), std::pair(1, 1.0f));
    handQuery(q, m.params, 5);
    float value, pdf;
    for (const float pick : {0.99f, 1.0f}) {
        const float u[4] = {pick, 0.0f, 1.0f, 0.0f};
        EXPECT_EQ(sampleFlakes(q, u, value, pdf).x, 4.0f);  // block 1, lane 0
    }
}

// Each found flake is a mirror spread evenly over its cone, so over many footprints of one
// expected count the discrete value approaches the smooth lobe times h.z, D(h) h.z.
TEST(BsdfEvaluationStatistical, DiscreteValueAveragesToTheSmoothLobe) {
    const Vector lights[] = {
        {0, 0, 1}, normalize(Vector{0.3f, 0.1f, 0.9f}), normalize(Vector{-0.4f, 0.3f, 0.8f})};
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> pos(0.05f, 0.9f);
    double sums[3] = {0, 0, 0};
    Vector halves[3];
    for (int j = 0; j < 3; ++j) halves[j] = normalize(lights[j] + Vector{0, 0, 1});
    const int footprints = 3000;
    test::Shading<> s;
    s.m.values.blend_min = 10000.0f;  // the discrete part alone
    s.m.values.blend_max = 10000.0f;
    s.m.values.hilight_glossiness = 0.7f;
    s.m.values.blur_angle = 8.0f;
    for (int i = 0; i < footprints; ++i) {
        test::setFootprint(s.c, 300.0f, s.m.values.num_flakes, pos(rng), pos(rng));
        s.setup();
        for (int j = 0; j < 3; ++j) {
            s.bsdf.query.probeDir = {lights[j].x, lights[j].y, lights[j].z};
            float pdf;
            sums[j] += evalDiscrete(s.bsdf.query, dot(lights[j], halves[j]), halves[j].z, pdf);
        }
    }
    for (int j = 0; j < 3; ++j) {
        const double smooth = beckmannD(halves[j].z, s.m.params.roughness) * halves[j].z;
        EXPECT_NEAR(sums[j] / footprints / smooth, 1.0, 0.05) << "light " << j;
    }
}

// Every accepted sample's weight is its value over its density, times the filter.
TYPED_TEST(BsdfEvaluation, SampleWeightIsValueOverDensity) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> unit(0.0f, 0.999f);
    int accepted = 0;
    for (float expected : {0.0f, 60.0f, 600.0f}) {
        test::Shading<TypeParam> s;
        s.m.values.reflection_filter = {0.8f, 0.5f, 0.25f};
        s.m.values.random_hue = 1;
        s.m.values.random_saturation = 1;
        s.m.values.enable_flakes = expected > 0.0f;
        test::setFootprint(s.c, std::max(expected, 1.0f), s.m.values.num_flakes);
        s.c.setRayDir(normalize(Vector{0.3f, -0.2f, -1.0f}));
        auto& bsdf = s.setup();
        for (int i = 0; i < 2000; ++i) {
            const auto* child = test::drawSample(bsdf, s.c, {unit(rng), unit(rng), unit(rng), unit(rng)});
            ASSERT_NE(child, nullptr);
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
    test::TestMaterial m;
    m.values.random_hue = 1;
    m.refresh();
    const auto shade = [&](DiscreteMicrofacetBSDF<Color>& bsdf) {
        std::vector<uint32_t> out;  // the bits of every value
        for (int i = 0; i < 30; ++i) {
            test::TestContext c;
            test::setFootprint(c, 20.0f + 20.0f * float(i), m.values.num_flakes, 0.01f * float(i),
                               0.3f);
            setupBSDF(m.view(), c, bsdf, 0);
            for (int j = 0; j < 20; ++j) {
                const Vector l = normalize(Vector{0.05f * float(j) - 0.5f, 0.1f, 1.0f});
                const Color v = bsdf.evalLight(c, l, {1, 1, 1}, 0, 3.0f, 2);
                for (const float x : {v.r, v.g, v.b}) out.push_back(std::bit_cast<uint32_t>(x));
            }
        }
        return out;
    };
    DiscreteMicrofacetBSDF<Color> first;
    const std::vector<uint32_t> reference = shade(first);
    std::vector<std::vector<uint32_t>> results(3);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            DiscreteMicrofacetBSDF<Color> bsdf;
            for (int k = 0; k <= t; ++k) shade(bsdf);
            results[size_t(t)] = shade(bsdf);
        });
    }
    for (auto& th : threads) th.join();
    for (const auto& r : results) EXPECT_EQ(r, reference);
}

}  // namespace
}  // namespace glitter
