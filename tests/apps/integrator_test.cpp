// The path integrator against answers known in closed form, and its three light strategies
// against one another.
#include <gtest/gtest.h>

#include "apps/renderer/builtin_material.h"
#include "apps/renderer/material_session.h"
#include "apps/renderer/path_integrator.h"
#include "tests/apps/render_support.h"

namespace glitter::renderer {
namespace {

using glitter::renderer::testing::Estimate;
using glitter::renderer::testing::expectAgree;

// A floor (or a ball) of one built-in material under the given lights and sky.
struct World {
    World(const BuiltinMaterialParams& params, const std::vector<SphereLight>& lights,
          float sky = 0.0f, bool ball = false)
        : material(params) {
        if (ball) {
            scene.addSphere("ball", SphereShape({0, 0, 0}, 1.0), &material);
        } else {
            scene.addPlane("floor", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0), &material);
        }
        for (const SphereLight& light : lights) scene.addLight(light);
        scene.setEnvironment(Environment::uniform(Color(sky)));
        scene.commit();
    }

    // `count` samples of the green radiance along one ray. The samples are low-discrepancy, so
    // their standard error overstates the real one.
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

BuiltinMaterialParams lobe(BuiltinLobe kind, float reflectance, float roughness = 0.0f) {
    BuiltinMaterialParams p;
    p.lobe = kind;
    p.reflectance = Color(reflectance);
    p.roughness = roughness;
    return p;
}

// A diffuse floor under one sphere light, in a black world: the reflected radiance is known
// in closed form, rho * L_e * (r / d)^2 * cos(theta), for a light wholly above the horizon.
TEST(IntegratorStatistical, LightAndBsdfEstimatorsMatchTheExactDiffuseAnswer) {
    const DVector lightCentre(0.0, 2.0, 0.0);
    World world(lobe(BuiltinLobe::diffuse, 0.5f), {SphereLight(lightCentre, 0.4, Color(10.0f))});
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
}

// A glossy (Beckmann) floor seeing a light's highlight: no closed form, but the three
// estimators measure the same integral.
TEST(IntegratorStatistical, GlossyHighlightAgreesAcrossEstimators) {
    for (float roughness : {0.15f, 0.4f}) {
        SCOPED_TRACE(roughness);
        World world(lobe(BuiltinLobe::glossy, 0.8f, roughness),
                    {SphereLight({0.0, 2.0, 0.0}, 0.3, Color(10.0f)),
                     SphereLight({1.5, 1.0, 1.0}, 0.1, Color(40.0f))});
        // The eye sits at the mirror image of the first light's direction about the point.
        const DVector point(-1.0, 0.0, 0.0);
        const DVector eye(-2.2, 2.4, 0.1);
        const Estimate light = world.estimate(LightStrategy::lightOnly, eye, point, 8192);
        const Estimate bsdf = world.estimate(LightStrategy::bsdfOnly, eye, point, 8192);
        const Estimate mis = world.estimate(LightStrategy::mis, eye, point, 8192);
        EXPECT_GT(mis.mean(), 0.05);
        expectAgree(light, bsdf, "light vs bsdf");
        expectAgree(mis, light, "mis vs light");
        expectAgree(mis, bsdf, "mis vs bsdf");
    }
}

TEST(Integrator, WhiteFurnaceAndDepthLimit) {
    // A white diffuse ball alone in a white world reflects exactly what it receives: every
    // sample of every bounce has weight 1.
    World furnace(lobe(BuiltinLobe::diffuse, 1.0f), {}, 1.0f, true);
    for (const DVector& eye : {DVector(0.3, 0.2, 5.0), DVector(-4.0, 0.1, 0.3)}) {
        const Estimate white = furnace.estimate(LightStrategy::mis, eye, {0.2, -0.3, 0.1}, 256);
        EXPECT_NEAR(white.mean(), 1.0, 1e-5);
        EXPECT_LT(white.standardError(), 1e-6);
    }
    // One diffuse bounce off a grey floor sees only the sky: 0.5. At the depth limit the
    // material reflects nothing.
    World grey(lobe(BuiltinLobe::diffuse, 0.5f), {}, 1.0f);
    EXPECT_NEAR(grey.estimate(LightStrategy::mis, {0, 1, 2}, {0, 0, 0}, 64).mean(), 0.5, 1e-5);
    EXPECT_EQ(grey.estimate(LightStrategy::mis, {0, 1, 2}, {0, 0, 0}, 64, 0).mean(), 0.0);
}

}  // namespace
}  // namespace glitter::renderer
