#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "bsdf/flake_evaluation.h"
#include "tests/bsdf/bsdf_test_support.h"

namespace glitter {
namespace {

using KuvoUtils::Color;
using KuvoUtils::Vector;
using test::channel;
using test::TestContext;
using test::TestMaterial;

template <class T>
class BsdfEvaluation : public ::testing::Test {};
TYPED_TEST_SUITE(BsdfEvaluation, test::BsdfVariants);

// A query by hand: flake i of `count` points along (i, 0, 1) with weight 1; the last block's
// remaining lanes are filler of weight 0 pointing straight up.
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
TYPED_TEST(BsdfEvaluation, SmoothLobeWorkedValue) {
    for (const auto& [randomLightness, grey] : {std::pair{1, 0.5f}, {0, 0.2f}}) {
        TestMaterial m;
        m.values.enable_flakes = 0;
        m.values.random_lightness = randomLightness;
        m.values.lightness = 0.2f;
        m.values.reflection_filter = {0.5f, 0.25f, 1.0f};
        m.refresh();
        TestContext c;
        DiscreteMicrofacetBSDF<TypeParam> bsdf;
        setupBSDF(m.view(), c, bsdf, 0);
        ASSERT_EQ(bsdf.inactive, 0);
        const float g = kPlainFlakes<TypeParam> ? 1.0f : grey;
        float pdf;
        EXPECT_NEAR(channel(evalFlakes(bsdf.query, {0, 0, 1}, pdf)), 50.0f * g, 1e-3f);
        EXPECT_NEAR(pdf, 50.0f, 1e-3f);
        const Color light{2.0f, 1.0f, 4.0f};
        const Color out = bsdf.evalLight(c, {0, 0, 1}, light, 0, 50.0f, 2);
        EXPECT_NEAR(out.r, 12.5f * g * 0.5f * 2.0f, 1e-3f);
        EXPECT_NEAR(out.g, 12.5f * g * 0.25f * 1.0f, 1e-3f);
        EXPECT_NEAR(out.b, 12.5f * g * 1.0f * 4.0f, 1e-3f);
        // No light density, a light in the tangent plane or below, or no light flag: black.
        EXPECT_EQ(bsdf.evalLight(c, {0, 0, 1}, light, 0, 0.0f, 2).r, 0.0f);
        EXPECT_EQ(bsdf.evalLight(c, {1, 0, 0}, light, 0, 50.0f, 2).r, 0.0f);
        EXPECT_EQ(bsdf.evalLight(c, {0, 0.6f, -0.8f}, light, 0, 50.0f, 2).r, 0.0f);
        EXPECT_EQ(bsdf.evalLight(c, {0, 0, 1}, light, 0, 50.0f, 1).r, 0.0f);
        // A light density of 100 against the BSDF's 50 takes 100² / (50² + 100²) = 0.8 of it.
        EXPECT_NEAR(bsdf.evalLight(c, {0, 0, 1}, light, 0, 100.0f, 2).r, 20.0f * g, 1e-3f);
    }
    // Grazing directions are shadowed: the fit falls towards 0.
    EXPECT_LT(smithG(0.05f, 1.0f, 0.5f), 0.3f);
    EXPECT_GT(smithG(0.05f, 1.0f, 0.5f), 0.0f);
    EXPECT_EQ(smithG(1.0f, 0.05f, 0.5f), smithG(0.05f, 1.0f, 0.5f));
    EXPECT_EQ(beckmannD(-0.5f, 0.1f), 0.0f);
}

// Discrete flakes with a blur angle of 0 reflect nothing (not 0/0), and with a narrow lobe a
// light outside every flake's cone sees nothing.
TYPED_TEST(BsdfEvaluation, EmptyConesAreBlack) {
    for (const auto& [glossiness, blur] : {std::pair{0.9f, 0.0f}, {0.99f, 3.0f}}) {
        TestMaterial m;
        m.values.hilight_glossiness = glossiness;
        m.values.blur_angle = blur;
        m.refresh();
        TestContext c;
        test::setFootprint(c, 100.0f, m.values.num_flakes);
        DiscreteMicrofacetBSDF<TypeParam> bsdf;
        setupBSDF(m.view(), c, bsdf, 0);
        ASSERT_EQ(bsdf.query.enabled, 1);
        float pdf = -1.0f;
        const Vector l = blur == 0.0f ? Vector{0.1f, 0.05f, 0.99f} : Vector{0.8f, 0, 0.6f};
        EXPECT_EQ(channel(evalFlakes(bsdf.query, l, pdf)), 0.0f);
        EXPECT_EQ(pdf, 0.0f);
    }
}

// The density's flake count covers only the real flakes, never the filler lanes of the last
// block, which sampling cannot pick.
TEST(BsdfEvaluation, FillerLanesDoNotCountInTheDensity) {
    TestMaterial m;
    DiscreteMicrofacetBSDF<float> bsdf;
    handQuery(bsdf.query, m.params, 1);
    bsdf.query.blocks.data[0].x[0] = 0.0f;
    bsdf.query.probeDir = {0, 0, 1};
    const FlakeConeSum<float> s = sumFlakesInCone(bsdf.query);
    EXPECT_EQ(s.count, 1);
    EXPECT_EQ(s.sum, 1.0f);
}

// A uniform picks a flake by index across blocks; a uniform of 1 still picks the last real one.
TEST(BsdfEvaluation, UniformPicksFlakeByIndexAcrossBlocks) {
    TestMaterial m;
    DiscreteMicrofacetBSDF<float> bsdf;
    handQuery(bsdf.query, m.params, 5);
    float value, pdf;
    for (const float pick : {0.99f, 1.0f}) {
        const float u[4] = {pick, 0.0f, 1.0f, 0.0f};
        EXPECT_EQ(sampleFlakes(bsdf.query, u, value, pdf).x, 4.0f);  // block 1, lane 0
    }
}

// Each found flake is a mirror spread evenly over its cone, so over many independent footprints
// of one expected count the discrete value approaches the smooth lobe times the half vector's
// cosine, D(h) h.z.
TEST(BsdfEvaluationStatistical, DiscreteValueAveragesToTheSmoothLobe) {
    TestMaterial m;
    m.values.blend_min = 10000.0f;  // the discrete part alone
    m.values.blend_max = 10000.0f;
    m.values.hilight_glossiness = 0.7f;
    m.values.blur_angle = 8.0f;
    m.refresh();
    const Vector lights[] = {
        {0, 0, 1}, normalize(Vector{0.3f, 0.1f, 0.9f}), normalize(Vector{-0.4f, 0.3f, 0.8f})};
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> pos(0.05f, 0.9f);
    double sums[3] = {0, 0, 0};
    const int footprints = 3000;
    for (int i = 0; i < footprints; ++i) {
        TestContext c;
        test::setFootprint(c, 300.0f, m.values.num_flakes, pos(rng), pos(rng));
        DiscreteMicrofacetBSDF<float> bsdf;
        setupBSDF(m.view(), c, bsdf, 0);
        for (int j = 0; j < 3; ++j) {
            const Vector h = normalize(lights[j] + Vector{0, 0, 1});
            bsdf.query.probeDir = {lights[j].x, lights[j].y, lights[j].z};
            float pdf;
            sums[j] += evalDiscrete(bsdf.query, dot(lights[j], h), h.z, pdf);
        }
    }
    for (int j = 0; j < 3; ++j) {
        const Vector h = normalize(lights[j] + Vector{0, 0, 1});
        const double ratio = sums[j] / footprints / (beckmannD(h.z, m.params.roughness) * h.z);
        std::printf("light %d: mean discrete / D(h) h.z = %.4f\n", j, ratio);
        EXPECT_NEAR(ratio, 1.0, 0.05);
    }
}

}  // namespace
}  // namespace glitter
