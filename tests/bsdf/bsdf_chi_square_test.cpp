// Sampling against density: the directions the BSDF draws must be distributed like the density
// its evaluation returns, or every image made with BSDF sampling is biased. Each case bins about
// 10^6 directions on a spherical histogram and compares with the density integrated over the
// cells (tests/support/chi_square.h).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bsdf/density_convention.h"
#include "tests/bsdf/bsdf_test_support.h"
#include "tests/support/chi_square.h"

namespace glitter {
namespace {

using KuvoUtils::Vector;

// All chi-square cases of this file share the 1% significance (Šidák).
constexpr int kChiSquareCases = 16;

struct Case {
    const char* name;
    float glossiness;
    float viewDegrees;  // angle of the incoming ray to the normal
    float expectedFlakes;  // 0: smooth lobe only
    float blurDegrees;
    // Directions are binned magnified this many times about the view's mirror direction, so
    // that cones far narrower than a cell are resolved (the density takes the map's Jacobian).
    double zoom = 1.0;
};

template <class T>
ChiSquareResult runCase(const Case& k) {
    test::Shading<T> s;
    s.m.values.hilight_glossiness = k.glossiness;
    s.m.values.blur_angle = k.blurDegrees;
    s.m.values.enable_flakes = k.expectedFlakes > 0.0f;
    s.m.values.random_hue = 1;
    s.m.values.random_lightness = 1;
    test::setFootprint(s.c, std::max(k.expectedFlakes, 1.0f), s.m.values.num_flakes, 0.41f, 0.27f);
    const float theta = k.viewDegrees * 3.14159265f / 180.0f;
    s.c.setRayDir({std::sin(theta), 0.0f, -std::cos(theta)});
    s.setup();
    EXPECT_EQ(s.bsdf.inactive, 0);
    EXPECT_EQ(s.bsdf.query.enabled, k.expectedFlakes > 0.0f ? 1 : 0);

    FlakeQuery<T>& q = s.bsdf.query;
    // Mirror direction c of the view and a basis (t, b) across it, for the magnification.
    const double vl =
        std::sqrt(double(q.viewDir.x) * q.viewDir.x + double(q.viewDir.y) * q.viewDir.y +
                  double(q.viewDir.z) * q.viewDir.z);
    const double cz[3] = {q.viewDir.x / vl, q.viewDir.y / vl, -q.viewDir.z / vl};
    const double tl = std::sqrt(cz[0] * cz[0] + cz[2] * cz[2]);
    const double t[3] = {cz[2] / tl, 0.0, -cz[0] / tl};
    const double b[3] = {cz[1] * t[2] - cz[2] * t[1], cz[2] * t[0] - cz[0] * t[2],
                         cz[0] * t[1] - cz[1] * t[0]};
    auto dot3 = [](const double* x, const double* y) {
        return x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
    };
    auto sampler = [&](uint64_t i, double dir[3]) {
        const std::array<float, 4> u = chiSquareUniformsFloat(i);
        T value;
        float pdf;
        const Vector d = sampleFlakes(q, u.data(), value, pdf);
        if (!(pdf > 0.0f)) return false;  // the evaluation refuses it: black, density 0
        const double len = std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z);
        dir[0] = d.x / len;
        dir[1] = d.y / len;
        dir[2] = d.z / len;
        if (k.zoom != 1.0) {
            const double x = k.zoom * dot3(dir, t), y = k.zoom * dot3(dir, b);
            const bool inRange = dot3(dir, cz) > 0.0 && x * x + y * y < 1.0;
            // Out of the magnified range: binned where the density is 0, so the test fails.
            dir[0] = inRange ? x : 0.0;
            dir[1] = inRange ? y : 0.0;
            dir[2] = inRange ? std::sqrt(1.0 - x * x - y * y) : -1.0;
        }
        return true;
    };
    auto density = [&](const double dir[3]) {
        double d[3] = {dir[0], dir[1], dir[2]};
        double jacobian = 1.0;
        if (k.zoom != 1.0) {
            if (!(dir[2] > 0.0)) return 0.0;
            const double x = dir[0] / k.zoom, y = dir[1] / k.zoom;
            const double z = std::sqrt(1.0 - x * x - y * y);
            for (int j = 0; j < 3; ++j) d[j] = x * t[j] + y * b[j] + z * cz[j];
            jacobian = dir[2] / (k.zoom * k.zoom * z);
        }
        float pdf;
        (void)evalFlakes(q, Vector{float(d[0]), float(d[1]), float(d[2])}, pdf);
        return toSolidAngleDensity(pdf) * jacobian;
    };
    ChiSquareOptions options;
    options.testCount = kChiSquareCases;
    const ChiSquareResult r = chiSquareTest(sampler, density, options);
    std::printf("%-22s chi2 %9.1f  dof %5d  p %.3g  (alpha' %.2g, rejected %.3f, integral %.4f)\n",
                k.name, r.statistic, r.degreesOfFreedom, r.pValue, r.significance,
                double(r.rejectedCount) / double(r.sampleCount), r.densityIntegral);
    return r;
}

template <size_t N>
void expectPasses(const Case (&cases)[N]) {
    for (const Case& k : cases) {
        const ChiSquareResult r = runCase<float>(k);
        EXPECT_TRUE(r.passed) << k.name << ": " << r.message;
    }
}

TEST(BsdfChiSquareStatistical, SmoothLobe) {
    const Case cases[] = {
        {"smooth_a0.1_v0", 0.9f, 0.0f, 0.0f, 3.0f},   {"smooth_a0.1_v60", 0.9f, 60.0f, 0.0f, 3.0f},
        {"smooth_a0.3_v30", 0.7f, 30.0f, 0.0f, 3.0f}, {"smooth_a0.3_v75", 0.7f, 75.0f, 0.0f, 3.0f},
        {"smooth_a0.6_v0", 0.4f, 0.0f, 0.0f, 3.0f},   {"smooth_a0.6_v45", 0.4f, 45.0f, 0.0f, 3.0f},
    };
    expectPasses(cases);
}

TEST(BsdfChiSquareStatistical, DiscreteFlakes) {
    const Case cases[] = {
        {"flakes_50_blur3", 0.9f, 20.0f, 50.0f, 3.0f},
        {"flakes_300_blur3", 0.7f, 40.0f, 300.0f, 3.0f},
        {"flakes_120_blur8", 0.8f, 0.0f, 120.0f, 8.0f},
        {"flakes_400_blur1", 0.9f, 50.0f, 400.0f, 1.0f},
    };
    expectPasses(cases);
    const ChiSquareResult colored = runCase<KuvoUtils::Color>({"flakes_colored_200", 0.8f, 30.0f, 200.0f, 5.0f});
    EXPECT_TRUE(colored.passed) << colored.message;
}

// Blur cones 26, 6 and 1 float steps of cosine wide, around a few flakes of almost mirror-smooth
// normals as the search stores them (unit only to a few steps): sampling must draw only
// directions the evaluation's cone test accepts, refusing the rest at the rate the evaluation's
// density leaves over.
TEST(BsdfChiSquareStatistical, NarrowCones) {
    const Case cases[] = {
        {"narrow_blur0.1", 1.0f, 20.0f, 3.0f, 0.1f, 100.0},
        {"narrow_blur0.05", 1.0f, 20.0f, 3.0f, 0.05f, 100.0},
        {"narrow_blur0.02", 1.0f, 20.0f, 3.0f, 0.02f, 250.0},
    };
    expectPasses(cases);
}

// In the blend band the smooth lobe takes its share of the samples, so the blended density is
// the density of what is drawn.
TEST(BsdfChiSquareStatistical, BlendBand) {
    const Case cases[] = {
        {"blend_550", 0.9f, 30.0f, 550.0f, 3.0f},
        {"blend_650", 0.6f, 10.0f, 650.0f, 5.0f},
        {"blend_690", 0.8f, 60.0f, 690.0f, 3.0f},
    };
    expectPasses(cases);
}

}  // namespace
}  // namespace glitter
