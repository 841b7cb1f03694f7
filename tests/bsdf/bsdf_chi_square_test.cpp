// Sampling against density: the directions the BSDF draws must be distributed like the density
// its evaluation returns, or every image made with BSDF sampling is biased.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <ostream>
#include <string>

#include "bsdf/density_convention.h"
#include "tests/bsdf/bsdf_test_support.h"
#include "tests/support/chi_square.h"

namespace glitter {
namespace {

using KuvoUtils::Vector;

struct Case {
    const char* name;
    float glossiness;
    float viewDegrees;  // angle of the incoming ray to the normal
    float expectedFlakes;  // 0: smooth lobe only
    float blurDegrees;
    // Directions are binned magnified this many times about the view's mirror direction, so
    // that cones far narrower than a cell are resolved (the density takes the map's Jacobian).
    double zoom = 1.0;
    bool colored = false;
};

// The narrow cones are 26, 6 and 1 float steps of cosine wide, around a few flakes whose normals
// are unit only to a few steps: sampling must draw only what the evaluation's cone test accepts.
const Case kCases[] = {
    {"smooth_a01_v0", 0.9f, 0.0f, 0.0f, 3.0f},
    {"smooth_a01_v60", 0.9f, 60.0f, 0.0f, 3.0f},
    {"smooth_a03_v30", 0.7f, 30.0f, 0.0f, 3.0f},
    {"smooth_a03_v75", 0.7f, 75.0f, 0.0f, 3.0f},
    {"smooth_a06_v0", 0.4f, 0.0f, 0.0f, 3.0f},
    {"smooth_a06_v45", 0.4f, 45.0f, 0.0f, 3.0f},
    {"flakes_50_blur3", 0.9f, 20.0f, 50.0f, 3.0f},
    {"flakes_300_blur3", 0.7f, 40.0f, 300.0f, 3.0f},
    {"flakes_120_blur8", 0.8f, 0.0f, 120.0f, 8.0f},
    {"flakes_400_blur1", 0.9f, 50.0f, 400.0f, 1.0f},
    {"flakes_colored_200", 0.8f, 30.0f, 200.0f, 5.0f, 1.0, true},
    {"narrow_blur010", 1.0f, 20.0f, 3.0f, 0.1f, 100.0},
    {"narrow_blur005", 1.0f, 20.0f, 3.0f, 0.05f, 100.0},
    {"narrow_blur002", 1.0f, 20.0f, 3.0f, 0.02f, 250.0},
    {"blend_550", 0.9f, 30.0f, 550.0f, 3.0f},
    {"blend_650", 0.6f, 10.0f, 650.0f, 5.0f},
    {"blend_690", 0.8f, 60.0f, 690.0f, 3.0f},
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
    const double vl = std::hypot(double(q.viewDir.x), double(q.viewDir.y), double(q.viewDir.z));
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
        const double len = std::hypot(double(d.x), double(d.y), double(d.z));
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
    return chiSquareTest(sampler, density, {.testCount = int(std::size(kCases))});
}

void PrintTo(const Case& k, std::ostream* out) { *out << k.name; }

class BsdfChiSquareStatistical : public ::testing::TestWithParam<Case> {};

TEST_P(BsdfChiSquareStatistical, SamplesFollowTheDensity) {
    const Case& k = GetParam();
    const ChiSquareResult r = k.colored ? runCase<KuvoUtils::Color>(k) : runCase<float>(k);
    EXPECT_TRUE(r.passed) << r.message;
}

INSTANTIATE_TEST_SUITE_P(, BsdfChiSquareStatistical, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace glitter
