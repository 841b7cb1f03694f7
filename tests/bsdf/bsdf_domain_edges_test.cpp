// The BSDF at the ends of its inputs' ranges, as a renderer hands them over: values, densities
// and weights stay finite, and sampling stays in step with evaluation.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <initializer_list>
#include <random>
#include <type_traits>

#include "tests/bsdf/bsdf_test_support.h"
#include "tests/support/chi_square.h"

namespace glitter {
namespace {

using KuvoUtils::Color;
using KuvoUtils::Vector;
using test::drawSample;
using test::isFinite;

const Color kWhite(1.0f, 1.0f, 1.0f);

// At any normal length the frame is orthonormal and the smooth lobe's albedo by its sampling
// (mean weight) and by evaluation (midpoint rule) agree. A normal without direction: inactive.
TEST(BsdfDomainEdgesStatistical, FrameAndFurnaceAtAnyNormalLength) {
    const Vector unit = normalize(Vector(0.2f, 0.1f, 0.9f));
    const Vector t = normalize(cross(unit, Vector(1.0f, 0.0f, 0.0f)));
    const Vector b = cross(unit, t);
    constexpr uint64_t kSamples = 1 << 18;
    constexpr int kGrid = 512;  // cells in cos(theta) and in phi
    for (const float scale : {0.98f, 1.0f, 1.02f, 2.0f, 1000.0f, 1e-20f, 0.0f, INFINITY, NAN}) {
        const bool active = std::isfinite(scale) && scale > 0.0f;
        test::Shading<> s;
        s.m.values.enable_flakes = 0;
        s.m.values.hilight_glossiness = 0.7f;
        s.c.shadingNormal = s.c.geometricNormal = unit * scale;
        s.c.setRayDir(normalize(Vector(0.5f, -0.2f, -0.8f)));
        ASSERT_EQ(s.setup().inactive, active ? 0 : 1) << scale;
        if (!active) continue;
        const KuvoUtils::Frame& f = s.bsdf.frame;
        EXPECT_NEAR(dot(f.normal, unit), 1.0f, 1e-6f) << scale;
        EXPECT_NEAR(KuvoUtils::length(f.tangent), 1.0f, 1e-6f) << scale;
        EXPECT_NEAR(KuvoUtils::length(f.bitangent), 1.0f, 1e-6f) << scale;
        EXPECT_NEAR(dot(f.tangent, f.normal), 0.0f, 1e-6f) << scale;
        double sampled = 0.0, sampled2 = 0.0, evaluated = 0.0;
        for (uint64_t i = 0; i < kSamples; ++i) {
            const double w = drawSample(s.bsdf, s.c, chiSquareUniformsFloat(i))->colorWeight.r;
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
                evaluated += 2.0 * s.bsdf.evalLight(s.c, l, kWhite, 0, 1e15f, kEvalFlagLights).r;
            }
        }
        const double a = sampled / kSamples, e = evaluated / (kGrid * kGrid);
        const double noise = std::sqrt((sampled2 / kSamples - a * a) / kSamples);
        EXPECT_NEAR(a, e, 4.0 * noise + 1e-3) << "normal length " << scale;
    }
}

// Random set-ups from the ends of every range a renderer and the parameter block allow: no
// value, density or weight may be NaN or infinite, and child directions are unit length.
template <class T>
class BsdfHostileInputs : public ::testing::Test {};
TYPED_TEST_SUITE(BsdfHostileInputs, test::BsdfVariants);

TYPED_TEST(BsdfHostileInputs, GiveFiniteResults) {
    std::mt19937 rng(std::is_same_v<TypeParam, float> ? 1 : 2);
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
    for (int s = 0; s < 300; ++s) {
        test::Shading<TypeParam> shading;
        auto& [m, c, bsdf] = shading;
        m.values.hilight_glossiness = pick({0.0f, 0.5f, 0.9f, 0.999f, 1.0f, 10000.0f});
        m.values.blur_angle = pick({0.0f, 0.001f, 0.02f, 0.1f, 3.0f, 20.0f});
        m.values.num_flakes = int32_t(pick({1.0f, 1000.0f, 1e7f, 2e9f}));
        m.values.texture_subdivs = int32_t(pick({0.0f, 6.0f, 12.0f, 22.0f}));
        m.values.blend_min = pick({0.0f, 500.0f, 10000.0f});
        m.values.blend_max = pick({0.0f, 700.0f, 10000.0f});
        m.values.flake_scale = pick({1e-9f, 1.0f, 1e9f});
        m.values.random_lightness = int32_t(rng() & 1);
        m.values.random_saturation = int32_t(rng() & 1);
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
        const unsigned shape = rng() % 4;  // parallel, nearly so, or free
        c.dPdy = shape == 0   ? c.dPdx * uniform(-2, 2)
                 : shape == 1 ? c.dPdx + direction() * (size * 1e-7f)
                              : direction() * size;
        c.dDdx = direction() * 1e-3f;
        c.dDdy = direction() * 1e-3f;
        shading.setup();
        for (int i = 0; i < 8; ++i) {
            const Vector l = direction();
            const float lightPdf = pick({0.0f, 1e-12f, 1.0f, 50.0f, 2e19f, FLT_MAX, INFINITY});
            ASSERT_TRUE(isFinite(bsdf.evalLight(c, l, kWhite, 0, lightPdf, kEvalFlagLights))) << s;
            if (bsdf.inactive == 0) {
                float pdf;
                const TypeParam v = evalFlakes(bsdf.query, toLocal(bsdf.frameInverse, l), pdf);
                ASSERT_TRUE(std::isfinite(pdf) && isFinite(detail::toColor(v))) << s;
            }
            const std::array<float, 4> u = {uniform(0, 1), uniform(0, 1), uniform(0, 1),
                                            uniform(0, 1)};
            const KuvoUtils::KuvoContext* child = drawSample(bsdf, c, u);
            if (child == nullptr) continue;
            ASSERT_TRUE(std::isfinite(child->density) && isFinite(child->colorWeight)) << s;
            if (!(child->colorWeight == Color(0.0f, 0.0f, 0.0f))) {
                ASSERT_NEAR(length(child->rayDir), 1.0f, 1e-5f) << s;
            }
        }
    }
}

}  // namespace
}  // namespace glitter
