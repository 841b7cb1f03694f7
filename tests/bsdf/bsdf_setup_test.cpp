#include <gtest/gtest.h>

#include <cmath>

#include "platform/host/shade_context.h"
#include "platform/host/texmap.h"
#include "tests/bsdf/bsdf_test_support.h"

namespace glitter {
namespace {

using KuvoUtils::Vector;

class BsdfSetup : public ::testing::Test, public test::Shading<> {};

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

class TransformContext : public test::TestContext {
  public:
    ShiftTransform transform;
    KuvoUtils::ContextInterface* queryInterface(int id) const override {
        return id == ShiftTransform::kInterfaceId ? const_cast<ShiftTransform*>(&transform)
                                                  : nullptr;
    }
};

TEST_F(BsdfSetup, TriplanarProjectsOnTheLargestNormalComponentInObjectSpace) {
    TransformContext t;
    t.hitPoint = {11.0, 22.0, 33.0};  // (1, 2, 3) in object space
    t.dPdx = {0.1f, 0.2f, 0.3f};
    t.dPdy = {0.4f, 0.5f, 0.6f};
    const struct {
        Vector normal;
        float u, v, du, dv;
    } cases[] = {
        {{0.6f, 0.6f, 0.5f}, 1.0f, 2.0f, 0.1f, 0.5f},     // the X/Y tie goes to Z
        {{0.1f, -0.9f, 0.2f}, -1.0f, 3.0f, -0.1f, 0.6f},  // Y plane with u = -x
        {{-0.9f, 0.1f, 0.2f}, 2.0f, 3.0f, 0.2f, 0.6f},
    };
    for (const auto& k : cases) {
        t.shadingNormal = k.normal;
        const TriplanarCoords p = triplanarCoords(t);
        EXPECT_EQ((std::array{p.uv.u, p.uv.v, p.du.u, p.dv.v}), (std::array{k.u, k.v, k.du, k.dv}));
    }
}

TEST_F(BsdfSetup, UvwFootprintInvertsTheBasis) {
    // World moves 2 per unit u and 4 per unit v: a pixel step of 0.02 in world x is 0.01 in u.
    c.basis = {{2, 0, 0}, {0, 4, 0}, {0, 0, 1}};
    c.footprint({0.5f, 0.25f, 0}, {0.02f, 0, 0}, {0, 0.04f, 0});
    const FlakeFootprint f = computeFootprint(c, 0, 1, 3.0f);
    EXPECT_NEAR(f.area, 0.03f * 0.03f, 1e-9f);
    EXPECT_NEAR(f.corner[1].u, (0.5f - 0.005f) * 3.0f, 1e-6f);
    EXPECT_NEAR(f.corner[1].v, (0.25f - 0.005f) * 3.0f, 1e-6f);
}

// Footprints without area, infinite ones and degenerate bases are shaded by the smooth lobe.
// Above blend_max discrete flakes switch off; at exactly blend_max they stay.
TEST_F(BsdfSetup, DiscreteFlakesNeedAFootprintWithAreaUnderBlendMax) {
    const float s = std::sqrt(50.0f / 1e7f);  // the side of a square of 50 expected flakes
    const KuvoUtils::UVWBasis identity = c.basis, flat{{1, 0, 0}, {2, 0, 0}, {0, 0, 1}};
    const struct {
        const char* name;
        Vector dx, dy;
        bool discrete;
        int32_t numFlakes;
        KuvoUtils::UVWBasis basis;
    } cases[] = {
        {"resolved", {s, 0, 0}, {0, s, 0}, true, 10000000, identity},
        {"degenerate basis", {s, 0, 0}, {0, s, 0}, false, 10000000, flat},
        {"infinite", {INFINITY, 0, 0}, {0, s, 0}, false, 10000000, identity},
        {"parallel", {s, 0, 0}, {2 * s, 0, 0}, false, 10000000, identity},
        {"one zero", {s, 0, 0}, {0, 0, 0}, false, 10000000, identity},
        {"both zero", {0, 0, 0}, {0, 0, 0}, false, 10000000, identity},
        {"nearly parallel", {s, 0, 0}, {s, s * 1e-6f, 0}, false, 10000000, identity},
        {"thin but resolved", {s, 0, 0}, {s, s * 0.1f, 0}, true, 10000000, identity},
        {"above blend_max", {1.01f, 0, 0}, {0, 1.0f, 0}, false, 700, identity},
        {"at blend_max", {1.0f, 0, 0}, {0, 1.0f, 0}, true, 700, identity},
    };
    for (const auto& k : cases) {
        m.values.num_flakes = k.numFlakes;
        c.basis = k.basis;
        c.footprint({0.25f, 0.25f, 0.0f}, k.dx, k.dy);
        setup();
        EXPECT_EQ(bsdf.inactive, 0) << k.name;
        EXPECT_EQ(bsdf.query.enabled, k.discrete ? 1 : 0) << k.name;
    }
    EXPECT_EQ(bsdf.query.expectedFlakes, 700.0f);
}

TEST_F(BsdfSetup, FlakeScaleWarningOncePerAttach) {
    m.values.num_flakes = 100;
    c.footprint({0.5f, 0.5f, 0}, {1.0f, 0, 0}, {0, 0.5f, 0});  // bounds span exactly 1.0 in u
    const auto warnings = [&] { return m.log.count(KuvoUtils::RenderLog::Level::warning); };
    setup();  // no log attached: nothing printed
    EXPECT_EQ(warnings(), 0u);
    m.attachedLog = &m.log;
    setup();
    setup();
    ASSERT_EQ(warnings(), 1u);
    EXPECT_EQ(m.log.entries()[0].message.rfind("Glitter :: Stochastic flakes scale", 0), 0u);
    EXPECT_EQ(bsdf.query.enabled, 1);  // the warning changes nothing else
    // Re-armed: a small footprint is silent; a nameless material is called by its class name.
    m.warned = 0;
    m.name = nullptr;
    c.dPdx = {0.01f, 0, 0};
    setup();
    EXPECT_EQ(warnings(), 1u);
    c.dPdx = {1.5f, 0, 0};
    setup();
    ASSERT_EQ(warnings(), 2u);
    EXPECT_EQ(m.log.entries()[1].message.rfind("KuvoStochasticFlakesMtl :: ", 0), 0u);
}

TEST_F(BsdfSetup, ReflectionMapBlendsOverTheFilter) {
    FixedMap map;
    host::ShadeContext sc;
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
        {{0.5f, -1.0f, NAN, 0.0f}, 0.5f, 1, {0.45f, 0.4f, 0.6f}},
        {{0.5f, 0.5f, 0.5f, 0.0f}, 0.5f, 0, {0.2f, 0.4f, 0.6f}},
        {{0.5f, 0.5f, 0.5f, 0.0f}, 1e-7f, 1, {0.2f, 0.4f, 0.6f}},
    };
    for (const auto& k : cases) {
        map.color = k.color;
        m.values.reflection_map_mult = k.mult;
        m.values.reflection_map_on = k.on;
        setup();
        EXPECT_NEAR(bsdf.reflectionFilter.r, k.want.r, 1e-6f);
        EXPECT_NEAR(bsdf.reflectionFilter.g, k.want.g, 1e-6f);
        EXPECT_NEAR(bsdf.reflectionFilter.b, k.want.b, 1e-6f);
    }
}

TEST_F(BsdfSetup, RayKindsAndLimitsDecideActivity) {
    const struct {
        int flags, depthBelowMax, admitRestricted, reflections, inactive, discrete;
    } cases[] = {
        {0x0, 1, 0, 1, 0, 1},    {0x8, 1, 0, 1, 1, 0},  // no reflections for this ray
        {0x0, 0, 0, 1, 1, 0},                           // at the depth limit
        {0x10, 1, 0, 1, 1, 0},  // restricted rays need the renderer's admission...
        {0x10, 1, 1, 1, 0, 0},  // ...and then see the smooth lobe only
        {0x1000, 1, 0, 1, 0, 0}, {0x0, 1, 0, 0, 1, 0},  // reflections off
    };
    test::setFootprint(c, 50.0f, m.values.num_flakes);
    for (const auto& k : cases) {
        c.rayFlags = k.flags;
        c.rayDepth = c.renderOptions.maxRayDepth - k.depthBelowMax;
        c.renderOptions.admitRestrictedRays = k.admitRestricted;
        c.renderOptions.reflections = k.reflections;
        bsdf.reflectionFilter = {1, 1, 1};
        setup();
        EXPECT_EQ(bsdf.inactive, k.inactive) << k.flags;
        EXPECT_EQ(bsdf.query.enabled, k.discrete) << k.flags;
        if (k.inactive) {
            EXPECT_EQ(bsdf.reflectionFilter.r, 0.0f);
        }
    }
}

TEST_F(BsdfSetup, FrameSidesAndSampleCount) {
    m.values.enable_flakes = 0;
    m.values.reflection_filter = {0.1f, 0.2f, 0.3f};
    c.shadingNormal = normalize(Vector{0.3f, 0, 1});
    c.setRayDir(normalize(Vector{0.2f, 0.1f, -1}));
    setup(1);
    EXPECT_EQ(std::pair(bsdf.frame.normal, bsdf.sideMode), std::pair(c.shadingNormal, 0));
    EXPECT_EQ(bsdf.filterColor({1, 1, 1}), m.values.reflection_filter);
    EXPECT_EQ(bsdf.getNumSamples(c), 64);
    c.rayFlags = 0x20;
    EXPECT_EQ(bsdf.getNumSamples(c), 0);
    c.rayFlags = 0;
    c.mode = 3;
    EXPECT_EQ(bsdf.getNumSamples(c), 0);

    // Arriving from behind the shading normal: the frame is built on the geometric normal.
    c.setRayDir(normalize(Vector{0.99f, 0, -0.05f}));
    setup(1);
    EXPECT_EQ(bsdf.frame.normal, c.geometricNormal);

    // A back-side hit flips both normals, and with one side requested only that side has a BRDF.
    c.backside = 1;
    setup();
    EXPECT_EQ(std::pair(bsdf.geometricNormal, bsdf.sideMode), std::pair(Vector{0, 0, -1}, 1));
    EXPECT_EQ(bsdf.getBRDF(0), nullptr);
    EXPECT_NE(bsdf.getBRDF(1), nullptr);
    bsdf.sideMode = 0;
    EXPECT_EQ(bsdf.getBRDF(1), nullptr);
    EXPECT_NE(bsdf.getBRDF(0), nullptr);
    EXPECT_NE(bsdf.getBRDF(2), nullptr);
}

}  // namespace
}  // namespace glitter
