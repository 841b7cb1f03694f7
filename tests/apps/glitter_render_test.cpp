// Whole renders: images independent of threads and tiles, single flakes sparkling close up,
// the light and BSDF estimators measuring the same flakes, flakes agreeing with the smooth lobe
// far away, the flake-scale warning once per render, the reflection map evaluated at the hit,
// and stored materials rendering like the settings they hold. The glitter material is loaded
// from the plug-in library as the program loads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/host/mtl.h"
#include "platform/host/scene.h"
#include "platform/host/scene_file.h"
#include "platform/renderer/capturing_render_log.h"
#include "tests/apps/render_support.h"
#include "tests/support/program_run.h"

namespace glitter::renderer {
namespace {

using namespace glitter::renderer::testing;
using glitter::testing::ScratchFolder;

// Run under ThreadSanitizer as well: render threads share the scene and the image, and the
// plug-in's per-thread pools search flakes and evaluate the reflection map at once.
TEST(RenderThreads, OneAndTwoThreadsAndAnyTilesGiveTheSameBits) {
    for (const MaterialSource& source :
         {MaterialSource{}, glitter({{"subdivs", "2"}, {"flake_scale", "3"}}),
          glitter({{"subdivs", "1"}, {"random_hue", "on"}, {"reflection_map", "checker"}})}) {
        DefaultScene d(source);
        for (CameraPreset preset : {CameraPreset::close, CameraPreset::far}) {
            const Image one = d.render(preset, 64, 36, 2, 1);
            EXPECT_TRUE(sameBits(one, d.render(preset, 64, 36, 2, 2)));
            EXPECT_TRUE(sameBits(one, d.render(preset, 64, 36, 2, 2, 5)));
            // Not a trivially constant image: the sphere, the ground and the sky differ.
            float lo = 1e30f, hi = 0.0f;
            for (const Color& c : one.pixels()) {
                ASSERT_TRUE(isFinite(c));
                lo = std::min(lo, c.g);
                hi = std::max(hi, c.g);
            }
            EXPECT_GT(hi, 2.0f * lo);
        }
    }
}

TEST(RenderImage, SeedChangesTheNoiseButNotTheImage) {
    DefaultScene d{MaterialSource{}};
    const Image a = d.render(CameraPreset::far, 24, 16, 16, 2);
    const Image b = d.render(CameraPreset::far, 24, 16, 16, 2, 16, nullptr, 1);
    EXPECT_FALSE(sameBits(a, b));
    EXPECT_NEAR(meanGreen(a), meanGreen(b), 0.05 * meanGreen(a));
}

TEST(GlitterRenderImage, CloseUpSinglePixelsSparkle) {
    // Close up a pixel holds a fraction of a flake: the few pixels whose flakes mirror a light
    // are far brighter than the rest and carry much of the image's light. Footprints that were
    // too large (wrong ray differentials) would average many flakes into a smooth highlight.
    DefaultScene d(glitter(defaultSceneChoices().materialSettings));
    const Image close = d.render(CameraPreset::close, 96, 54, 4, 2);
    std::vector<double> values;
    for (const Color& c : close.pixels()) {
        values.push_back(c.g);
    }
    std::sort(values.begin(), values.end(), std::greater<>());
    double brightest = 0.0;
    for (std::size_t i = 0; i < values.size() / 50; ++i) {
        brightest += values[i];
    }
    // Measured: the brightest 2 % hold 15 % of the light, and the 99th percentile is 120 times
    // the median.
    EXPECT_GT(brightest / (meanGreen(close) * static_cast<double>(values.size())), 0.1);
    EXPECT_GT(values[values.size() / 100], 20.0 * values[values.size() / 2]);
}

// A glitter floor seen straight down through a narrow lens, lit by a large light above the
// camera, so that every pixel sees the light's highlight with the half vector close to the
// normal, and every pixel's footprint holds the same number of flakes.
class FloorScene {
  public:
    static constexpr int kSize = 32;
    static constexpr double kHeight = 2.0;
    static constexpr double kFovDegrees = 10.0;

    /// The floor with `flakes` flakes in the footprint of the image's central pixel (the
    /// corner pixels' footprints are 1 / cos^3(7 degrees) = 1.02 times larger).
    FloorScene(double flakes, std::vector<ParameterSetting> settings) {
        const double pixel = 2.0 * kHeight * std::tan(kFovDegrees * kPi / 360.0) / kSize;
        settings.push_back({"subdivs", "1"});
        settings.push_back({"num_flakes", std::to_string(std::lround(flakes / (pixel * pixel)))});
        materials = std::make_unique<MaterialSet>(glitter(settings));
        scene.addPlane("floor", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0),
                       materials->subject());
        scene.addLight(SphereLight({0.0, 4.0, 0.0}, 1.0, Color(2.0f)));
        scene.commit();
    }

    /// The image's mean green over 8 renders with different sample patterns (the flakes stay
    /// where they are).
    Estimate measure(LightStrategy strategy) {
        const Camera camera({0.0, kHeight, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, -1.0}, kFovDegrees,
                            kSize, kSize);
        materials->update(0);
        Estimate e;
        for (std::uint32_t seed = 1; seed <= 8; ++seed) {
            RenderSettings settings;
            settings.samplesPerPixel = 4;
            settings.threadCount = 2;
            settings.strategy = strategy;
            settings.seed = seed;
            e.add(meanGreen(Renderer(scene, camera, settings).render(nullptr)));
        }
        return e;
    }

    std::unique_ptr<MaterialSet> materials;
    Scene scene;
};

TEST(GlitterRenderImage, LightAndBsdfSamplingMeasureTheSameFlakes) {
    // About 100 flakes per pixel: discrete flakes only, well below blend_min. Light samples
    // find the flakes through evalLight, BSDF samples by picking a flake and a direction in its
    // cone; both integrate the same (fixed) flakes, so only sampling noise separates them.
    FloorScene floor(100, {});
    const Estimate light = floor.measure(LightStrategy::lightOnly);
    const Estimate bsdf = floor.measure(LightStrategy::bsdfOnly);
    const Estimate mis = floor.measure(LightStrategy::mis);
    EXPECT_GT(mis.mean(), 0.2);
    expectAgree(light, bsdf, "light only vs BSDF only");
    expectAgree(light, mis, "light only vs MIS");
    expectAgree(bsdf, mis, "BSDF only vs MIS");
    // The estimates are precise enough for the comparison to mean something.
    EXPECT_LT(std::hypot(light.standardError(), bsdf.standardError()), 0.02 * mis.mean());
}

TEST(GlitterRenderImage, FarAwayFlakesAgreeWithTheSmoothLobe) {
    // 600 to 615 flakes per pixel: the blend band of 500 to 700, smooth-lobe weight t from
    // 0.50 to 0.57. There the BSDF returns t D + (1 - t) Dflakes, and the flakes average to
    // c D cos(theta_h) rather than D (docs/bsdf.md), c < 1 from averaging the peaked lobe over
    // the blur cone. Here the half vector stays within 8 degrees of the normal (light within
    // 14.5 degrees above, view within 5 below), so cos(theta_h) > 0.99 and, weighted by the
    // lobe (alpha 0.1), 1 - cos(theta_h) averages about alpha^2 / 2 = 0.005; with c above
    // 0.975 for the 3 degree cone the flakes give 0.97 to 1.0 of the smooth value, and the
    // blend (1 - t) of that shortfall: on / off from 1 - 0.5 * 0.03 = 0.985 to 1. The flake
    // pattern itself adds some 0.1 % (half a million flakes light the image); sampling noise
    // is measured.
    const Estimate on = FloorScene(600, {}).measure(LightStrategy::mis);
    const Estimate off = FloorScene(600, {{"enable_flakes", "off"}}).measure(LightStrategy::mis);
    const double ratio = on.mean() / off.mean();
    const double noise =
        4.0 * std::hypot(on.standardError() / on.mean(), off.standardError() / off.mean());
    EXPECT_GT(ratio, 0.985 - 0.002 - noise) << on.mean() << " vs " << off.mean();
    EXPECT_LT(ratio, 1.0 + 0.002 + noise) << on.mean() << " vs " << off.mean();
    EXPECT_LT(noise, 0.02);
}

TEST(GlitterRenderImage, FlakeScaleWarningOncePerRenderAndNeverAtTheDefaults) {
    // flake_scale 100 with one flake per cell: far-camera footprints at 64 x 36 span about two
    // cells and hold a few flakes, so discrete flakes stay on and the warning is due.
    const std::string warning =
        "warning: KuvoStochasticFlakesMtl :: Stochastic flakes scale is too big! Reduce the "
        "flake scale and compensate by increasing the number of flakes.";
    DefaultScene big(glitter({{"subdivs", "1"}, {"flake_scale", "100"}, {"num_flakes", "1"}}));
    KuvoUtils::CapturingRenderLog log;
    big.render(CameraPreset::far, 64, 36, 2, 2, 16, &log);
    big.render(CameraPreset::far, 64, 36, 2, 2, 16, &log);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{warning, warning}));

    for (const auto& settings : std::vector<std::vector<ParameterSetting>>{
             {{"subdivs", "1"}}, defaultSceneChoices().materialSettings}) {
        DefaultScene plain(glitter(settings));
        KuvoUtils::CapturingRenderLog quiet;
        plain.render(CameraPreset::close, 64, 36, 2, 2, 16, &quiet);
        plain.render(CameraPreset::far, 64, 36, 2, 2, 16, &quiet);
        EXPECT_TRUE(quiet.lines().empty()) << quiet.lines()[0];
    }
}

// The default scene's sphere seen from far without flakes, where every contribution passes
// through the material's reflection filter.
Image sphere(const std::vector<ParameterSetting>& settings) {
    std::vector<ParameterSetting> all = {{"subdivs", "1"}, {"enable_flakes", "off"}};
    all.insert(all.end(), settings.begin(), settings.end());
    return DefaultScene(glitter(all)).render(CameraPreset::far, 64, 36, 4, 2);
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

    // A checker of two tiles around the sphere: the reflected colour changes from gold to
    // silver between pixels on either side of a tile edge, which only the hit's UVW can do.
    const Image checker = sphere({{"reflection_map", "checker:2"}});
    int gold = 0;
    int silver = 0;
    for (int y = 10; y < 26; ++y) {
        for (int x = 24; x < 40; ++x) {
            const Color c = checker.at(x, y);
            if (c.r > 0.0f) {
                // Gold reflects blue at 0.34 of red, silver at 1.18.
                (c.b / c.r < 0.7f ? gold : silver) += 1;
            }
        }
    }
    EXPECT_GT(gold, 10);
    EXPECT_GT(silver, 10);
}

TEST(GlitterRenderImage, StoredMaterialRendersLikeItsSettings) {
    const std::vector<ParameterSetting> settings = {{"subdivs", "2"},
                                                    {"flake_scale", "3"},
                                                    {"random_hue", "on"},
                                                    {"reflection_map", "checker:3"},
                                                    {"reflection_map_mult", "60"}};
    const ScratchFolder folder;
    MaterialSource fromFile = glitter({});
    fromFile.materialFile = folder / "material.gsc";
    {
        PluginLibrary library(GLITTER_PLUGIN_DLT);
        host::Scene stored;
        auto* mtl = dynamic_cast<host::Mtl*>(library.materialClass().Create(false));
        ASSERT_NE(mtl, nullptr);
        stored.AddMaterial(mtl);
        for (const ParameterSetting& s : settings) {
            applyParameterSetting(*mtl, s, 0);
        }
        std::string error;
        ASSERT_EQ(host::SaveSceneFile(stored, fromFile.materialFile, error), host::IO_OK) << error;
        stored.Clear();
    }
    DefaultScene loaded(fromFile);
    DefaultScene direct(glitter(settings));
    for (CameraPreset preset : {CameraPreset::close, CameraPreset::far}) {
        EXPECT_TRUE(
            sameBits(loaded.render(preset, 48, 27, 2, 2), direct.render(preset, 48, 27, 2, 2)));
    }
}

}  // namespace
}  // namespace glitter::renderer
