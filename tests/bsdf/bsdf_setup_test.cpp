#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/host/shade_context.h"
#include "platform/host/texmap.h"
#include "tests/bsdf/bsdf_test_support.h"

namespace glitter {
namespace {

using KuvoUtils::Vector;
using test::TestContext;
using test::TestMaterial;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

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
        return id == ShiftTransform::kInterfaceId ? const_cast<ShiftTransform*>(&transform)
                                                  : nullptr;
    }
};

TEST(BsdfSetup, TriplanarProjectsOnTheLargestNormalComponentInObjectSpace) {
    TransformContext c;
    c.hitPoint = {11.0, 22.0, 33.0};  // (1, 2, 3) in object space
    c.dPdx = {0.1f, 0.2f, 0.3f};
    c.dPdy = {0.4f, 0.5f, 0.6f};
    const struct {
        Vector normal;
        float u, v, du, dv;
    } cases[] = {
        {{0.6f, 0.6f, 0.5f}, 1.0f, 2.0f, 0.1f, 0.5f},     // the X/Y tie goes to Z
        {{0.1f, -0.9f, 0.2f}, -1.0f, 3.0f, -0.1f, 0.6f},  // Y plane with u = -x
        {{-0.9f, 0.1f, 0.2f}, 2.0f, 3.0f, 0.2f, 0.6f},
    };
    for (const auto& k : cases) {
        c.shadingNormal = k.normal;
        const TriplanarCoords t = triplanarCoords(c);
        EXPECT_EQ(t.uv.u, k.u);
        EXPECT_EQ(t.uv.v, k.v);
        EXPECT_EQ(t.du.u, k.du);
        EXPECT_EQ(t.dv.v, k.dv);
    }
}

TEST(BsdfSetup, UvwFootprintInvertsTheBasisAndRefusesADegenerateOne) {
    TestMaterial m;
    TestContext c;
    c.uvw = {0.5f, 0.25f, 0};
    // World moves 2 per unit u and 4 per unit v: a pixel step of 0.02 in world x is 0.01 in u.
    c.basis = {{2, 0, 0}, {0, 4, 0}, {0, 0, 1}};
    c.dPdx = {0.02f, 0, 0};
    c.dPdy = {0, 0.04f, 0};
    const FlakeFootprint f = computeFootprint(c, 0, 1, 3.0f);
    EXPECT_NEAR(f.area, 0.03f * 0.03f, 1e-9f);
    EXPECT_NEAR(f.corner[1].u, (0.5f - 0.005f) * 3.0f, 1e-6f);
    EXPECT_NEAR(f.corner[1].v, (0.25f - 0.005f) * 3.0f, 1e-6f);

    // A degenerate basis or infinite derivatives: shaded, but without discrete flakes.
    test::setFootprint(c, 50.0f, m.values.num_flakes);
    c.basis = {{1, 0, 0}, {2, 0, 0}, {0, 0, 1}};
    EXPECT_FALSE(isFiniteFootprint(computeFootprint(c, 0, 1, 1.0f)));
    DiscreteMicrofacetBSDF<float> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.inactive, 0);
    EXPECT_EQ(bsdf.query.enabled, 0);
    c.basis = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    c.dPdx = {kInf, 0, 0};
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(bsdf.query.enabled, 0);
}

// Above blend_max discrete flakes switch off; at exactly blend_max they stay.
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
    const auto warnings = [&] { return m.log.count(KuvoUtils::RenderLog::Level::warning); };
    setupBSDF(m.view(), c, bsdf, 0);  // no log attached: nothing printed
    EXPECT_EQ(warnings(), 0u);
    m.attachedLog = &m.log;
    setupBSDF(m.view(), c, bsdf, 0);
    setupBSDF(m.view(), c, bsdf, 0);
    ASSERT_EQ(warnings(), 1u);
    EXPECT_EQ(m.log.entries()[0].message,
              "Glitter :: Stochastic flakes scale is too big! Reduce the flake scale and "
              "compensate by increasing the number of flakes.");
    EXPECT_EQ(bsdf.query.enabled, 1);  // the warning changes nothing else
    // Re-armed: a small footprint is silent; a nameless material is called by its class name.
    m.warned = 0;
    m.name = nullptr;
    c.dPdx = {0.01f, 0, 0};
    setupBSDF(m.view(), c, bsdf, 0);
    EXPECT_EQ(warnings(), 1u);
    c.dPdx = {1.5f, 0, 0};
    setupBSDF(m.view(), c, bsdf, 0);
    ASSERT_EQ(warnings(), 2u);
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
    // Alpha 1 replaces the filter; alpha 0 adds m x colour, negative and NaN channels counting
    // as 0; switched off, or a negligible multiplier: the filter alone.
    const struct {
        host::AColor color;
        float mult;
        int on;
        KuvoUtils::Color want;
    } cases[] = {
        {{0.9f, 0.1f, 0.5f, 1.0f}, 1.0f, 1, {0.9f, 0.1f, 0.5f}},
        {{0.5f, -1.0f, kNaN, 0.0f}, 0.5f, 1, {0.45f, 0.4f, 0.6f}},
        {{0.5f, 0.5f, 0.5f, 0.0f}, 0.5f, 0, {0.2f, 0.4f, 0.6f}},
        {{0.5f, 0.5f, 0.5f, 0.0f}, 1e-7f, 1, {0.2f, 0.4f, 0.6f}},
    };
    for (const auto& k : cases) {
        map.color = k.color;
        m.values.reflection_map_mult = k.mult;
        m.values.reflection_map_on = k.on;
        DiscreteMicrofacetBSDF<float> bsdf;
        setupBSDF(m.view(), c, bsdf, 0);
        EXPECT_NEAR(bsdf.reflectionFilter.r, k.want.r, 1e-6f);
        EXPECT_NEAR(bsdf.reflectionFilter.g, k.want.g, 1e-6f);
        EXPECT_NEAR(bsdf.reflectionFilter.b, k.want.b, 1e-6f);
    }
}

TEST(BsdfSetup, RayKindsAndLimitsDecideActivity) {
    const struct {
        int flags, depthBelowMax, admitRestricted, reflections, inactive, discrete;
    } cases[] = {
        {0x0, 1, 0, 1, 0, 1},    {0x8, 1, 0, 1, 1, 0},  // no reflections for this ray
        {0x0, 0, 0, 1, 1, 0},                           // at the depth limit
        {0x10, 1, 0, 1, 1, 0},  // restricted rays need the renderer's admission...
        {0x10, 1, 1, 1, 0, 0},  // ...and then see the smooth lobe only
        {0x1000, 1, 0, 1, 0, 0}, {0x0, 1, 0, 0, 1, 0},  // reflections off
    };
    for (const auto& k : cases) {
        TestMaterial m;
        TestContext c;
        test::setFootprint(c, 50.0f, m.values.num_flakes);
        c.rayFlags = k.flags;
        c.rayDepth = c.renderOptions.maxRayDepth - k.depthBelowMax;
        c.renderOptions.admitRestrictedRays = k.admitRestricted;
        c.renderOptions.reflections = k.reflections;
        DiscreteMicrofacetBSDF<float> bsdf;
        setupBSDF(m.view(), c, bsdf, 0);
        EXPECT_EQ(bsdf.inactive, k.inactive) << k.flags;
        EXPECT_EQ(bsdf.query.enabled, k.discrete) << k.flags;
        if (k.inactive) {
            EXPECT_EQ(bsdf.reflectionFilter.r, 0.0f);
        }
    }
}

TEST(BsdfSetup, FrameSidesAndSampleCount) {
    TestMaterial m;
    m.values.enable_flakes = 0;
    m.values.reflection_filter = {0.1f, 0.2f, 0.3f};
    TestContext c;
    c.shadingNormal = normalize(Vector{0.3f, 0, 1});
    c.setRayDir(normalize(Vector{0.2f, 0.1f, -1}));
    DiscreteMicrofacetBSDF<float> bsdf;
    setupBSDF(m.view(), c, bsdf, 1);
    EXPECT_EQ(bsdf.frame.normal, c.shadingNormal);
    EXPECT_EQ(bsdf.sideMode, 0);
    const Vector local = toLocal(bsdf.frameInverse, c.rayDir);
    EXPECT_NEAR(local.x, dot(bsdf.frame.tangent, c.rayDir), 1e-6f);
    EXPECT_NEAR(local.z, dot(bsdf.frame.normal, c.rayDir), 1e-6f);
    EXPECT_NEAR(dot(bsdf.frame.tangent, bsdf.frame.bitangent), 0.0f, 1e-6f);
    EXPECT_EQ(bsdf.filterColor({1, 1, 1}), m.values.reflection_filter);
    EXPECT_EQ(bsdf.getNumSamples(c), 64);
    c.rayFlags = 0x20;
    EXPECT_EQ(bsdf.getNumSamples(c), 0);
    c.rayFlags = 0;
    c.mode = 3;
    EXPECT_EQ(bsdf.getNumSamples(c), 0);

    // Arriving from behind the shading normal: the frame is built on the geometric normal.
    c.setRayDir(normalize(Vector{0.99f, 0, -0.05f}));
    setupBSDF(m.view(), c, bsdf, 1);
    EXPECT_EQ(bsdf.frame.normal, c.geometricNormal);

    // A back-side hit flips both normals, and with one side requested only that side has a BRDF.
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

}  // namespace
}  // namespace glitter
