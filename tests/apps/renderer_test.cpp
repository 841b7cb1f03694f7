#include "apps/renderer/renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "apps/renderer/scene_presets.h"
#include "platform/renderer/capturing_render_log.h"
#include "tests/apps/recording_material.h"

namespace glitter::renderer {
namespace {

using testing::RecordingMaterial;

bool sameBits(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.pixels().data(), b.pixels().data(), a.pixels().size() * sizeof(Color)) ==
               0;
}

Image renderDefault(CameraPreset preset, int threads, int tileSize, int spp = 4) {
    MaterialSet materials{MaterialSource{}};
    Scene scene;
    const SceneFraming framing = buildDefaultScene(scene, materials);
    const Camera camera = presetCamera(preset, scene, framing, 0, 1, 48, 32);
    RenderSettings settings;
    settings.samplesPerPixel = spp;
    settings.threadCount = threads;
    settings.tileSize = tileSize;
    Renderer renderer(scene, camera, settings);
    return renderer.render(nullptr);
}

TEST(RendererImage, ImageDoesNotDependOnTheThreadCountOrTiles) {
    for (CameraPreset preset : {CameraPreset::far, CameraPreset::close}) {
        const Image one = renderDefault(preset, 1, 16);
        const Image two = renderDefault(preset, 2, 16);
        const Image odd = renderDefault(preset, 2, 7);
        EXPECT_TRUE(sameBits(one, two));
        EXPECT_TRUE(sameBits(one, odd));
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

TEST(RendererImage, SeedChangesTheNoiseButNotTheImage) {
    MaterialSet materials{MaterialSource{}};
    Scene scene;
    const SceneFraming framing = buildDefaultScene(scene, materials);
    const Camera camera = presetCamera(CameraPreset::far, scene, framing, 0, 1, 24, 16);
    RenderSettings settings;
    settings.samplesPerPixel = 16;
    Renderer first(scene, camera, settings);
    const Image a = first.render(nullptr);
    settings.seed = 1;
    Renderer second(scene, camera, settings);
    const Image b = second.render(nullptr);
    EXPECT_FALSE(sameBits(a, b));
    double sumA = 0.0, sumB = 0.0;
    for (std::size_t i = 0; i < a.pixels().size(); ++i) {
        sumA += a.pixels()[i].g;
        sumB += b.pixels()[i].g;
    }
    EXPECT_NEAR(sumA, sumB, 0.05 * sumA);
}

struct RecordedRender {
    BuiltinMaterialParams params = MaterialSet::standInParams();
    RecordingMaterial material{params};
    BuiltinMaterial ground{MaterialSet::groundParams()};
    KuvoUtils::CapturingRenderLog log;
    Scene scene;
    SphereShape sphere{{0.0, 1.0, 0.0}, 1.0};
    std::uint64_t dropped = 0;

    RecordedRender() {
        scene.addPlane("ground", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0), &ground);
        scene.addSphere("ball", sphere, &material);
        scene.addLight(SphereLight({2, 4, 3}, 0.2, Color(50.0f)));
        scene.setEnvironment(Environment::uniform(Color(0.3f)));
        scene.commit();
    }

    int time = 0;

    Image render(int threads, int spp = 2) {
        const Camera camera({0.0, 1.5, 5.0}, {0.0, 1.0, 0.0}, {0.0, 1.0, 0.0}, 30.0, 32, 24);
        RenderSettings settings;
        settings.time = time;
        settings.threadCount = threads;
        settings.samplesPerPixel = spp;
        settings.tileSize = 8;
        Renderer renderer(scene, camera, settings);
        Image image = renderer.render(&log);
        dropped = renderer.droppedSamples();
        return image;
    }
};

TEST(RendererImage, DrivesTheMaterialThroughARenderInOrder) {
    RecordedRender r;
    r.render(2);
    const std::vector<std::string> expected = {"prepareRender 2", "attachLog", "detachLog",
                                               "finishRender"};
    EXPECT_EQ(r.material.events, expected);
    EXPECT_EQ(r.material.badThreadIndex, 0);
    EXPECT_EQ(r.material.outsideRender, 0);
    long acquired = 0;
    for (const auto& t : r.material.threads) {
        EXPECT_EQ(t.acquired, t.released);
        EXPECT_EQ(t.outstanding, 0);
        // A hit holds its BSDF while its reflection child is shaded, so a path holds at most
        // one BSDF per depth (0 to the limit of 6).
        EXPECT_LE(t.maxOutstanding, 7);
        acquired += t.acquired;
    }
    EXPECT_GT(acquired, 32 * 24 / 4);
}

TEST(RendererImage, ShadingContextsCarryTheHit) {
    RecordedRender r;
    r.time = 480;
    r.render(1);
    const auto& snapshots = r.material.threads[0].snapshots;
    ASSERT_FALSE(snapshots.empty());
    int primary = 0;
    for (const testing::ContextSnapshot& s : snapshots) {
        SCOPED_TRACE(s.rayDepth);
        // The sphere is the recording material's only object.
        EXPECT_NEAR(length(s.hitPoint - r.sphere.center), 1.0, 1e-12);
        EXPECT_NEAR(length(s.rayDir), 1.0f, 1e-5f);
        EXPECT_NEAR(length(s.shadingNormal), 1.0f, 1e-5f);
        EXPECT_EQ(s.geometricNormal, s.shadingNormal);
        EXPECT_EQ(s.backside, 0);
        EXPECT_EQ(s.maxRayDepth, 6);
        // The host shading context describes the same hit, for the material's maps.
        ASSERT_FALSE(s.hostContextNull);
        EXPECT_EQ(s.hostP, s.hitPoint.toVector());
        EXPECT_EQ(s.hostNormal, s.shadingNormal);
        EXPECT_EQ(s.hostUVW1, s.uvw1);
        EXPECT_EQ(s.hostUVW2, Vector());
        EXPECT_EQ(s.hostPObj, s.hitInObjectSpace);
        EXPECT_EQ(s.hostTime, r.time);
        EXPECT_FALSE(s.hostBackFace);
        EXPECT_GT(length(s.basis1.dPdu), 0.0f);
        EXPECT_EQ(s.basis1.dPdw, s.geometricNormal);
        EXPECT_EQ(length(s.basis2.dPdu), 0.0f);
        ASSERT_TRUE(s.hasObjectTransform);
        EXPECT_NEAR(length(s.hitInObjectSpace), 1.0f, 1e-5f);
        EXPECT_GE(s.uvw1.x, 0.0f);
        EXPECT_LE(s.uvw1.x, 1.0f);
        if (s.rayDepth == 0) {
            ++primary;
            EXPECT_EQ(s.rayFlags, 0);
            // One pixel at 5 units with a 30 degree field over 24 pixels: about 0.11 units,
            // more on the slanted parts of the sphere.
            EXPECT_GT(length(s.dPdx), 0.08f);
            EXPECT_LT(length(s.dPdx), 2.0f);
            EXPECT_GT(length(s.dPdy), 0.08f);
            EXPECT_NEAR(dot(s.dPdx, s.geometricNormal), 0.0f, 1e-4f);
        } else {
            EXPECT_EQ(s.rayFlags, 0x9002);  // the BSDF's reflection children
        }
    }
    EXPECT_GT(primary, 0);
}

TEST(RendererImage, NonFiniteSamplesAreDroppedAndReported) {
    BuiltinMaterialParams params = MaterialSet::standInParams();
    params.reflectance = Color(std::numeric_limits<float>::quiet_NaN());
    BuiltinMaterial broken(params);
    Scene scene;
    scene.addSphere("ball", SphereShape({0, 0, 0}, 1.0), &broken);
    scene.addLight(SphereLight({2, 4, 3}, 0.2, Color(50.0f)));
    scene.setEnvironment(Environment::uniform(Color(0.3f)));
    scene.commit();
    const Camera camera({0.0, 0.0, 5.0}, {0.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, 30.0, 16, 16);
    RenderSettings settings;
    settings.samplesPerPixel = 2;
    KuvoUtils::CapturingRenderLog log;
    Renderer renderer(scene, camera, settings);
    const Image image = renderer.render(&log);
    for (const Color& c : image.pixels()) {
        ASSERT_TRUE(isFinite(c));
    }
    EXPECT_GT(renderer.droppedSamples(), 0u);
    EXPECT_EQ(image.at(0, 0).g, 0.3f);  // the sky around the sphere is untouched
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.count(KuvoUtils::RenderLog::Level::warning), 1u);
    EXPECT_NE(log.lines()[0].find("non-finite"), std::string::npos);
}

TEST(RendererImage, MaterialFailureStopsTheRenderAndFinishesTheMaterial) {
    RecordedRender r;
    r.material.throwOnAcquire = true;
    EXPECT_THROW(r.render(2), std::runtime_error);
    ASSERT_GE(r.material.events.size(), 2u);
    EXPECT_EQ(r.material.events.back(), "finishRender");
    EXPECT_EQ(r.material.events[r.material.events.size() - 2], "detachLog");
}

TEST(RendererImage, ProgressReachesOneOnTheCallingThread) {
    RecordedRender r;
    const Camera camera({0.0, 1.5, 5.0}, {0.0, 1.0, 0.0}, {0.0, 1.0, 0.0}, 30.0, 16, 16);
    Renderer renderer(r.scene, camera, RenderSettings{});
    std::vector<double> seen;
    const auto caller = std::this_thread::get_id();
    bool otherThread = false;
    renderer.render(nullptr, [&](double f) {
        seen.push_back(f);
        otherThread = otherThread || std::this_thread::get_id() != caller;
    });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 1.0);
    EXPECT_FALSE(otherThread);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i], seen[i - 1]);
    }
}

TEST(RendererImage, ProgressCallbackFailureStopsTheRenderCleanly) {
    RecordedRender r;
    const Camera camera({0.0, 1.5, 5.0}, {0.0, 1.0, 0.0}, {0.0, 1.0, 0.0}, 30.0, 64, 64);
    RenderSettings settings;
    settings.threadCount = 2;
    settings.samplesPerPixel = 8;
    Renderer renderer(r.scene, camera, settings);
    EXPECT_THROW(renderer.render(nullptr, [](double) { throw std::runtime_error("stop"); }),
                 std::runtime_error);
    EXPECT_EQ(r.material.events.back(), "finishRender");
}

// Run under ThreadSanitizer: render threads share the scene, the materials' per-thread pools
// and the image.
TEST(RendererThreads, TwoThreadsShadeWithTheirOwnPools) {
    RecordedRender r;
    const Image image = r.render(2, 2);
    EXPECT_EQ(r.material.badThreadIndex, 0);
    long acquired = 0;
    for (int t = 0; t < 2; ++t) {
        EXPECT_EQ(r.material.threads[t].acquired, r.material.threads[t].released);
        acquired += r.material.threads[t].acquired;
    }
    EXPECT_GT(acquired, 0);
    const Image single = r.render(1, 2);
    EXPECT_TRUE(sameBits(image, single));
}

}  // namespace
}  // namespace glitter::renderer
