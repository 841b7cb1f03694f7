#include "apps/renderer/path_integrator.h"

#include <algorithm>
#include <cmath>

#include "apps/renderer/sobol_sampler.h"
#include "platform/renderer/brdf_sampler.h"

namespace glitter::renderer {

// Light samples and the material's density convention.
//
// Every density exchanged with a BSDF is 2*pi times the density per steradian. A BSDF's
// value for direction L is then v = 2*pi * f * cos(theta_L) (f the BRDF), and
//   evalLight(L, lightColor, lightPdf) = v * 0.5 * w * filter * lightColor,
//   w = lightPdf^2 / (pdf^2 + lightPdf^2),
// while a reflection sample's child carries the weight v / pdf * filter and the density pdf.
//
// A light sample drawn with density p per steradian estimates f cos L_e / p. With
// lightPdf = 2*pi * p:
//   v * 0.5 * lightColor = 2*pi f cos * 0.5 * lightColor = pi f cos lightColor,
// so lightColor = L_e / (pi p) = 2 * L_e / lightPdf makes evalLight return exactly
// w * f cos L_e / p. The BSDF sample's weight v / pdf = f cos / p_bsdf is the usual estimator
// already. A child that hits a light therefore gets the other half of the power heuristic,
// pdf^2 / (pdf^2 + lightPdf^2), with the child's density and the light's density of that
// direction (same convention: the ratio does not depend on it), and the two weights add
// up to 1 for every direction both estimators can produce.
namespace {

// Light-only renders inflate the density handed to evalLight's weight (not the one used for
// the colour), so that its power heuristic becomes 1 to within a float's precision.
constexpr float kLightOnlyPdfScale = 1e6f;
constexpr float kMaxPdf = 1e18f;

class BsdfLease {
  public:
    BsdfLease(KuvoUtils::KuvoRenderMtl& material, RenderContext& context)
        : material(material), context(context), bsdf(material.acquireBSDF(context, 0)) {}
    ~BsdfLease() { material.releaseBSDF(context, bsdf); }
    BsdfLease(const BsdfLease&) = delete;
    BsdfLease& operator=(const BsdfLease&) = delete;

    KuvoUtils::KuvoRenderMtl& material;
    RenderContext& context;
    KuvoUtils::BSDFSampler* bsdf;
};

}  // namespace

PathIntegrator::PathIntegrator(const Scene& scene_, LightStrategy strategy_,
                               const IndirectNoiseControls& indirect_)
    : scene(scene_),
      strategy(strategy_),
      indirect(indirect_),
      sinLightSpread(
          std::sin(kPi / 180.0 * std::clamp(double{indirect_.lightSpreadDegrees}, 0.0, 89.0))) {}

bool PathIntegrator::widensLights(const RenderContext& context) const {
    return context.afterDiffuse && sinLightSpread > 0.0;
}

SphereLight PathIntegrator::lightSeenFrom(const RenderContext& context, std::size_t index) const {
    SphereLight light = scene.lights()[index];
    if (!widensLights(context)) {
        return light;
    }
    // A sphere's power goes with radius^2 times radiance.
    const double radius = length(light.center - context.hitPoint) * sinLightSpread;
    if (radius > light.radius) {
        light.radiance *= static_cast<float>((light.radius / radius) * (light.radius / radius));
        light.radius = radius;
    }
    return light;
}

std::uint32_t PathIntegrator::dimensionBase(int depth) {
    return kCameraDimensions + kDimensionsPerBounce * static_cast<std::uint32_t>(depth);
}

DVector PathIntegrator::offsetOrigin(const DVector& point, const Vector& normal,
                                     const Vector& dir) {
    // Meshes are intersected in single precision, so the offset grows with the coordinates.
    const double eps = 1e-4 * (1.0 + maxAbsComponent(point));
    const double side = dot(normal, dir) >= 0.0f ? eps : -eps;
    return point + toDouble(normal) * side;
}

Color PathIntegrator::samplePixel(const Camera& camera, int x, int y, std::uint32_t pixelSeed,
                                  std::uint32_t sampleIndex,
                                  const KuvoUtils::RenderThreadData* thread,
                                  const KuvoUtils::RenderOptions* options,
                                  RenderContext& root) const {
    root.resetForPrimary(thread, options);
    root.pixelSeed = pixelSeed;
    root.sampleIndex = static_cast<std::int32_t>(sampleIndex);
    const double jx = SobolSampler::sample(pixelSeed, sampleIndex, 0);
    const double jy = SobolSampler::sample(pixelSeed, sampleIndex, 1);
    const CameraRay ray = camera.generateRay(x + jx, y + jy);
    root.origin = ray.origin;
    root.setRayDir(ray.direction);
    root.dDdx = ray.dDdx;
    root.dDdy = ray.dDdy;
    root.dimensionOffset = kCameraDimensions;
    return radiance(root);
}

Color PathIntegrator::radiance(RenderContext& ray) const {
    DVector origin = ray.origin;
    const auto* parent = static_cast<const RenderContext*>(ray.parent);
    if (parent != nullptr) {
        origin = offsetOrigin(ray.origin, parent->geometricNormal, ray.traceDir);
    }
    SurfaceHit hit;
    const double tMin = std::max(0.0, ray.minDistance);
    const bool found = scene.intersect(origin, ray.traceDir, tMin, ray.maxDistance, hit);
    if (parent != nullptr && widensLights(*parent)) {
        // The widened lights hold the real ones, so they are met first.
        const DVector dir = toDouble(ray.traceDir);
        double nearest = found && hit.lightIndex < 0 ? hit.t : ray.maxDistance;
        int which = found ? hit.lightIndex : -1;
        for (std::size_t i = 0; i < scene.lights().size(); ++i) {
            double t = 0.0;
            if (lightSeenFrom(*parent, i).intersect(origin, dir, tMin, nearest, t)) {
                nearest = t;
                which = static_cast<int>(i);
            }
        }
        if (which >= 0) {
            return emitted(ray, lightSeenFrom(*parent, static_cast<std::size_t>(which)));
        }
    } else if (found && hit.lightIndex >= 0) {
        if (dot(ray.traceDir, hit.geometricNormal) >= 0.0f) {
            return {};  // lights emit outwards only
        }
        return emitted(ray, scene.lights()[static_cast<std::size_t>(hit.lightIndex)]);
    }
    if (!found) {
        // The environment is reached by reflection samples only, so it takes no weight.
        return scene.environment().radiance(ray.traceDir);
    }
    const SceneObject& object = scene.objects()[static_cast<std::size_t>(hit.objectIndex)];
    ray.setHit(hit, object.objectTransform);
    if (object.material == nullptr) {
        return {};
    }
    return shade(ray, *object.material);
}

Color PathIntegrator::emitted(const RenderContext& ray, const SphereLight& light) const {
    if (!ray.parentSampledLights) {
        return light.radiance;
    }
    if (strategy == LightStrategy::lightOnly) {
        return {};
    }
    if (strategy == LightStrategy::bsdfOnly) {
        return light.radiance;
    }
    const float lightPdf =
        light.density(ray.origin) / static_cast<float>(scene.lights().size());
    const float pdf = ray.density;
    const float denominator = pdf * pdf + lightPdf * lightPdf;
    const float weight = denominator > 0.0f ? pdf * pdf / denominator : 1.0f;
    return light.radiance * weight;
}

Color PathIntegrator::sampleLight(RenderContext& ray, KuvoUtils::BRDFSampler& brdf,
                                  std::uint32_t index) const {
    const std::uint32_t base = dimensionBase(ray.rayDepth);
    const std::size_t lightCount = scene.lights().size();
    const float choice = SobolSampler::sample(ray.pixelSeed, index, base + 0);
    const std::size_t which = std::min(
        static_cast<std::size_t>(choice * static_cast<float>(lightCount)), lightCount - 1);
    const SphereLight light = lightSeenFrom(ray, which);
    const LightSample sample =
        light.sample(ray.hitPoint, SobolSampler::sample(ray.pixelSeed, index, base + 2),
                     SobolSampler::sample(ray.pixelSeed, index, base + 3));
    if (!(sample.density > 0.0f)) {
        return {};
    }
    const float lightPdf = sample.density / static_cast<float>(lightCount);
    const Color lightColor = light.radiance * (2.0f / lightPdf);
    const float weightPdf = strategy == LightStrategy::lightOnly
                                ? std::min(lightPdf * kLightOnlyPdfScale, kMaxPdf)
                                : lightPdf;
    const Color value = brdf.evalLight(ray, sample.direction, lightColor,
                                       static_cast<int>(which), weightPdf, kEvalLightFlags);
    if (value.isBlack()) {
        return {};
    }
    const DVector from = offsetOrigin(ray.hitPoint, ray.geometricNormal, sample.direction);
    if (scene.occluded(from, sample.direction, 0.0, sample.distance, static_cast<int>(which))) {
        return {};
    }
    return value;
}

Color PathIntegrator::shade(RenderContext& ray, KuvoUtils::KuvoRenderMtl& material) const {
    ray.countShadingPoint();
    BsdfLease lease(material, ray);
    if (lease.bsdf == nullptr) {
        return {};
    }
    KuvoUtils::BRDFSampler* brdf = lease.bsdf->getBRDF(ray.backside != 0 ? 1 : 0);
    if (brdf == nullptr) {
        return {};
    }
    // Primary hits take every sample the BSDF asks for; deeper hits one, so that the number
    // of paths grows with the samples per pixel and not with the power of the depth.
    int samples = std::clamp(brdf->getNumSamples(ray), 0, kMaxSamplesPerHit);
    if (ray.rayDepth > 0) {
        samples = std::min(samples, 1);
    }
    const std::uint32_t sampleBase = static_cast<std::uint32_t>(ray.sampleIndex);

    Color direct;
    ray.lightsSampled = strategy != LightStrategy::bsdfOnly && !scene.lights().empty();
    if (ray.lightsSampled) {
        const int lightSamples = std::max(samples, 1);
        for (int j = 0; j < lightSamples; ++j) {
            direct += sampleLight(ray, *brdf,
                                  sampleBase * static_cast<std::uint32_t>(lightSamples) +
                                      static_cast<std::uint32_t>(j));
        }
        direct /= static_cast<float>(lightSamples);
    }

    // The BSDF says it is diffuse by its diffuse colour.
    const bool diffuse = !brdf->getDiffuseColor(ray).isBlack();
    Color reflected;
    const bool deeper = ray.rayDepth < ray.options->maxRayDepth;
    for (int i = 0; i < samples && deeper; ++i) {
        ray.childSampleIndex =
            sampleBase * static_cast<std::uint32_t>(samples) + static_cast<std::uint32_t>(i);
        ray.childDimensionOffset = dimensionBase(ray.rayDepth) + 4;
        RenderContext* child = ray.ownChild(brdf->spawnSampleContext(ray, i, 0));
        if (child == nullptr) {
            continue;
        }
        child->afterDiffuse = ray.afterDiffuse || diffuse;
        const float u0 = brdf->getDMCParam(*child, 0);
        const float multiplier = brdf->sampleDirection(ray, *child, u0);
        const Color weight = child->colorWeight * multiplier;
        if (weight.isBlack() || !isFinite(weight)) {
            continue;
        }
        Color sample = weight * radiance(*child);
        // A child that hit a surface brings light reflected there: indirect light, which the
        // clamp may cut. Direct light (a child reaching a light or the sky) is kept whole.
        if (ray.rayDepth == 0 && child->hasHit && indirect.clamp > 0.0f) {
            const float largest = std::max({sample.r, sample.g, sample.b});
            if (largest > indirect.clamp) {
                sample *= indirect.clamp / largest;
            }
        }
        reflected += sample;
    }
    if (samples > 0) {
        reflected /= static_cast<float>(samples);
    }
    return direct + reflected;
}

}  // namespace glitter::renderer
