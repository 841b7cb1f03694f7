#include <gtest/gtest.h>

#include <cmath>

#include "apps/renderer/builtin_material.h"
#include "apps/renderer/material_session.h"
#include "apps/renderer/path_integrator.h"

namespace glitter::renderer {
namespace {

struct Estimate {
    double mean = 0.0;
    double standardError = 0.0;
};

// `count` samples of the green radiance along one ray, with the statistics of the samples.
// (The samples are low-discrepancy, so the real error is smaller than this standard error:
// the comparisons below are conservative.)
Estimate estimate(const Scene& scene, KuvoUtils::KuvoRenderMtl& material, LightStrategy strategy,
                  const DVector& eye, const DVector& target, int count, int maxDepth = 4) {
    MaterialSession session({&material}, 1, nullptr);
    const PathIntegrator integrator(scene, strategy);
    KuvoUtils::RenderOptions options;
    options.maxRayDepth = maxDepth;
    const KuvoUtils::RenderThreadData thread{0};
    RenderContext root;
    double sum = 0.0;
    double sumSquares = 0.0;
    for (int s = 0; s < count; ++s) {
        root.resetForPrimary(&thread, &options);
        root.pixelSeed = 0x5eed;
        root.sampleIndex = s;
        root.dimensionOffset = PathIntegrator::kCameraDimensions;
        root.origin = eye;
        root.setRayDir(normalize(target - eye).toVector());
        const double value = integrator.radiance(root).g;
        sum += value;
        sumSquares += value * value;
    }
    Estimate e;
    e.mean = sum / count;
    const double variance = std::max(0.0, sumSquares / count - e.mean * e.mean);
    e.standardError = std::sqrt(variance / count);
    return e;
}

void expectAgree(const Estimate& a, const Estimate& b, const char* what) {
    const double se = std::sqrt(a.standardError * a.standardError +
                                b.standardError * b.standardError);
    EXPECT_LT(std::fabs(a.mean - b.mean), 4.0 * se + 1e-9)
        << what << ": " << a.mean << " +- " << a.standardError << " vs " << b.mean << " +- "
        << b.standardError;
}

BuiltinMaterialParams diffuse(float reflectance) {
    BuiltinMaterialParams p;
    p.lobe = BuiltinLobe::diffuse;
    p.reflectance = Color(reflectance);
    return p;
}

// A diffuse floor under one sphere light, in a black world: the reflected radiance is known
// in closed form, rho * L_e * (r / d)^2 * cos(theta), for a light wholly above the horizon.
TEST(IntegratorStatistical, LightAndBsdfEstimatorsMatchTheExactDiffuseAnswer) {
    BuiltinMaterial floor(diffuse(0.5f));
    Scene scene;
    scene.addPlane("floor", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0), &floor);
    const DVector lightCentre(0.0, 2.0, 0.0);
    const double radius = 0.4;
    const float emitted = 10.0f;
    scene.addLight(SphereLight(lightCentre, radius, Color(emitted)));
    scene.commit();

    const DVector point(0.5, 0.0, 0.3);
    const DVector toLight = lightCentre - point;
    const double d = length(toLight);
    const double exact = 0.5 * emitted * (radius / d) * (radius / d) * (toLight.y / d);

    const DVector eye(0.5, 1.0, 1.8);
    const Estimate light = estimate(scene, floor, LightStrategy::lightOnly, eye, point, 4096);
    const Estimate bsdf = estimate(scene, floor, LightStrategy::bsdfOnly, eye, point, 16384);
    const Estimate mis = estimate(scene, floor, LightStrategy::mis, eye, point, 4096);
    // Light sampling of a sphere light seen whole is nearly noise-free.
    EXPECT_NEAR(light.mean, exact, 2e-3 * exact);
    EXPECT_NEAR(bsdf.mean, exact, 4.0 * bsdf.standardError);
    EXPECT_NEAR(mis.mean, exact, 4.0 * mis.standardError + 2e-3 * exact);
    expectAgree(light, bsdf, "light vs bsdf");
    // Each estimator on its own sees real noise; MIS keeps the better one's.
    EXPECT_GT(bsdf.standardError, 0.0);
    EXPECT_LT(mis.standardError, bsdf.standardError);
}

// A glossy (Beckmann) floor seeing a light's highlight: no closed form, but the three
// estimators measure the same integral.
TEST(IntegratorStatistical, GlossyHighlightAgreesAcrossEstimators) {
    for (float roughness : {0.15f, 0.4f}) {
        BuiltinMaterialParams params;
        params.lobe = BuiltinLobe::glossy;
        params.reflectance = Color(0.8f);
        params.roughness = roughness;
        BuiltinMaterial floor(params);
        Scene scene;
        scene.addPlane("floor", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0), &floor);
        scene.addLight(SphereLight({0.0, 2.0, 0.0}, 0.3, Color(10.0f)));
        scene.addLight(SphereLight({1.5, 1.0, 1.0}, 0.1, Color(40.0f)));
        scene.commit();
        // The eye sits at the mirror image of the first light's direction about the point.
        const DVector point(-1.0, 0.0, 0.0);
        const DVector eye(-2.2, 2.4, 0.1);
        const Estimate light = estimate(scene, floor, LightStrategy::lightOnly, eye, point, 8192);
        const Estimate bsdf = estimate(scene, floor, LightStrategy::bsdfOnly, eye, point, 8192);
        const Estimate mis = estimate(scene, floor, LightStrategy::mis, eye, point, 8192);
        SCOPED_TRACE(roughness);
        EXPECT_GT(mis.mean, 0.05);
        expectAgree(light, bsdf, "light vs bsdf");
        expectAgree(mis, light, "mis vs light");
        expectAgree(mis, bsdf, "mis vs bsdf");
    }
}

// A white diffuse sphere alone in a white world reflects exactly what it receives: every
// sample of every bounce has weight 1.
TEST(Integrator, WhiteDiffuseSphereInAWhiteFurnaceIsOne) {
    BuiltinMaterial white(diffuse(1.0f));
    Scene scene;
    scene.addSphere("ball", SphereShape({0, 0, 0}, 1.0), &white);
    scene.setEnvironment(Environment::uniform(Color(1.0f)));
    scene.commit();
    MaterialSession session({&white}, 1, nullptr);
    const PathIntegrator integrator(scene, LightStrategy::mis);
    KuvoUtils::RenderOptions options;
    const KuvoUtils::RenderThreadData thread{0};
    RenderContext root;
    for (int s = 0; s < 256; ++s) {
        root.resetForPrimary(&thread, &options);
        root.pixelSeed = 7;
        root.sampleIndex = s;
        root.dimensionOffset = PathIntegrator::kCameraDimensions;
        root.origin = DVector(0.3, 0.2, 5.0);
        root.setRayDir(normalize(DVector(-0.3, 0.1 * (s % 7) - 0.5, -5.0)).toVector());
        const Color value = integrator.radiance(root);
        ASSERT_NEAR(value.r, 1.0f, 1e-5f) << "sample " << s;
        ASSERT_NEAR(value.b, 1.0f, 1e-5f) << "sample " << s;
    }
}

// At the depth limit the material reflects nothing.
TEST(Integrator, DepthLimitStopsReflections) {
    BuiltinMaterial grey(diffuse(0.5f));
    Scene scene;
    scene.addPlane("floor", PlaneShape({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 1.0), &grey);
    scene.setEnvironment(Environment::uniform(Color(1.0f)));
    scene.commit();
    // One diffuse bounce off the floor sees only the sky: 0.5. With depth 0 the floor is
    // inactive: black.
    const DVector eye(0.0, 1.0, 2.0);
    const DVector point(0.0, 0.0, 0.0);
    EXPECT_NEAR(estimate(scene, grey, LightStrategy::mis, eye, point, 64, 4).mean, 0.5, 1e-5);
    EXPECT_EQ(estimate(scene, grey, LightStrategy::mis, eye, point, 64, 0).mean, 0.0);
}

}  // namespace
}  // namespace glitter::renderer
