// Whole renders of the real glitter material, loaded from the plug-in library as the program
// loads it: images independent of the thread count, the light and BSDF estimators measuring
// the same light, flakes and the smooth lobe agreeing where they blend, the flake-scale
// warning once per render, the reflection map evaluated through the host shading context, and
// stored materials rendering like the settings they hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "apps/renderer/material_source.h"
#include "apps/renderer/renderer.h"
#include "apps/renderer/scene_presets.h"
#include "platform/host/mtl.h"
#include "platform/host/scene.h"
#include "platform/host/scene_file.h"
#include "platform/renderer/capturing_render_log.h"

namespace glitter::renderer {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPlugin = GLITTER_PLUGIN_DLT;
constexpr const char* kScaleWarning =
    "warning: KuvoStochasticFlakesMtl :: Stochastic flakes scale is too big! Reduce the flake "
    "scale and compensate by increasing the number of flakes.";

MaterialSource glitter(std::vector<ParameterSetting> settings) {
    MaterialSource source;
    source.pluginPath = kPlugin;
    source.settings = std::move(settings);
    return source;
}

bool sameBits(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.pixels().data(), b.pixels().data(), a.pixels().size() * sizeof(Color)) ==
               0;
}

double meanGreen(const Image& image) {
    double sum = 0.0;
    for (const Color& c : image.pixels()) {
        sum += c.g;
    }
    return sum / static_cast<double>(image.pixels().size());
}

// The default scene with the plug-in material, rendered through the whole renderer.
struct DefaultScene {
    MaterialSet materials;
    Scene scene;
    SceneFraming framing;

    explicit DefaultScene(const MaterialSource& source) : materials(source) {
        framing = buildDefaultScene(scene, materials);
    }

    Image render(CameraPreset preset, int width, int height, int spp, int threads,
                 int tileSize = 16, KuvoUtils::RenderLog* log = nullptr) {
        const Camera camera = presetCamera(preset, scene, framing, 0, 1, width, height);
        RenderSettings settings;
        settings.samplesPerPixel = spp;
        settings.threadCount = threads;
        settings.tileSize = tileSize;
        materials.update(settings.time);
        Renderer renderer(scene, camera, settings);
        return renderer.render(log);
    }
};

// Run under ThreadSanitizer as well: two render threads shade with the plug-in's per-thread
// pools, search flakes and evaluate the reflection map at once.
TEST(GlitterRenderThreads, OneAndTwoThreadsGiveTheSameBits) {
    const std::vector<std::vector<ParameterSetting>> variants = {
        {{"subdivs", "2"}, {"flake_scale", "3"}},
        {{"subdivs", "1"}, {"random_hue", "on"}, {"reflection_map", "checker"}},
    };
    for (const auto& settings : variants) {
        DefaultScene d(glitter(settings));
        for (CameraPreset preset : {CameraPreset::close, CameraPreset::far}) {
            const Image one = d.render(preset, 64, 36, 2, 1);
            const Image two = d.render(preset, 64, 36, 2, 2);
            const Image odd = d.render(preset, 64, 36, 2, 2, 5);
            EXPECT_TRUE(sameBits(one, two));
            EXPECT_TRUE(sameBits(one, odd));
            EXPECT_GT(meanGreen(one), 0.0);
        }
    }
}

TEST(GlitterRenderImage, CloseUpSinglePixelsSparkle) {
    // Close up a pixel holds a fraction of a flake: the few pixels whose flakes mirror a light
    // are far brighter than the rest and carry much of the image's light. Footprints that were
    // too large (wrong ray differentials) would average many flakes into a smooth highlight.
    DefaultScene d(glitter(defaultSceneChoices().materialSettings));
    const Image close = d.render(CameraPreset::close, 96, 54, 4, 2);
    std::vector<double> values;
    double total = 0.0;
    for (const Color& c : close.pixels()) {
        values.push_back(c.g);
        total += c.g;
    }
    std::sort(values.begin(), values.end(), std::greater<>());
    double brightest = 0.0;
    for (std::size_t i = 0; i < values.size() / 50; ++i) {
        brightest += values[i];
    }
    // Measured: the brightest 2 % hold 15 % of the light, and the 99th percentile is 120 times
    // the median.
    EXPECT_GT(brightest / total, 0.1) << "the brightest 2 % of pixels hold too little light";
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

    explicit FloorScene(const MaterialSource& source) : materials(source) {
        scene.addPlane("floor", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0),
                       materials.subject());
        scene.addLight(SphereLight({0.0, 4.0, 0.0}, 1.0, Color(2.0f)));
        scene.commit();
    }

    /// Flakes per cell that put `flakes` flakes into the footprint of the image's central
    /// pixel (the corner pixels' footprints are 1 / cos^3(7 degrees) = 1.02 times larger).
    static int numFlakesFor(double flakes) {
        const double pixel = 2.0 * kHeight * std::tan(kFovDegrees * kPi / 360.0) / kSize;
        return static_cast<int>(std::lround(flakes / (pixel * pixel)));
    }

    struct Estimate {
        double mean = 0.0;
        double standardError = 0.0;
    };

    /// The image's mean green over `seeds` renders with different sample patterns (the flakes
    /// stay where they are), with the standard error of that mean.
    Estimate measure(LightStrategy strategy, int seeds, int spp) {
        const Camera camera({0.0, kHeight, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, -1.0}, kFovDegrees,
                            kSize, kSize);
        materials.update(0);
        double sum = 0.0;
        double sumSquares = 0.0;
        for (int s = 0; s < seeds; ++s) {
            RenderSettings settings;
            settings.samplesPerPixel = spp;
            settings.threadCount = 2;
            settings.strategy = strategy;
            settings.seed = static_cast<std::uint32_t>(s + 1);
            Renderer renderer(scene, camera, settings);
            const double mean = meanGreen(renderer.render(nullptr));
            sum += mean;
            sumSquares += mean * mean;
        }
        Estimate e;
        e.mean = sum / seeds;
        const double variance = std::max(0.0, (sumSquares - sum * e.mean) / (seeds - 1));
        e.standardError = std::sqrt(variance / seeds);
        return e;
    }

    MaterialSet materials;
    Scene scene;
};

void expectAgree(const FloorScene::Estimate& a, const FloorScene::Estimate& b, const char* what) {
    const double se = std::hypot(a.standardError, b.standardError);
    EXPECT_LT(std::fabs(a.mean - b.mean), 4.0 * se)
        << what << ": " << a.mean << " +- " << a.standardError << " vs " << b.mean << " +- "
        << b.standardError;
}

TEST(GlitterRenderImage, LightAndBsdfSamplingMeasureTheSameFlakes) {
    // About 100 flakes per pixel: discrete flakes only, well below blend_min. Light samples
    // find the flakes through evalLight, BSDF samples by picking a flake and a direction in its
    // cone; both integrate the same (fixed) flakes, so only sampling noise separates them.
    FloorScene floor(
        glitter({{"subdivs", "1"}, {"num_flakes", std::to_string(FloorScene::numFlakesFor(100))}}));
    const FloorScene::Estimate light = floor.measure(LightStrategy::lightOnly, 8, 4);
    const FloorScene::Estimate bsdf = floor.measure(LightStrategy::bsdfOnly, 8, 4);
    const FloorScene::Estimate mis = floor.measure(LightStrategy::mis, 8, 4);
    EXPECT_GT(mis.mean, 0.2);
    expectAgree(light, bsdf, "light only vs BSDF only");
    expectAgree(light, mis, "light only vs MIS");
    expectAgree(bsdf, mis, "BSDF only vs MIS");
    // The estimates are precise enough for the comparison to mean something.
    EXPECT_LT(std::hypot(light.standardError, bsdf.standardError), 0.02 * mis.mean);
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
    const std::string flakes = std::to_string(FloorScene::numFlakesFor(600));
    FloorScene on(glitter({{"subdivs", "1"}, {"num_flakes", flakes}}));
    FloorScene off(glitter({{"subdivs", "1"}, {"num_flakes", flakes}, {"enable_flakes", "off"}}));
    const FloorScene::Estimate withFlakes = on.measure(LightStrategy::mis, 8, 4);
    const FloorScene::Estimate smooth = off.measure(LightStrategy::mis, 8, 4);
    const double ratio = withFlakes.mean / smooth.mean;
    const double noise = 4.0 * std::hypot(withFlakes.standardError / withFlakes.mean,
                                          smooth.standardError / smooth.mean);
    EXPECT_GT(ratio, 0.985 - 0.002 - noise) << withFlakes.mean << " vs " << smooth.mean;
    EXPECT_LT(ratio, 1.0 + 0.002 + noise) << withFlakes.mean << " vs " << smooth.mean;
    EXPECT_LT(noise, 0.02);
}

TEST(GlitterRenderImage, FlakeScaleWarningOncePerRenderAndNeverAtTheDefaults) {
    // flake_scale 100 with one flake per cell: far-camera footprints at 64 x 36 span about two
    // cells and hold a few flakes, so discrete flakes stay on and the warning is due.
    DefaultScene big(glitter({{"subdivs", "1"}, {"flake_scale", "100"}, {"num_flakes", "1"}}));
    KuvoUtils::CapturingRenderLog log;
    big.render(CameraPreset::far, 64, 36, 2, 2, 16, &log);
    EXPECT_EQ(log.lines(), std::vector<std::string>{kScaleWarning});
    big.render(CameraPreset::far, 64, 36, 2, 2, 16, &log);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{kScaleWarning, kScaleWarning}));

    for (const auto& settings : std::vector<std::vector<ParameterSetting>>{
             {{"subdivs", "1"}}, defaultSceneChoices().materialSettings}) {
        DefaultScene plain(glitter(settings));
        KuvoUtils::CapturingRenderLog quiet;
        for (CameraPreset preset : {CameraPreset::close, CameraPreset::far}) {
            plain.render(preset, 64, 36, 2, 2, 16, &quiet);
        }
        EXPECT_TRUE(quiet.lines().empty()) << quiet.lines()[0];
    }
}

// The centre pixel of the default scene's sphere seen from far, where every contribution
// passes through the material's reflection filter.
Color sphereCentre(const std::vector<ParameterSetting>& settings) {
    std::vector<ParameterSetting> all = {{"subdivs", "1"}, {"enable_flakes", "off"}};
    all.insert(all.end(), settings.begin(), settings.end());
    DefaultScene d(glitter(all));
    const Image image = d.render(CameraPreset::far, 64, 36, 4, 2);
    return image.at(32, 18);
}

TEST(GlitterRenderImage, ReflectionMapIsEvaluatedAtTheHit) {
    const Color plain = sphereCentre({});
    ASSERT_GT(plain.g, 0.0f);
    // An opaque red map at 100 % replaces the filter: nothing green or blue is reflected.
    const Color red = sphereCentre({{"reflection_map", "constant:1,0,0"}});
    EXPECT_GT(red.r, 0.0f);
    EXPECT_EQ(red.g, 0.0f);
    EXPECT_EQ(red.b, 0.0f);
    // At 50 % the filter becomes (1, 0.5, 0.5) of white; switched off, the map is ignored.
    const Color half =
        sphereCentre({{"reflection_map", "constant:1,0,0"}, {"reflection_map_mult", "50"}});
    EXPECT_NEAR(half.g / half.r, 0.5f * plain.g / plain.r, 1e-4f);
    const Color unused =
        sphereCentre({{"reflection_map", "constant:1,0,0"}, {"reflection_map_on", "off"}});
    EXPECT_EQ(unused.g, plain.g);
}

TEST(GlitterRenderImage, CheckerMapFollowsMapChannelOne) {
    // A checker of two tiles around the sphere: the reflected colour changes from gold to
    // silver between pixels on either side of a tile edge, which only the hit's UVW can do.
    std::vector<ParameterSetting> settings = {
        {"subdivs", "1"}, {"enable_flakes", "off"}, {"reflection_map", "checker:2"}};
    DefaultScene d(glitter(settings));
    const Image image = d.render(CameraPreset::far, 64, 36, 4, 2);
    int gold = 0;
    int silver = 0;
    for (int y = 10; y < 26; ++y) {
        for (int x = 24; x < 40; ++x) {
            const Color c = image.at(x, y);
            if (!(c.r > 0.0f)) {
                continue;
            }
            // Gold reflects blue at 0.34 of red, silver at 1.18.
            (c.b / c.r < 0.7f ? gold : silver) += 1;
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
    const fs::path file = fs::path(::testing::TempDir()) / "glitter_render_test_material.gsc";
    {
        PluginLibrary library(kPlugin);
        host::Scene stored;
        auto* mtl = dynamic_cast<host::Mtl*>(library.materialClass().Create(false));
        ASSERT_NE(mtl, nullptr);
        stored.AddMaterial(mtl);
        for (const ParameterSetting& s : settings) {
            applyParameterSetting(*mtl, s, 0);
        }
        std::string error;
        ASSERT_EQ(host::SaveSceneFile(stored, file, error), host::IO_OK) << error;
        stored.Clear();
    }
    MaterialSource fromFile = glitter({});
    fromFile.materialFile = file.string();
    DefaultScene loaded(fromFile);
    DefaultScene direct(glitter(settings));
    for (CameraPreset preset : {CameraPreset::close, CameraPreset::far}) {
        EXPECT_TRUE(
            sameBits(loaded.render(preset, 48, 27, 2, 2), direct.render(preset, 48, 27, 2, 2)));
    }
    fs::remove(file);
}

}  // namespace
}  // namespace glitter::renderer
