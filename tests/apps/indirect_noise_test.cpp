// The renderer's controls of indirect noise on the default scene: the clamp of indirect samples
// and the lights widened after a diffuse bounce each take the sphere's caustic fireflies off
// the grey floor, while the floor keeps its light and the close camera its sparkle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "apps/renderer/cli_options.h"
#include "apps/renderer/renderer.h"
#include "apps/renderer/scene_presets.h"

namespace glitter::renderer {
namespace {

struct DefaultScene {
    MaterialSet materials;
    Scene scene;
    SceneFraming framing;

    DefaultScene() : materials(source()) { framing = buildDefaultScene(scene, materials); }

    static MaterialSource source() {
        MaterialSource s;
        s.pluginPath = GLITTER_PLUGIN_DLT;
        s.settings = defaultSceneChoices().materialSettings;
        return s;
    }

    Camera camera(CameraPreset preset, int width, int height) const {
        return presetCamera(preset, scene, framing, 0, 1, width, height);
    }

    Image render(const Camera& camera, int spp, const IndirectNoiseControls& indirect,
                 int threads = 2) {
        RenderSettings settings;
        settings.samplesPerPixel = spp;
        settings.threadCount = threads;
        settings.indirect = indirect;
        materials.update(settings.time);
        return Renderer(scene, camera, settings).render(nullptr);
    }

    // Pixels whose 5x5 neighbourhood shows only the ground (object 0) at the pixel centres.
    std::vector<bool> floorPixels(const Camera& camera) const {
        const int w = camera.width();
        const int h = camera.height();
        std::vector<bool> ground(static_cast<std::size_t>(w * h));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const CameraRay ray = camera.generateRay(x + 0.5, y + 0.5);
                SurfaceHit hit;
                ground[static_cast<std::size_t>(y * w + x)] =
                    scene.intersect(ray.origin, ray.direction, 0.0, 1e30, hit) &&
                    hit.objectIndex == 0;
            }
        }
        std::vector<bool> floor(ground.size(), false);
        for (int y = 2; y < h - 2; ++y) {
            for (int x = 2; x < w - 2; ++x) {
                bool all = true;
                for (int dy = -2; dy <= 2; ++dy) {
                    for (int dx = -2; dx <= 2; ++dx) {
                        all = all && ground[static_cast<std::size_t>((y + dy) * w + x + dx)];
                    }
                }
                floor[static_cast<std::size_t>(y * w + x)] = all;
            }
        }
        return floor;
    }
};

struct FloorStats {
    int fireflies = 0;  ///< brighter than 4 times the median of their 5x5 neighbourhood
    double mean = 0.0;
};

FloorStats floorStats(const Image& image, const std::vector<bool>& floor) {
    FloorStats stats;
    int count = 0;
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < w; ++x) {
            if (!floor[static_cast<std::size_t>(y * w + x)]) {
                continue;
            }
            std::vector<float> around;
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    around.push_back(image.at(x + dx, y + dy).g);
                }
            }
            std::nth_element(around.begin(), around.begin() + 12, around.end());
            const float value = image.at(x, y).g;
            stats.fireflies += value > 4.0f * around[12] ? 1 : 0;
            stats.mean += value;
            ++count;
        }
    }
    stats.mean /= std::max(count, 1);
    return stats;
}

// The 99th percentile of the close camera's pixels (all on the sphere) over their median.
double sparkle(const Image& image) {
    std::vector<float> values;
    for (const Color& c : image.pixels()) {
        values.push_back(c.g);
    }
    std::sort(values.begin(), values.end());
    return values[values.size() * 99 / 100] / values[values.size() / 2];
}

TEST(IndirectNoiseImage, FloorLosesItsFirefliesButNotItsLightNorTheSphereItsSparkle) {
    DefaultScene d;
    const Camera far = d.camera(CameraPreset::far, 320, 180);
    const Camera close = d.camera(CameraPreset::close, 96, 54);
    const std::vector<bool> floor = d.floorPixels(far);
    const FloorStats off = floorStats(d.render(far, 8, {}), floor);
    const double offSparkle = sparkle(d.render(close, 4, {}));
    // Measured with both off: 39 fireflies on the floor (the sphere's caustic).
    ASSERT_GE(off.fireflies, 20);
    struct Case {
        const char* name;
        IndirectNoiseControls indirect;
    };
    const Case cases[] = {
        {"the default scene's", defaultSceneChoices().indirect},
        {"clamp alone", {defaultSceneChoices().indirect.clamp, 0.0f}},
        {"widened lights alone", {0.0f, defaultSceneChoices().indirect.lightSpreadDegrees}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FloorStats on = floorStats(d.render(far, 8, c.indirect), floor);
        EXPECT_LE(on.fireflies * 10, off.fireflies);
        // The clamp cuts the caustic's brightest samples; the widened lights keep its power.
        // Against a long reference both lose less than 1 % of the floor's light; 8 samples
        // per pixel add about 1 % of noise.
        EXPECT_NEAR(on.mean / off.mean, 1.0, 0.025);
        EXPECT_NEAR(sparkle(d.render(close, 4, c.indirect)) / offSparkle, 1.0, 0.05);
    }
}

// Run under ThreadSanitizer as well.
TEST(IndirectNoiseThreads, OneAndTwoThreadsGiveTheSameBits) {
    DefaultScene d;
    const Camera far = d.camera(CameraPreset::far, 48, 27);
    const Image one = d.render(far, 2, defaultSceneChoices().indirect, 1);
    const Image two = d.render(far, 2, defaultSceneChoices().indirect, 2);
    EXPECT_EQ(
        std::memcmp(one.pixels().data(), two.pixels().data(), one.pixels().size() * sizeof(Color)),
        0);
}

TEST(IndirectNoiseCli, ValuesAreReadOrRefused) {
    struct Case {
        std::vector<std::string> args;
        float clamp;  ///< negative: the scene's choice; NaN: refused
        float spread;
    };
    const float refused = std::nanf("");
    const Case cases[] = {
        {{}, -1.0f, -1.0f},
        {{"--clamp-indirect", "0", "--light-spread=0"}, 0.0f, 0.0f},
        {{"--clamp-indirect=2.5", "--light-spread", "10"}, 2.5f, 10.0f},
        {{"--clamp-indirect", "-1"}, refused, refused},
        {{"--clamp-indirect", "inf"}, refused, refused},
        {{"--light-spread", "90"}, refused, refused},
        {{"--light-spread", "5x"}, refused, refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("none") : c.args[0] + " " + c.args.back());
        if (std::isnan(c.clamp)) {
            EXPECT_THROW(parseCommandLine(c.args), UsageError);
            continue;
        }
        const CliOptions options = parseCommandLine(c.args);
        EXPECT_EQ(options.clampIndirect, c.clamp);
        EXPECT_EQ(options.lightSpread, c.spread);
    }
}

}  // namespace
}  // namespace glitter::renderer
