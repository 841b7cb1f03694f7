#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/host/texmap.h"
#include "platform/host/shade_context.h"
#include "tests/bsdf/bsdf_test_support.h"

namespace glitter {
namespace {

using test::TestContext;
using test::TestMaterial;
using KuvoUtils::Vector;

class FixedMap : public host::Texmap {
public:
    host::AColor color;
    host::AColor EvalColor(host::ShadeContext&) override { return color; }
    host::Class_ID ClassID() override { return host::Class_ID(0x7e57, 0x1); }
};

class ShiftTransform : public KuvoUtils::ObjectTransformInterface {
public:
    Vector pointToObject(const Vector& p) const override { return p - Vector{10, 20, 30}; }
};

class TransformContext : public TestContext {
public:
    ShiftTransform transform;
    KuvoUtils::ContextInterface* queryInterface(int id) const override {
        return id == ShiftTransform::kInterfaceId ? const_cast<ShiftTransform*>(&transform) : nullptr;
    }
};

TEST(BsdfSetup, TriplanarAxisChoice) {
    TransformContext c;
    c.hitPoint = {11.0, 22.0, 33.0};
    c.dPdx = {0.1f, 0.2f, 0.3f};
    c.dPdy = {0.4f, 0.5f, 0.6f};
    // The X/Y tie goes to Z.
    c.shadingNormal = {0.6f, 0.6f, 0.5f};
    TriplanarCoords t = triplanarCoords(c);
    EXPECT_EQ(t.uv.u, 1.0f);
    EXPECT_EQ(t.uv.v, 2.0f);
    EXPECT_EQ(t.du.u, 0.1f);
    EXPECT_EQ(t.dv.v, 0.5f);
    // Mostly -Y: the Y plane with u = -P.x (in object space).
    c.shadingNormal = {0.1f, -0.9f, 0.2f};
    t = triplanarCoords(c);
    EXPECT_EQ(t.uv.u, -1.0f);
    EXPECT_EQ(t.uv.v, 3.0f);
    EXPECT_EQ(t.du.u, -0.1f);
    EXPECT_EQ(t.dv.v, 0.6f);
    c.shadingNormal = {-0.9f, 0.1f, 0.2f};
    t = triplanarCoords(c);
    EXPECT_EQ(t.uv.u, 2.0f);
    EXPECT_EQ(t.uv.v, 3.0f);
}

TEST(BsdfSetup, UvwFootprintInvertsTheBasis) {
    TestContext c;
    c.uvw = {0.5f, 0.25f, 0};
    // World moves 2 per unit u and 4 per unit v: one pixel step of (0.02, 0) in world space is
    // 0.01 in u.
    c.basis = {{2, 0, 0}, {0, 4, 0}, {0, 0, 1}};
    c.dPdx = {0.02f, 0, 0};
    c.dPdy = {0, 0.04f, 0};
    const FlakeFootprint f = computeFootprint(c, 0, 1, 3.0f);
    EXPECT_NEAR(f.area, 0.03f * 0.03f, 1e-9f);
    EXPECT_NEAR(f.corner[1].u, (0.5f - 0.005f) * 3.0f, 1e-6f);
    EXPECT_NEAR(f.corner[1].v, (0.25f - 0.005f) * 3.0f, 1e-6f);

    c.basis = {{1, 0, 0}, {2, 0, 0}, {0, 0, 1}};  // degenerate: det = 0
    EXPECT_FALSE(isFiniteFootprint(computeFootprint(c, 0, 1, 1.0f)));
}

TEST(BsdfSetup, DegenerateBasisShadesWithoutDiscreteFlakes) {
    TestMaterial m;
    TestContext c;
    test::setFootprint(c, 50.0f, m.values.num_flakes);
    c.basis = {{1, 0, 0}, {2, 0, 0}, {0, 0, 1}};
    DiscreteMicrofacetBSDF<float> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.inactive, 0);
    EXPECT_EQ(bsdf.query.enabled, 0);
    c.basis = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    c.dPdx = {std::numeric_limits<float>::infinity(), 0, 0};
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.query.enabled, 0);
}

// Above blend_max discrete flakes switch off without a warning; at exactly blend_max they stay.
TEST(BsdfSetup, BlendMaxSwitchesDiscreteFlakesOff) {
    TestMaterial m;
    m.values.num_flakes = 700;
    m.refresh();
    TestContext c;
    c.uvw = {0.25f, 0.25f, 0};
    c.dPdx = {1.0f, 0, 0};
    c.dPdy = {0, 1.0f, 0};
    DiscreteMicrofacetBSDF<float> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.query.expectedFlakes, 700.0f);
    EXPECT_EQ(bsdf.query.enabled, 1);
    c.dPdx = {1.01f, 0, 0};
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.query.enabled, 0);
}

TEST(BsdfSetup, FlakeScaleWarningOncePerAttach) {
    TestMaterial m;
    m.values.num_flakes = 100;
    m.refresh();
    TestContext c;
    c.uvw = {0.5f, 0.5f, 0};
    c.dPdx = {1.0f, 0, 0};  // bounds span exactly 1.0 in u
    c.dPdy = {0, 0.5f, 0};
    DiscreteMicrofacetBSDF<float> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);  // no log attached: nothing printed
    EXPECT_EQ(m.log.count(KuvoUtils::RenderLog::Level::warning), 0u);
    m.attachedLog = &m.log;
    setupBSDF(m.view(), c, bsdf, 0);
    setupBSDF(m.view(), c, bsdf, 0);
    ASSERT_EQ(m.log.count(KuvoUtils::RenderLog::Level::warning), 1u);
    EXPECT_EQ(m.log.entries()[0].message,
              "Glitter :: Stochastic flakes scale is too big! Reduce the flake scale and "
              "compensate by increasing the number of flakes.");
    EXPECT_EQ(bsdf.query.enabled, 1);  // the warning changes nothing else

    // Re-armed: a nameless material is called by its class name; a small footprint is silent.
    m.warned = 0;
    m.name = nullptr;
    c.dPdx = {0.01f, 0, 0};
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(m.log.count(KuvoUtils::RenderLog::Level::warning), 1u);
    c.dPdx = {0, 0, 0};
    c.dPdx = {1.5f, 0, 0};
    setupBSDF(m.view(), c, bsdf, 0);
    ASSERT_EQ(m.log.count(KuvoUtils::RenderLog::Level::warning), 2u);
    EXPECT_EQ(m.log.entries()[1].message.rfind("KuvoStochasticFlakesMtl :: ", 0), 0u);
}

TEST(BsdfSetup, ReflectionMapBlendsOverTheFilter) {
    TestMaterial m;
    FixedMap map;
    host::ShadeContext sc;
    TestContext c;
    c.hostContext = &sc;
    m.values.enable_flakes = 0;
    m.values.reflection_filter = {0.2f, 0.4f, 0.6f};
    m.values.reflection_map = &map;
    m.values.reflection_map_mult = 1.0f;
    map.color = {0.9f, 0.1f, 0.5f, 1.0f};
    DiscreteMicrofacetBSDF<float> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_NEAR(bsdf.reflectionFilter.r, 0.9f, 1e-6f);
    EXPECT_NEAR(bsdf.reflectionFilter.g, 0.1f, 1e-6f);
    // Alpha 0 adds m x colour to the whole filter; negative and NaN channels count as 0.
    map.color = {0.5f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 0.0f};
    m.values.reflection_map_mult = 0.5f;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_NEAR(bsdf.reflectionFilter.r, 0.2f + 0.25f, 1e-6f);
    EXPECT_NEAR(bsdf.reflectionFilter.g, 0.4f, 1e-6f);
    EXPECT_NEAR(bsdf.reflectionFilter.b, 0.6f, 1e-6f);
    // Switched off, or a negligible multiplier: the filter alone.
    m.values.reflection_map_on = 0;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.reflectionFilter.r, 0.2f);
    m.values.reflection_map_on = 1;
    m.values.reflection_map_mult = 1e-7f;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.reflectionFilter.r, 0.2f);
}

TEST(BsdfSetup, InactiveRaysGetABlackBsdf) {
    TestMaterial m;
    TestContext c;
    DiscreteMicrofacetBSDF<float> bsdf;
    c.rayFlags = 0x8;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.inactive, 1);
    EXPECT_EQ(bsdf.reflectionFilter.r, 0.0f);
    EXPECT_EQ(bsdf.query.enabled, 0);
    c.rayFlags = 0;
    c.rayDepth = c.renderOptions.maxRayDepth;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.inactive, 1);
    c.rayDepth = 0;
    c.rayFlags = 0x10;  // restricted rays need the renderer's admission
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.inactive, 1);
    c.renderOptions.admitRestrictedRays = 1;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.inactive, 0);
    EXPECT_EQ(bsdf.query.enabled, 0);  // 0x10 rays see the smooth lobe only
    c.renderOptions.reflections = 0;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.inactive, 1);
}

TEST(BsdfSetup, FrameAndSides) {
    TestMaterial m;
    m.values.enable_flakes = 0;
    TestContext c;
    c.shadingNormal = normalize(Vector{0.3f, 0, 1});
    c.geometricNormal = {0, 0, 1};
    c.setRayDir(normalize(Vector{0.2f, 0.1f, -1}));
    DiscreteMicrofacetBSDF<float> bsdf;
    setupBSDF(m.view(), c, bsdf, 1);
    EXPECT_EQ(bsdf.frame.normal, c.shadingNormal);
    EXPECT_EQ(bsdf.numSamples, 64);
    EXPECT_EQ(bsdf.sideMode, 0);
    // The inverse of the orthonormal frame is its transpose, applied as local = (t.d, b.d, n.d).
    const Vector local = toLocal(bsdf.frameInverse, c.rayDir);
    EXPECT_NEAR(local.x, dot(bsdf.frame.tangent, c.rayDir), 1e-6f);
    EXPECT_NEAR(local.z, dot(bsdf.frame.normal, c.rayDir), 1e-6f);
    EXPECT_NEAR(dot(bsdf.frame.tangent, bsdf.frame.bitangent), 0.0f, 1e-6f);
    EXPECT_NEAR(length(bsdf.frame.tangent), 1.0f, 1e-6f);

    // Arriving from behind the shading normal: the frame is built on the geometric normal.
    c.setRayDir(normalize(Vector{0.99f, 0, -0.05f}));
    setupBSDF(m.view(), c, bsdf, 1);
    EXPECT_EQ(bsdf.frame.normal, c.geometricNormal);

    // A back-side hit flips both normals.
    c.backside = 1;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.geometricNormal, (Vector{0, 0, -1}));
    EXPECT_EQ(bsdf.sideMode, 1);
    EXPECT_EQ(bsdf.getBRDF(0), nullptr);
    EXPECT_NE(bsdf.getBRDF(1), nullptr);
    bsdf.sideMode = 0;
    EXPECT_EQ(bsdf.getBRDF(1), nullptr);
    EXPECT_NE(bsdf.getBRDF(0), nullptr);
    EXPECT_NE(bsdf.getBRDF(2), nullptr);
}

TEST(BsdfSetup, SmallSlots) {
    TestMaterial m;
    m.values.reflection_filter = {0.1f, 0.2f, 0.3f};
    TestContext c;
    DiscreteMicrofacetBSDF<float> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.filterColor({1, 1, 1}), m.values.reflection_filter);
    EXPECT_EQ(bsdf.getNumSamples(c), 64);
    c.rayFlags = 0x20;
    EXPECT_EQ(bsdf.getNumSamples(c), 0);
    c.rayFlags = 0;
    c.mode = 3;
    EXPECT_EQ(bsdf.getNumSamples(c), 0);
    EXPECT_EQ(bsdf.getRenderChannels()->channels, KuvoUtils::RenderChannelsInfo::reflectChannels.channels);
    EXPECT_EQ(bsdf.isOpaque(), 1);
    EXPECT_EQ(bsdf.getDiffuseColor(c), (KuvoUtils::Color{0, 0, 0}));
}

}  // namespace
}  // namespace glitter
