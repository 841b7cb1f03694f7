// How the renderer drives a material, and the path integrator against answers known in closed
// form and its three light strategies against one another.
#include "apps/renderer/renderer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <limits>
#include <stdexcept>
#include <thread>

#include "apps/renderer/builtin_material.h"
#include "apps/renderer/material_session.h"
#include "apps/renderer/path_integrator.h"
#include "platform/host/shade_context.h"
#include "platform/renderer/capturing_render_log.h"
#include "platform/renderer/renderer_instance.h"
#include "tests/apps/render_support.h"

namespace glitter::renderer {
namespace {

using glitter::renderer::testing::Estimate;
using glitter::renderer::testing::expectAgree;

// A built-in material that records what the renderer did with it, and can fail as a plug-in's.
class RecordingMaterial final : public KuvoUtils::KuvoRenderMtl {
  public:
    explicit RecordingMaterial(const BuiltinMaterialParams& params) : inner(params) {}

    void prepareRender(int time, KuvoUtils::RendererInstance* renderer) override {
        threadCount = renderer->info->threadCount;
        events.push_back("prepareRender " + std::to_string(threadCount));
        inner.prepareRender(time, renderer);
    }
    void finishRender() override {
        events.push_back("finishRender");
        threadCount = 0;
        inner.finishRender();
    }
    void attachLog(int time, KuvoUtils::RendererInstance* renderer) override {
        events.push_back("attachLog");
        inner.attachLog(time, renderer);
    }
    void detachLog() override {
        events.push_back("detachLog");
        inner.detachLog();
    }
    KuvoUtils::BSDFSampler* acquireBSDF(KuvoUtils::KuvoContext& context, int flags) override {
        // Outside a render threadCount is 0, so every index is foreign.
        const int index = context.threadData->threadIndex;
        if (index < 0 || index >= std::min(threadCount, 8)) {
            ++misuse;
            return nullptr;
        }
        if (throwOnAcquire) throw std::runtime_error("material failed on purpose");
        ++acquired[index];
        maxOutstanding[index] = std::max(maxOutstanding[index], ++outstanding[index]);
        if (inspect) inspect(context);
        return inner.acquireBSDF(context, flags);
    }
    void releaseBSDF(const KuvoUtils::KuvoContext& context, KuvoUtils::BSDFSampler* bsdf) override {
        // Only what acquireBSDF handed out, so the index was checked there.
        if (bsdf != nullptr) --outstanding[context.threadData->threadIndex];
        inner.releaseBSDF(context, bsdf);
    }
    void recordInteger(std::int32_t value) override { inner.recordInteger(value); }
    int reservedQuery(int query, void* data) override { return inner.reservedQuery(query, data); }

    std::vector<std::string> events;
    int threadCount = 0;
    long acquired[8] = {}, outstanding[8] = {}, maxOutstanding[8] = {};  ///< per thread index
    std::atomic<int> misuse{0};   ///< acquires outside a render or with a foreign thread index
    bool throwOnAcquire = false;  ///< as a plug-in whose storage ran out
    std::function<void(KuvoUtils::KuvoContext&)> inspect;

  private:
    BuiltinMaterial inner;
};

// The recording material on a ball above a ground, lit by a small light and a grey sky.
struct RecordedRender {
    RecordingMaterial material;
    BuiltinMaterial ground{MaterialSet::groundParams()};
    Scene scene;
    SphereShape sphere{{0.0, 1.0, 0.0}, 1.0};
    RenderSettings settings = testing::renderSettings(2, 2);
    std::uint64_t dropped = 0;

    explicit RecordedRender(const BuiltinMaterialParams& params = MaterialSet::standInParams())
        : material(params) {
        scene.addPlane("ground", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0), &ground);
        scene.addSphere("ball", sphere, &material);
        scene.addLight(SphereLight({2, 4, 3}, 0.2, Color(50.0f)));
        scene.setEnvironment(Environment::uniform(Color(0.3f)));
        scene.commit();
        settings.tileSize = 8;
    }

    Image render(int size = 32, const std::function<void(double)>& progress = {},
                 KuvoUtils::RenderLog* log = nullptr) {
        const Camera camera({0.0, 1.5, 5.0}, {0.0, 1.0, 0.0}, {0.0, 1.0, 0.0}, 30.0, size,
                            size * 3 / 4);
        Renderer renderer(scene, camera, settings);
        Image image = renderer.render(log, progress);
        dropped = renderer.droppedSamples();
        return image;
    }
};

// Also under ThreadSanitizer: render threads share the scene, the material's pools and the image.
TEST(RendererThreads, DrivesTheMaterialWithContextsOfTheHitAndTilesHoldTheFramesBits) {
    RecordedRender r;
    r.settings.time = 480;
    std::atomic<int> primary = 0;
    r.material.inspect = [&](KuvoUtils::KuvoContext& c) {
        SCOPED_TRACE(c.rayDepth);
        // The ball is the recording material's only object; its hits are exact in double.
        EXPECT_NEAR(length(c.hitPoint - r.sphere.center), 1.0, 1e-12);
        EXPECT_NEAR(length(c.shadingNormal), 1.0f, 1e-5f);
        EXPECT_EQ(std::pair(c.geometricNormal, c.backside), std::pair(c.shadingNormal, 0));
        EXPECT_EQ(c.getUVWBasis(1).dPdw, c.geometricNormal);
        auto* transform = c.findInterface<KuvoUtils::ObjectTransformInterface>();
        ASSERT_NE(transform, nullptr);
        const Vector local = transform->pointToObject(c.hitPoint.toVector());
        EXPECT_NEAR(length(local), 1.0f, 1e-5f);
        // The host shading context describes the same hit, for the material's maps.
        host::ShadeContext* sc = c.hostContext;
        ASSERT_NE(sc, nullptr);
        const auto vec = [](const host::Point3& p) { return Vector(p.x, p.y, p.z); };
        EXPECT_EQ(vec(sc->P()), c.hitPoint.toVector());
        EXPECT_EQ(vec(sc->Normal()), c.shadingNormal);
        EXPECT_EQ(vec(sc->UVW(1)), c.getUVWCoords(1));
        EXPECT_EQ(vec(sc->UVW(2)), Vector());  // a channel the surfaces do not carry
        EXPECT_EQ(vec(sc->PObj()), local);
        EXPECT_EQ(sc->CurTime(), 480);
        EXPECT_FALSE(sc->backFace);
        // The BSDF's reflection children carry its flags; a primary ray's footprint at 5 units
        // is about 0.11 units, 1 / cos times that where slanted (which rim hits come first
        // varies with the threads).
        EXPECT_EQ(c.rayFlags, c.rayDepth == 0 ? 0 : 0x9002);
        if (c.rayDepth == 0 && ++primary < 64) {
            EXPECT_GT(length(c.dPdx), 0.08f);
            EXPECT_LT(length(c.dPdx) * -dot(c.rayDir, c.shadingNormal), 0.2f);
        }
    };
    std::vector<double> progress;
    const auto caller = std::this_thread::get_id();
    const Image whole = r.render(32, [&](double f) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        progress.push_back(f);
    });
    EXPECT_GT(primary, 0);
    EXPECT_EQ(r.material.events, (std::vector<std::string>{"prepareRender 2", "attachLog",
                                                           "detachLog", "finishRender"}));
    EXPECT_EQ(r.material.misuse, 0);
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(r.material.outstanding[t], 0);
        // A hit holds its BSDF while its reflection child is shaded: one per depth, 0 to 6.
        EXPECT_LE(r.material.maxOutstanding[t], 7);
    }
    EXPECT_GT(r.material.acquired[0] + r.material.acquired[1], 32 * 24 / 4);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    // A farm assembles frames from tiles rendered anywhere: a tile must hold the frame's bits.
    r.material.inspect = nullptr;
    r.settings.threadCount = 1;
    r.settings.region = PixelRect{5, 3, 30, 17};
    const Image tile = r.render();
    Image crop(25, 14);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 25; ++x) crop.at(x, y) = whole.at(x + 5, y + 3);
    EXPECT_TRUE(testing::sameBits(tile, crop));  // sizes included
    r.settings.region = PixelRect{0, 0, 33, 4};
    EXPECT_THROW(r.render(), std::invalid_argument);
}

TEST(RendererImage, NonFiniteSamplesAreDroppedAndFailuresFinishTheMaterial) {
    BuiltinMaterialParams params = MaterialSet::standInParams();
    params.reflectance = Color(std::numeric_limits<float>::quiet_NaN());
    RecordedRender r(params);
    KuvoUtils::CapturingRenderLog log;
    const Image image = r.render(16, {}, &log);
    for (const Color& c : image.pixels()) ASSERT_TRUE(isFinite(c));
    EXPECT_GT(r.dropped, 0u);
    EXPECT_EQ(image.at(0, 0).g, 0.3f);  // the sky around the ball is untouched
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.count(KuvoUtils::RenderLog::Level::warning), 1u);
    EXPECT_NE(log.lines()[0].find("non-finite"), std::string::npos);

    // Failures stop the render and finish the material.
    RecordedRender failing;
    failing.material.throwOnAcquire = true;
    EXPECT_THROW(failing.render(), std::runtime_error);
    EXPECT_EQ(failing.material.events, (std::vector<std::string>{"prepareRender 2", "attachLog",
                                                                 "detachLog", "finishRender"}));

    RecordedRender stopped;
    stopped.settings.samplesPerPixel = 8;
    EXPECT_THROW(stopped.render(64, [](double) { throw std::runtime_error("stop"); }),
                 std::runtime_error);
    EXPECT_EQ(stopped.material.events.back(), "finishRender");
}

// A floor (or a ball) of one built-in material under the given lights and sky.
struct World {
    World(BuiltinLobe lobe, float reflectance, float roughness,
          const std::vector<SphereLight>& lights, float sky = 0.0f, bool ball = false)
        : material(BuiltinMaterialParams{lobe, Color(reflectance), roughness}) {
        if (ball) scene.addSphere("ball", SphereShape({0, 0, 0}, 1.0), &material);
        else scene.addPlane("floor", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0), &material);
        for (const SphereLight& light : lights) scene.addLight(light);
        scene.setEnvironment(Environment::uniform(Color(sky)));
        scene.commit();
    }

    // `count` samples of the green radiance along one ray (low-discrepancy: the error is less).
    Estimate estimate(LightStrategy strategy, const DVector& eye, const DVector& target, int count,
                      int maxDepth = 4) {
        MaterialSession session({&material}, 1, nullptr);
        const PathIntegrator integrator(scene, strategy);
        KuvoUtils::RenderOptions options;
        options.maxRayDepth = maxDepth;
        const KuvoUtils::RenderThreadData thread{0};
        RenderContext root;
        Estimate e;
        for (int s = 0; s < count; ++s) {
            root.resetForPrimary(&thread, &options);
            root.pixelSeed = 0x5eed;
            root.sampleIndex = s;
            root.dimensionOffset = PathIntegrator::kCameraDimensions;
            root.origin = eye;
            root.setRayDir(normalize(target - eye).toVector());
            e.add(integrator.radiance(root).g);
        }
        return e;
    }

    BuiltinMaterial material;
    Scene scene;
};

// Light, BSDF and MIS sampling measure one integral: rho * L_e * (r / d)^2 * cos(theta) for a
// diffuse floor under a sphere light in a black world; a glossy floor from a light's mirror side.
TEST(IntegratorStatistical, EstimatorsAgreeAndMatchTheExactDiffuseAnswer) {
    const DVector lightCentre(0.0, 2.0, 0.0);
    World world(BuiltinLobe::diffuse, 0.5f, 0.0f, {SphereLight(lightCentre, 0.4, Color(10.0f))});
    const DVector point(0.5, 0.0, 0.3);
    const DVector toLight = lightCentre - point;
    const double d = length(toLight);
    const double exact = 0.5 * 10.0 * (0.4 / d) * (0.4 / d) * (toLight.y / d);

    const DVector eye(0.5, 1.0, 1.8);
    const Estimate light = world.estimate(LightStrategy::lightOnly, eye, point, 4096);
    const Estimate bsdf = world.estimate(LightStrategy::bsdfOnly, eye, point, 16384);
    const Estimate mis = world.estimate(LightStrategy::mis, eye, point, 4096);
    // Light sampling of a sphere light seen whole is nearly noise-free.
    EXPECT_NEAR(light.mean(), exact, 2e-3 * exact);
    EXPECT_NEAR(bsdf.mean(), exact, 4.0 * bsdf.standardError());
    EXPECT_NEAR(mis.mean(), exact, 4.0 * mis.standardError() + 2e-3 * exact);
    // Each estimator on its own sees real noise; MIS keeps the better one's.
    EXPECT_GT(bsdf.standardError(), 0.0);
    EXPECT_LT(mis.standardError(), bsdf.standardError());

    for (float roughness : {0.15f, 0.4f}) {
        SCOPED_TRACE(roughness);
        World glossy(BuiltinLobe::glossy, 0.8f, roughness,
                     {SphereLight({0.0, 2.0, 0.0}, 0.3, Color(10.0f)),
                      SphereLight({1.5, 1.0, 1.0}, 0.1, Color(40.0f))});
        const DVector at(-1.0, 0.0, 0.0);
        const DVector mirror(-2.2, 2.4, 0.1);
        const Estimate g[] = {glossy.estimate(LightStrategy::lightOnly, mirror, at, 8192),
                              glossy.estimate(LightStrategy::bsdfOnly, mirror, at, 8192),
                              glossy.estimate(LightStrategy::mis, mirror, at, 8192)};
        EXPECT_GT(g[2].mean(), 0.05);
        expectAgree(g[0], g[1], "light vs bsdf");
        expectAgree(g[2], g[0], "mis vs light");
        expectAgree(g[2], g[1], "mis vs bsdf");
    }
}

TEST(Integrator, WhiteFurnaceAndDepthLimit) {
    // A white diffuse ball in a white world: every sample of every bounce has weight 1.
    World furnace(BuiltinLobe::diffuse, 1.0f, 0.0f, {}, 1.0f, true);
    for (const DVector& eye : {DVector(0.3, 0.2, 5.0), DVector(-4.0, 0.1, 0.3)}) {
        const Estimate white = furnace.estimate(LightStrategy::mis, eye, {0.2, -0.3, 0.1}, 256);
        EXPECT_NEAR(white.mean(), 1.0, 1e-5);
        EXPECT_LT(white.standardError(), 1e-6);
    }
    // One bounce off a grey floor sees only the sky; at the depth limit it reflects nothing.
    World grey(BuiltinLobe::diffuse, 0.5f, 0.0f, {}, 1.0f);
    EXPECT_NEAR(grey.estimate(LightStrategy::mis, {0, 1, 2}, {0, 0, 0}, 64).mean(), 0.5, 1e-5);
    EXPECT_EQ(grey.estimate(LightStrategy::mis, {0, 1, 2}, {0, 0, 0}, 64, 0).mean(), 0.0);
}

}  // namespace
}  // namespace glitter::renderer
