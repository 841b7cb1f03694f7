#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "bsdf/flake_evaluation.h"
#include "tests/bsdf/bsdf_test_support.h"

namespace glitter {
namespace {

using test::TestContext;
using test::TestMaterial;

template <class T>
class BsdfEvaluation : public ::testing::Test {};
TYPED_TEST_SUITE(BsdfEvaluation, test::BsdfVariants);
using test::channel;


TEST(BeckmannAndSmith, WorkedValues) {
    EXPECT_NEAR(beckmannD(1.0f, 0.1f), 50.0f, 1e-4f);
    EXPECT_EQ(beckmannD(0.0f, 0.1f), 0.0f);
    EXPECT_EQ(beckmannD(-0.5f, 0.1f), 0.0f);
    EXPECT_EQ(smithG(1.0f, 1.0f, 0.1f), 1.0f);
    // Grazing directions are shadowed; the fit falls towards 0.
    EXPECT_LT(smithG(0.05f, 1.0f, 0.5f), 0.3f);
    EXPECT_GT(smithG(0.05f, 1.0f, 0.5f), 0.0f);
}

// The smooth lobe at normal incidence: D = 50, density 50, G = 1, and evalLight's power
// heuristic against a light density of 50 gives 50 x 0.5 x 0.5 = 12.5 times filter and light.
TYPED_TEST(BsdfEvaluation, SmoothLobeWorkedValue) {
    TestMaterial m;
    m.values.enable_flakes = 0;
    m.values.random_lightness = 1;
    m.values.reflection_filter = {0.5f, 0.25f, 1.0f};
    m.refresh();
    TestContext c;
    DiscreteMicrofacetBSDF<TypeParam> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    ASSERT_EQ(bsdf.inactive, 0);

    float pdf;
    const TypeParam v = evalFlakes(bsdf.query, {0, 0, 1}, pdf);
    EXPECT_NEAR(pdf, 50.0f, 1e-3f);
    // The coloured variant's smooth lobe is grey, 0.5 with random lightness.
    EXPECT_NEAR(channel(v), kPlainFlakes<TypeParam> ? 50.0f : 25.0f, 1e-3f);

    const KuvoUtils::Color light{2.0f, 1.0f, 4.0f};
    const KuvoUtils::Color out = bsdf.evalLight(c, {0, 0, 1}, light, 0, 50.0f, 2);
    const float scale = kPlainFlakes<TypeParam> ? 12.5f : 6.25f;
    EXPECT_NEAR(out.r, scale * 0.5f * 2.0f, 1e-3f);
    EXPECT_NEAR(out.g, scale * 0.25f * 1.0f, 1e-3f);
    EXPECT_NEAR(out.b, scale * 1.0f * 4.0f, 1e-3f);

    // No light density, a light in the tangent plane or below, or no light flag: black.
    EXPECT_EQ(bsdf.evalLight(c, {0, 0, 1}, light, 0, 0.0f, 2).r, 0.0f);
    EXPECT_EQ(bsdf.evalLight(c, {1, 0, 0}, light, 0, 50.0f, 2).r, 0.0f);
    EXPECT_EQ(bsdf.evalLight(c, {0, 0.6f, -0.8f}, light, 0, 50.0f, 2).r, 0.0f);
    EXPECT_EQ(bsdf.evalLight(c, {0, 0, 1}, light, 0, 50.0f, 1).r, 0.0f);
}

TEST(BsdfEvaluation, ColouredSmoothLobeUsesTheFixedLightness) {
    TestMaterial m;
    m.values.enable_flakes = 0;
    m.values.lightness = 0.2f;
    m.refresh();
    TestContext c;
    DiscreteMicrofacetBSDF<KuvoUtils::Color> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    float pdf;
    const KuvoUtils::Color v = evalFlakes(bsdf.query, {0.1f, 0, 0.995f}, pdf);
    EXPECT_GT(v.r, 0.0f);
    EXPECT_EQ(v.r, v.g);
    EXPECT_EQ(v.g, v.b);
    // Against the plain variant at the same point: exactly 0.2 of it.
    DiscreteMicrofacetBSDF<float> plain;
    setupBSDF(m.view(), c, plain, 0);
    float plainPdf;
    const float p = evalFlakes(plain.query, {0.1f, 0, 0.995f}, plainPdf);
    EXPECT_NEAR(v.r, 0.2f * p, 1e-6f * p);
    EXPECT_EQ(pdf, plainPdf);
}

// With discrete flakes and no blend, a light outside every flake's cone sees nothing.
TYPED_TEST(BsdfEvaluation, LightOutsideEveryConeIsBlack) {
    TestMaterial m;
    m.values.hilight_glossiness = 0.99f;  // flakes close to the normal
    m.refresh();
    TestContext c;
    test::setFootprint(c, 50.0f, m.values.num_flakes);
    DiscreteMicrofacetBSDF<TypeParam> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    ASSERT_EQ(bsdf.query.enabled, 1);
    ASSERT_GT(bsdf.query.flakeCount, 0u);
    float pdf;
    const TypeParam v = evalFlakes(bsdf.query, {0.8f, 0, 0.6f}, pdf);
    EXPECT_EQ(channel(v), 0.0f);
    EXPECT_EQ(pdf, 0.0f);
}

// Halfway through the blend band the value is the mean of the discrete value and D, and the
// density the mean of the two densities.
TYPED_TEST(BsdfEvaluation, BlendHalfway) {
    TestMaterial m;
    m.values.random_lightness = 1;
    m.refresh();
    TestContext c;
    test::setFootprint(c, 600.0f, m.values.num_flakes);
    DiscreteMicrofacetBSDF<TypeParam> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    ASSERT_EQ(bsdf.query.enabled, 1);
    ASSERT_NEAR(smoothBlendWeight(bsdf.query), 0.5f, 1e-3f);
    // Find a light direction that some flake reflects into.
    const FlakeBlock<TypeParam>& b = bsdf.query.blocks.data[0];
    const KuvoUtils::Vector l = normalize(KuvoUtils::Vector{b.x[0], b.y[0], b.z[0]});
    ASSERT_GT(l.z, 0.0f);
    KuvoUtils::Vector h = l - KuvoUtils::Vector{0, 0, -1};
    h = normalize(h);

    bsdf.query.probeDir = {l.x, l.y, l.z};
    float blendedPdf;
    const TypeParam blended = evalDiscrete(bsdf.query, dot(l, h), h.z, blendedPdf);
    const float t = smoothBlendWeight(bsdf.query);
    bsdf.query.expectedFlakes = m.values.blend_min;  // the discrete part alone
    float discretePdf;
    const TypeParam discrete = evalDiscrete(bsdf.query, dot(l, h), h.z, discretePdf);
    const float d = beckmannD(h.z, m.params.roughness);
    const float g = kPlainFlakes<TypeParam> ? 1.0f : 0.5f;
    EXPECT_GT(channel(discrete), 0.0f);
    EXPECT_NEAR(channel(blended), (1 - t) * channel(discrete) + t * g * d, 1e-4f * channel(blended));
    EXPECT_NEAR(blendedPdf, (1 - t) * discretePdf + t * d * h.z / dot(l, h), 1e-4f * blendedPdf);
}

TYPED_TEST(BsdfEvaluation, ZeroBlurAngleGivesZeroNotNaN) {
    TestMaterial m;
    m.values.blur_angle = 0.0f;
    m.refresh();
    ASSERT_EQ(m.params.cosBlurAngle, 1.0f);
    TestContext c;
    test::setFootprint(c, 100.0f, m.values.num_flakes);
    DiscreteMicrofacetBSDF<TypeParam> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    ASSERT_EQ(bsdf.query.enabled, 1);
    float pdf = -1.0f;
    const TypeParam v = evalFlakes(bsdf.query, {0.1f, 0.05f, 0.99f}, pdf);
    EXPECT_EQ(channel(v), 0.0f);
    EXPECT_EQ(pdf, 0.0f);
}

// The density's flake count covers only the real flakes, never the filler lanes of the last
// block, which sampling cannot pick.
TEST(BsdfEvaluation, FillerLanesDoNotCountInTheDensity) {
    TestMaterial m;
    m.refresh();
    TestContext c;
    DiscreteMicrofacetBSDF<float> bsdf;
    FlakeQuery<float>& q = bsdf.query;
    q.params = &m.params;
    q.enabled = 1;
    q.flakeCount = 1;
    q.blocks.resize(1);
    for (int k = 0; k < 4; ++k) {
        q.blocks.data[0].x[k] = 0.0f;
        q.blocks.data[0].y[k] = 0.0f;
        q.blocks.data[0].z[k] = 1.0f;
        q.blocks.data[0].weight[k] = k == 0 ? 1.0f : 0.0f;
    }
    q.probeDir = {0, 0, 1};
    const FlakeConeSum<float> s = sumFlakesInCone(q);
    EXPECT_EQ(s.count, 1);
    EXPECT_EQ(s.sum, 1.0f);
}

// Each found flake is a mirror spread evenly over its cone, so over many independent
// footprints of one expected count the discrete value approaches the smooth lobe times the
// half vector's cosine, D(h) h.z.
TEST(BsdfEvaluationStatistical, DiscreteValueAveragesToTheSmoothLobe) {
    TestMaterial m;
    m.values.blend_min = 10000.0f;  // the discrete part alone
    m.values.blend_max = 10000.0f;
    m.values.hilight_glossiness = 0.7f;
    m.values.blur_angle = 8.0f;
    m.refresh();
    const KuvoUtils::Vector lights[] = {{0, 0, 1}, normalize(KuvoUtils::Vector{0.3f, 0.1f, 0.9f}),
                                        normalize(KuvoUtils::Vector{-0.4f, 0.3f, 0.8f})};
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
            const KuvoUtils::Vector h = normalize(lights[j] + KuvoUtils::Vector{0, 0, 1});
            bsdf.query.probeDir = {lights[j].x, lights[j].y, lights[j].z};
            float pdf;
            sums[j] += evalDiscrete(bsdf.query, dot(lights[j], h), h.z, pdf);
        }
    }
    for (int j = 0; j < 3; ++j) {
        const KuvoUtils::Vector h = normalize(lights[j] + KuvoUtils::Vector{0, 0, 1});
        const double smooth = beckmannD(h.z, m.params.roughness) * h.z;
        const double mean = sums[j] / footprints;
        std::printf("light %d: mean discrete %.4f, D(h) h.z %.4f, ratio %.4f\n", j, mean, smooth,
                    mean / smooth);
        EXPECT_NEAR(mean / smooth, 1.0, 0.05);
    }
}

}  // namespace
}  // namespace glitter
