// Whole renders of the glitter material, loaded from the plug-in library as the program loads
// it: images independent of threads and tiles, single flakes sparkling close up, the light and
// BSDF estimators measuring the same flakes, flakes agreeing with the smooth lobe far away, the
// indirect-noise controls, the flake-scale warning and the reflection map.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "platform/renderer/capturing_render_log.h"
#include "tests/apps/render_support.h"

namespace glitter::renderer {
namespace {

using namespace glitter::renderer::testing;

// The pixels' green, brightest first.
std::vector<double> brightestFirst(const Image& image) {
    std::vector<double> values;
    for (const Color& c : image.pixels()) values.push_back(c.g);
    std::sort(values.begin(), values.end(), std::greater<>());
    return values;
}

// Run under ThreadSanitizer as well: render threads share the scene and the image, and the
// plug-in's per-thread pools search flakes and evaluate the reflection map at once.
TEST(RenderThreads, OneAndTwoThreadsAndAnyTilesGiveTheSameBits) {
    const struct {
        MaterialSource source;
        IndirectNoiseControls indirect;
    } cases[] = {
        {MaterialSource{}, {}},
        {glitter({{"subdivs", "2"}, {"flake_scale", "3"}}), defaultSceneChoices().indirect},
        {glitter({{"subdivs", "1"}, {"random_hue", "on"}, {"reflection_map", "checker"}}), {}},
    };
    for (const auto& c : cases) {
        DefaultScene d(c.source);
        for (CameraPreset preset : {CameraPreset::close, CameraPreset::far}) {
            RenderSettings s = renderSettings(2, 1);
            s.indirect = c.indirect;
            const Image one = d.render(preset, 64, 36, s);
            s.threadCount = 2;
            EXPECT_TRUE(sameBits(one, d.render(preset, 64, 36, s)));
            s.tileSize = 5;
            EXPECT_TRUE(sameBits(one, d.render(preset, 64, 36, s)));
            // Not a trivially constant image: the sphere, the ground and the sky differ.
            for (const Color& c : one.pixels()) ASSERT_TRUE(isFinite(c));
            const std::vector<double> values = brightestFirst(one);
            EXPECT_GT(values.front(), 2.0 * values.back());
        }
    }
}

// The fireflies on the floor of the far view (pixels whose 5x5 neighbourhood sees only the
// ground, brighter than 4 times its median), and the floor's mean.
std::pair<int, double> floorFireflies(DefaultScene& d, const RenderSettings& settings) {
    const Camera camera = d.camera(CameraPreset::far, 320, 180);
    const Image image = d.render(CameraPreset::far, 320, 180, settings);
    const auto ground = [&](int x, int y) {
        const CameraRay ray = camera.generateRay(x + 0.5, y + 0.5);
        SurfaceHit hit;
        return d.scene.intersect(ray.origin, ray.direction, 0.0, 1e30, hit) && hit.objectIndex == 0;
    };
    int fireflies = 0;
    int count = 0;
    double sum = 0.0;
    for (int y = 2; y < 178; ++y) {
        for (int x = 2; x < 318; ++x) {
            bool floor = true;
            std::vector<float> around;
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    floor = floor && ground(x + dx, y + dy);
                    around.push_back(image.at(x + dx, y + dy).g);
                }
            }
            if (!floor) continue;
            std::nth_element(around.begin(), around.begin() + 12, around.end());
            fireflies += image.at(x, y).g > 4.0f * around[12] ? 1 : 0;
            sum += image.at(x, y).g;
            ++count;
        }
    }
    return {fireflies, sum / std::max(count, 1)};
}

TEST(GlitterRenderImage, CloseUpSparklesAndIndirectControlsTakeOnlyTheFloorsFireflies) {
    DefaultScene d(glitter(defaultSceneChoices().materialSettings));
    RenderSettings farView = renderSettings(8, 2);
    RenderSettings closeUp = renderSettings(4, 2);
    const auto [offFireflies, offMean] = floorFireflies(d, farView);
    // Measured with both controls off: 39 fireflies on the floor (the sphere's caustic).
    ASSERT_GE(offFireflies, 20);
    // Close up a pixel holds a fraction of a flake: the few whose flakes mirror a light carry
    // much of the light (measured: the brightest 2 % hold 15 %, the 99th percentile is 120
    // medians). Too large footprints would average flakes into a smooth highlight.
    const std::vector<double> close =
        brightestFirst(d.render(CameraPreset::close, 96, 54, closeUp));
    const std::size_t n = close.size();
    EXPECT_GT(std::accumulate(close.begin(), close.begin() + n / 50, 0.0) /
                  std::accumulate(close.begin(), close.end(), 0.0),
              0.1);
    const double sparkle = close[n / 100] / close[n / 2];
    EXPECT_GT(sparkle, 20.0);

    const IndirectNoiseControls chosen = defaultSceneChoices().indirect;
    for (const IndirectNoiseControls indirect :
         {chosen, IndirectNoiseControls{chosen.clamp, 0.0f},
          IndirectNoiseControls{0.0f, chosen.lightSpreadDegrees}}) {
        SCOPED_TRACE(::testing::Message() << indirect.clamp << " " << indirect.lightSpreadDegrees);
        farView.indirect = indirect;
        closeUp.indirect = indirect;
        const auto [fireflies, mean] = floorFireflies(d, farView);
        EXPECT_LE(fireflies * 10, offFireflies);
        // Against a long reference each loses under 1 % of the floor's light; 8 samples per
        // pixel add about 1 % of noise.
        EXPECT_NEAR(mean / offMean, 1.0, 0.025);
        const std::vector<double> c =
            brightestFirst(d.render(CameraPreset::close, 96, 54, closeUp));
        EXPECT_NEAR(c[n / 100] / c[n / 2] / sparkle, 1.0, 0.05);
    }
}

// A glitter floor seen straight down through a narrow lens, lit by a large light above the
// camera, so that every pixel sees the highlight with the half vector close to the normal and
// holds about `flakes` flakes: the image's mean green over 8 sample patterns (the flakes stay).
Estimate floorEstimate(double flakes, std::vector<ParameterSetting> settings,
                       LightStrategy strategy) {
    constexpr int kSize = 32;
    constexpr double kFovDegrees = 10.0;
    const double pixel = 2.0 * 2.0 * std::tan(kFovDegrees * kPi / 360.0) / kSize;  // at height 2
    settings.push_back({"subdivs", "1"});
    settings.push_back({"num_flakes", std::to_string(std::lround(flakes / (pixel * pixel)))});
    MaterialSet materials(glitter(settings));
    Scene scene;
    scene.addPlane("floor", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0), materials.subject());
    scene.addLight(SphereLight({0.0, 4.0, 0.0}, 1.0, Color(2.0f)));
    scene.commit();
    const Camera camera({0.0, 2.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, -1.0}, kFovDegrees, kSize,
                        kSize);
    materials.update(0);
    Estimate e;
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        RenderSettings render = renderSettings(4, 2);
        render.seed = seed;
        render.strategy = strategy;
        const Image image = Renderer(scene, camera, render).render(nullptr);
        double sum = 0.0;
        for (const Color& c : image.pixels()) sum += c.g;
        e.add(sum / static_cast<double>(image.pixels().size()));
    }
    return e;
}

TEST(GlitterRenderImage, LightAndBsdfSamplingMeasureTheSameFlakes) {
    // About 100 flakes per pixel, discrete flakes only: light samples find them through
    // evalLight, BSDF samples by picking a flake and a direction in its cone.
    const Estimate light = floorEstimate(100, {}, LightStrategy::lightOnly);
    const Estimate bsdf = floorEstimate(100, {}, LightStrategy::bsdfOnly);
    const Estimate mis = floorEstimate(100, {}, LightStrategy::mis);
    EXPECT_GT(mis.mean(), 0.2);
    expectAgree(light, bsdf, "light only vs BSDF only");
    expectAgree(light, mis, "light only vs MIS");
    expectAgree(bsdf, mis, "BSDF only vs MIS");
    EXPECT_LT(std::hypot(light.standardError(), bsdf.standardError()), 0.02 * mis.mean());
}

TEST(GlitterRenderImage, FarAwayFlakesAgreeWithTheSmoothLobe) {
    // 600 flakes per pixel, in the blend band (smooth weight t about 0.5). The flakes average
    // to c D cos(theta_h) rather than D (docs/bsdf.md); with the half vector within 8 degrees
    // of the normal and c > 0.975 for the 3 degree cone, on / off lies from 0.985 to 1.
    const Estimate on = floorEstimate(600, {}, LightStrategy::mis);
    const Estimate off = floorEstimate(600, {{"enable_flakes", "off"}}, LightStrategy::mis);
    const double ratio = on.mean() / off.mean();
    const double noise =
        4.0 * std::hypot(on.standardError() / on.mean(), off.standardError() / off.mean());
    EXPECT_GT(ratio, 0.985 - 0.002 - noise) << on.mean() << " vs " << off.mean();
    EXPECT_LT(ratio, 1.0 + 0.002 + noise) << on.mean() << " vs " << off.mean();
    EXPECT_LT(noise, 0.02);
}

TEST(GlitterRenderImage, FlakeScaleWarningOncePerRenderAndNeverAtTheDefaults) {
    // Far-camera footprints at 64 x 36 span about two cells of flake_scale 100 and hold a few
    // flakes, so discrete flakes stay on and the warning is due.
    const std::string warning =
        "warning: KuvoStochasticFlakesMtl :: Stochastic flakes scale is too big! Reduce the "
        "flake scale and compensate by increasing the number of flakes.";
    const RenderSettings settings = renderSettings(2, 2);
    DefaultScene big(glitter({{"subdivs", "1"}, {"flake_scale", "100"}, {"num_flakes", "1"}}));
    KuvoUtils::CapturingRenderLog log;
    big.render(CameraPreset::far, 64, 36, settings, &log);
    big.render(CameraPreset::far, 64, 36, settings, &log);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{warning, warning}));

    for (const auto& chosen : std::vector<std::vector<ParameterSetting>>{
             {{"subdivs", "1"}}, defaultSceneChoices().materialSettings}) {
        DefaultScene plain(glitter(chosen));
        KuvoUtils::CapturingRenderLog quiet;
        plain.render(CameraPreset::close, 64, 36, settings, &quiet);
        plain.render(CameraPreset::far, 64, 36, settings, &quiet);
        EXPECT_TRUE(quiet.lines().empty()) << quiet.lines()[0];
    }
}

// The default scene's sphere seen from far without flakes, where every contribution passes
// through the material's reflection filter.
Image sphere(const std::vector<ParameterSetting>& settings) {
    std::vector<ParameterSetting> all = {{"subdivs", "1"}, {"enable_flakes", "off"}};
    all.insert(all.end(), settings.begin(), settings.end());
    return DefaultScene(glitter(all)).render(CameraPreset::far, 64, 36, renderSettings(4, 2));
}

TEST(GlitterRenderImage, ReflectionMapIsEvaluatedAtTheHit) {
    const Color plain = sphere({}).at(32, 18);
    ASSERT_GT(plain.g, 0.0f);
    // An opaque red map at 100 % replaces the filter: nothing green or blue is reflected.
    const Color red = sphere({{"reflection_map", "constant:1,0,0"}}).at(32, 18);
    EXPECT_GT(red.r, 0.0f);
    EXPECT_EQ(red.g, 0.0f);
    EXPECT_EQ(red.b, 0.0f);
    // At 50 % the filter becomes (1, 0.5, 0.5) of white; switched off, the map is ignored.
    const Color half =
        sphere({{"reflection_map", "constant:1,0,0"}, {"reflection_map_mult", "50"}}).at(32, 18);
    EXPECT_NEAR(half.g / half.r, 0.5f * plain.g / plain.r, 1e-4f);
    const Color unused =
        sphere({{"reflection_map", "constant:1,0,0"}, {"reflection_map_on", "off"}}).at(32, 18);
    EXPECT_EQ(unused.g, plain.g);

    // A checker of two tiles around the sphere: gold and silver pixels (blue at 0.34 and 1.18
    // of red) on either side of a tile edge, which only the hit's UVW can give.
    const Image checker = sphere({{"reflection_map", "checker:2"}});
    int gold = 0;
    int silver = 0;
    for (int y = 10; y < 26; ++y) {
        for (int x = 24; x < 40; ++x) {
            const Color c = checker.at(x, y);
            if (c.r > 0.0f) (c.b / c.r < 0.7f ? gold : silver) += 1;
        }
    }
    EXPECT_GT(gold, 10);
    EXPECT_GT(silver, 10);
}

}  // namespace
}  // namespace glitter::renderer
