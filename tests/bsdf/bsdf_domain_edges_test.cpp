// The BSDF at the ends of its inputs' ranges, as a renderer hands them over: cosines rounded
// past 1, normals that are not unit length, footprints without area, point-light densities.
// Values, densities and weights stay finite, and sampling stays in step with evaluation.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>

#include "tests/bsdf/bsdf_test_support.h"
#include "tests/support/chi_square.h"

namespace glitter {
namespace {

using KuvoUtils::Color;
using KuvoUtils::Vector;
using test::TestContext;
using test::TestMaterial;

const Color kWhite(1.0f, 1.0f, 1.0f);

bool isFinite(const Color& c) {
    return std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b);
}

// One reflection sample through the renderer's two slots; null when none is spawned.
template <class T>
KuvoUtils::KuvoContext* drawSample(DiscreteMicrofacetBSDF<T>& bsdf, TestContext& c,
                                   const std::array<float, 4>& u) {
    KuvoUtils::KuvoContext* child = bsdf.spawnSampleContext(c, 0, 0);
    if (child == nullptr) return nullptr;
    for (int i = 1; i < 4; ++i) c.child->samples[i] = u[i];
    bsdf.sampleDirection(c, *child, u[0]);
    return child;
}

TEST(BsdfDomainEdges, ShadowingOfACosineAStepAboveOne) {
    const float above = std::nextafter(1.0f, 2.0f);
    EXPECT_EQ(smithG(above, above, 0.1f), 1.0f);
}

TEST(BsdfDomainEdges, FrameIsOrthonormalWhateverTheNormalsLength) {
    const Vector unit = normalize(Vector(0.3f, -0.2f, 0.9f));
    const struct {
        float length;
        bool active;
    } cases[] = {{0.98f, true},  {1.02f, true}, {2.0f, true},      {1000.0f, true},
                 {1e-20f, true}, {0.0f, false}, {INFINITY, false}, {NAN, false}};
    TestMaterial m;
    m.values.enable_flakes = 0;
    for (const auto& k : cases) {
        TestContext c;
        c.shadingNormal = c.geometricNormal = unit * k.length;
        c.setRayDir(normalize(Vector(0.2f, 0.1f, -1.0f)));
        DiscreteMicrofacetBSDF<float> bsdf;
        setupBSDF(m.view(), c, bsdf, 0);
        ASSERT_EQ(bsdf.inactive, k.active ? 0 : 1) << k.length;
        if (!k.active) continue;
        const KuvoUtils::Frame& f = bsdf.frame;
        EXPECT_NEAR(dot(f.normal, unit), 1.0f, 1e-6f) << k.length;
        EXPECT_NEAR(length(f.tangent), 1.0f, 1e-6f) << k.length;
        EXPECT_NEAR(length(f.bitangent), 1.0f, 1e-6f) << k.length;
        EXPECT_NEAR(dot(f.tangent, f.normal), 0.0f, 1e-6f) << k.length;
        float worst = 0.0f;  // the child direction's largest departure from unit length
        for (uint64_t i = 0; i < 16; ++i) {
            const KuvoUtils::KuvoContext* child = drawSample(bsdf, c, chiSquareUniformsFloat(i));
            ASSERT_NE(child, nullptr);
            ASSERT_TRUE(isFinite(child->colorWeight)) << k.length;
            if (child->colorWeight.r > 0.0f) {
                worst = std::fmax(worst, std::fabs(length(child->rayDir) - 1.0f));
            }
        }
        EXPECT_LT(worst, 1e-5f) << k.length;
    }
}

// A furnace: the albedo of the smooth lobe by its own sampling (mean weight) and by evaluation
// (a midpoint rule over the hemisphere) must agree within the sampling noise for normals a
// little short, unit and a little long.
TEST(BsdfDomainEdgesStatistical, FurnaceAtNormalLengths) {
    const Vector unit = normalize(Vector(0.2f, 0.1f, 0.9f));
    const Vector t = normalize(cross(unit, Vector(1.0f, 0.0f, 0.0f)));
    const Vector b = cross(unit, t);
    constexpr uint64_t kSamples = 1 << 18;
    constexpr int kGrid = 512;  // cells in cos(theta) and in phi
    for (const float scale : {0.98f, 1.0f, 1.02f}) {
        TestMaterial m;
        m.values.enable_flakes = 0;
        m.values.hilight_glossiness = 0.7f;
        m.refresh();
        TestContext c;
        c.shadingNormal = c.geometricNormal = unit * scale;
        c.setRayDir(normalize(Vector(0.5f, -0.2f, -0.8f)));
        DiscreteMicrofacetBSDF<float> bsdf;
        setupBSDF(m.view(), c, bsdf, 0);
        ASSERT_EQ(bsdf.inactive, 0);
        double sampled = 0.0, sampled2 = 0.0, evaluated = 0.0;
        for (uint64_t i = 0; i < kSamples; ++i) {
            const double w = drawSample(bsdf, c, chiSquareUniformsFloat(i))->colorWeight.r;
            sampled += w;
            sampled2 += w * w;
        }
        for (int i = 0; i < kGrid; ++i) {
            const double z = (i + 0.5) / kGrid, r = std::sqrt(1.0 - z * z);
            for (int j = 0; j < kGrid; ++j) {
                const double phi = 6.283185307179586 * (j + 0.5) / kGrid;
                const Vector l =
                    t * float(r * std::cos(phi)) + b * float(r * std::sin(phi)) + unit * float(z);
                // 2 x evalLight undoes its 0.5; a light density of 1e15 leaves a weight of 1.
                evaluated += 2.0 * bsdf.evalLight(c, l, kWhite, 0, 1e15f, kEvalFlagLights).r;
            }
        }
        const double a = sampled / kSamples, e = evaluated / (kGrid * kGrid);
        const double noise = std::sqrt((sampled2 / kSamples - a * a) / kSamples);
        std::printf("normal length %.2f: albedo %.4f sampled, %.4f evaluated (noise %.4f)\n",
                    double(scale), a, e, noise);
        EXPECT_NEAR(a, e, 4.0 * noise + 1e-3) << "normal length " << scale;
    }
}

TEST(BsdfDomainEdges, FootprintsWithoutAreaAreShadedByTheSmoothLobe) {
    const float s = std::sqrt(50.0f / 1e7f);  // the side of a square of 50 expected flakes
    const struct {
        const char* name;
        Vector dx, dy;
        bool discrete;
    } cases[] = {
        {"parallel", {s, 0, 0}, {2 * s, 0, 0}, false},
        {"one zero", {s, 0, 0}, {0, 0, 0}, false},
        {"both zero", {0, 0, 0}, {0, 0, 0}, false},
        {"nearly parallel", {s, 0, 0}, {s, s * 1e-6f, 0}, false},
        {"thin but resolved", {s, 0, 0}, {s, s * 0.1f, 0}, true},
    };
    for (const auto& k : cases) {
        TestMaterial m;
        TestContext c;
        c.uvw = {0.37f, 0.61f, 0.0f};
        c.dPdx = k.dx;
        c.dPdy = k.dy;
        DiscreteMicrofacetBSDF<float> bsdf;
        setupBSDF(m.view(), c, bsdf, 0);
        ASSERT_EQ(bsdf.inactive, 0) << k.name;
        EXPECT_EQ(bsdf.query.enabled, k.discrete ? 1 : 0) << k.name;
        int nonFinite = 0;
        for (uint64_t i = 0; i < 64; ++i) {
            const std::array<float, 4> u = chiSquareUniformsFloat(i);
            const KuvoUtils::KuvoContext* child = drawSample(bsdf, c, u);
            nonFinite += !isFinite(child->colorWeight) || !std::isfinite(child->density);
            const Vector l = normalize(Vector(u[0] - 0.5f, u[1] - 0.5f, 1.0f));
            nonFinite += !isFinite(bsdf.evalLight(c, l, kWhite, 0, 1.0f, kEvalFlagLights));
        }
        EXPECT_EQ(nonFinite, 0) << k.name;
    }
}

// A point light reports an enormous density; its weight in the power heuristic is then 1.
TEST(BsdfDomainEdges, HugeLightDensitiesWeighTheLightFully) {
    TestMaterial m;
    m.values.enable_flakes = 0;
    TestContext c;
    DiscreteMicrofacetBSDF<float> bsdf;
    setupBSDF(m.view(), c, bsdf, 0);
    const Vector l = normalize(Vector(0.1f, 0.0f, 1.0f));
    const Color full = bsdf.evalLight(c, l, kWhite, 0, 1e15f, kEvalFlagLights);
    ASSERT_GT(full.r, 0.0f);
    for (const float lightPdf : {2e19f, 1e30f, FLT_MAX, INFINITY}) {
        const Color r = bsdf.evalLight(c, l, kWhite, 0, lightPdf, kEvalFlagLights);
        EXPECT_EQ(r.r, full.r) << lightPdf;
    }
}

// Random set-ups from the ends of every range a renderer and the parameter block allow, with
// fixed seeds: no value, density or weight may be NaN or infinite, and child directions are
// unit length.
template <class T>
std::string sweepHostileInputs(uint32_t seed, int setups) {
    std::mt19937 rng(seed);
    auto uniform = [&](float a, float b) {
        return std::uniform_real_distribution<float>(a, b)(rng);
    };
    auto pick = [&](std::initializer_list<float> l) { return *(l.begin() + rng() % l.size()); };
    auto direction = [&] {
        Vector v;
        do v = {uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)};
        while (lengthSquared(v) > 1.0f || lengthSquared(v) < 1e-4f);
        return normalize(v);
    };
    for (int s = 0; s < setups; ++s) {
        TestMaterial m;
        m.values.hilight_glossiness = pick({0.0f, 0.5f, 0.9f, 0.999f, 1.0f, 10000.0f});
        m.values.blur_angle = pick({0.0f, 0.001f, 0.02f, 0.1f, 3.0f, 20.0f});
        m.values.num_flakes = int32_t(pick({1.0f, 1000.0f, 1e7f, 2e9f}));
        m.values.texture_subdivs = int32_t(pick({0.0f, 6.0f, 12.0f, 22.0f}));
        m.values.blend_min = pick({0.0f, 500.0f, 10000.0f});
        m.values.blend_max = pick({0.0f, 700.0f, 10000.0f});
        m.values.flake_scale = pick({1e-9f, 1.0f, 1e9f});
        m.values.random_lightness = int32_t(rng() & 1);
        m.values.random_saturation = int32_t(rng() & 1);
        m.refresh();
        TestContext c;
        const Vector n = direction();
        c.shadingNormal = n * pick({0.5f, 0.98f, 1.0f, 1.02f, 2.0f, 1000.0f});
        c.geometricNormal = normalize(n + direction() * 0.1f);
        Vector view = direction();
        if (rng() % 4 == 0) {
            view = normalize(view - n * dot(view, n)) - n * 1e-4f;  // grazing
        } else if (dot(view, n) > 0.0f && rng() % 4 != 0) {
            view = -view;
        }
        c.setRayDir(view);
        c.backside = int32_t(rng() % 8 == 0);
        c.uvw = {uniform(-2, 2), uniform(-2, 2), 0.0f};
        if (rng() % 8 == 0) c.uvw = c.uvw * 1e6f;
        const float size = pick({0.0f, 1e-20f, 1e-6f, 1e-4f, 1e-2f, 1e3f});
        c.dPdx = direction() * size;
        switch (rng() % 4) {
            case 0:
                c.dPdy = c.dPdx * uniform(-2, 2);
                break;  // parallel
            case 1:
                c.dPdy = c.dPdx + direction() * (size * 1e-7f);
                break;  // nearly so
            default:
                c.dPdy = direction() * size;
        }
        c.dDdx = direction() * 1e-3f;
        c.dDdy = direction() * 1e-3f;
        DiscreteMicrofacetBSDF<T> bsdf;
        setupBSDF(m.view(), c, bsdf, 0);
        const std::string where =
            "set-up " + std::to_string(s) + " of seed " + std::to_string(seed);
        for (int i = 0; i < 8; ++i) {
            const Vector l = direction();
            const float lightPdf = pick({0.0f, 1e-12f, 1.0f, 50.0f, 2e19f, FLT_MAX, INFINITY});
            if (!isFinite(bsdf.evalLight(c, l, kWhite, 0, lightPdf, kEvalFlagLights))) {
                return where + ": evalLight";
            }
            if (bsdf.inactive == 0) {
                float pdf;
                const T v = evalFlakes(bsdf.query, toLocal(bsdf.frameInverse, l), pdf);
                if (!std::isfinite(pdf) || !isFinite(detail::toColor(v))) return where + ": eval";
            }
            const std::array<float, 4> u = {uniform(0, 1), uniform(0, 1), uniform(0, 1),
                                            uniform(0, 1)};
            const KuvoUtils::KuvoContext* child = drawSample(bsdf, c, u);
            if (child == nullptr) continue;
            if (!std::isfinite(child->density) || !isFinite(child->colorWeight)) {
                return where + ": sample";
            }
            const bool black = child->colorWeight == Color(0.0f, 0.0f, 0.0f);
            if (!black && !(std::fabs(length(child->rayDir) - 1.0f) < 1e-5f)) {
                return where + ": child direction of length " +
                       std::to_string(length(child->rayDir));
            }
        }
    }
    return "";
}

TEST(BsdfDomainEdges, HostileInputsGiveFiniteResults) {
    EXPECT_EQ(sweepHostileInputs<float>(1, 300), "");
    EXPECT_EQ(sweepHostileInputs<Color>(2, 300), "");
}

}  // namespace
}  // namespace glitter
