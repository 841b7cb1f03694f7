#include "apps/renderer/render_context.h"

#include "apps/renderer/sobol_sampler.h"

namespace glitter::renderer {

void RenderContext::resetForPrimary(const KuvoUtils::RenderThreadData* thread,
                                    const KuvoUtils::RenderOptions* renderOptions) {
    static_cast<KuvoContext&>(*this) = KuvoContext{};
    threadData = thread;
    options = renderOptions;
    pixelSeed = 0;
    dimensionOffset = 0;
    originDx = {};
    originDy = {};
    childSampleIndex = 0;
    childDimensionOffset = 0;
    lightsSampled = false;
    parentSampledLights = false;
    afterDiffuse = false;
    uvw = {};
    uvwBasis = {};
    hasHit = false;
    objectTransform = ObjectTransform();
}

void RenderContext::setHit(const SurfaceHit& hit, const ObjectTransform& transform) {
    hitPoint = hit.point;
    geometricNormal = hit.geometricNormal;
    shadingNormal = hit.shadingNormal;
    backside = dot(rayDir, hit.geometricNormal) > 0.0f ? 1 : 0;
    uvw = hit.uvw;
    uvwBasis = hit.uvwBasis;
    objectTransform = transform;
    hasHit = true;
    shadeContext.backFace = backside != 0;
    hostContext = &shadeContext;

    // Igehy's transfer of a ray differential to the hit plane: the offset ray meets the
    // tangent plane at P + dO + t dD + dt d, with dt chosen to stay in the plane.
    const DVector n = toDouble(hit.geometricNormal);
    const DVector d = toDouble(rayDir);
    const double dn = dot(d, n);
    auto transfer = [&](const Vector& dO, const Vector& dD) {
        const DVector offset = toDouble(dO) + toDouble(dD) * hit.t;
        if (dn == 0.0) {
            return offset.toVector();
        }
        return (offset - d * (dot(offset, n) / dn)).toVector();
    };
    dPdx = transfer(originDx, dDdx);
    dPdy = transfer(originDy, dDdy);
}

KuvoUtils::Vector RenderContext::getUVWCoords(int channel) const {
    return channel == kMapChannel && hasHit ? uvw : Vector{};
}

KuvoUtils::UVWBasis RenderContext::getUVWBasis(int channel) const {
    return channel == kMapChannel && hasHit ? uvwBasis : KuvoUtils::UVWBasis{};
}

KuvoUtils::ContextInterface* RenderContext::queryInterface(int id) const {
    if (id != ObjectTransform::kInterfaceId || !hasHit) {
        return nullptr;
    }
    // The interface is only read through; the context hands out its own copy.
    return const_cast<ObjectTransform*>(&objectTransform);
}

KuvoUtils::KuvoContext* RenderContext::newChildContext(int kind, const KuvoUtils::Color& filter,
                                                       int flags, const KuvoUtils::Vector& normal) {
    if (!child) {
        child = std::make_unique<RenderContext>();
    }
    RenderContext& c = *child;
    initChild(c, kind, filter, flags, normal);
    c.pixelSeed = pixelSeed;
    c.sampleIndex = static_cast<std::int32_t>(childSampleIndex);
    c.dimensionOffset = childDimensionOffset;
    // A reflected ray starts where this one hit, so its origin moves with the hit point.
    c.originDx = dPdx;
    c.originDy = dPdy;
    c.childSampleIndex = 0;
    c.childDimensionOffset = 0;
    c.lightsSampled = false;
    c.parentSampledLights = lightsSampled;
    c.afterDiffuse = false;
    c.uvw = {};
    c.uvwBasis = {};
    c.hasHit = false;
    c.objectTransform = ObjectTransform();
    c.setHostTime(hostTime);
    c.shadingPointCounter = shadingPointCounter;
    return &c;
}

float RenderContext::sampleValue(int dimension) {
    if (dimension < 0) {
        return KuvoContext::sampleValue(dimension);
    }
    return SobolSampler::sample(pixelSeed, static_cast<std::uint32_t>(sampleIndex),
                                dimensionOffset + static_cast<std::uint32_t>(dimension));
}

void RenderContext::setHostTime(host::TimeValue t) {
    hostTime = t;
    shadeContext.setTime(t);
}

RenderContext* RenderContext::ownChild(KuvoUtils::KuvoContext* context) const {
    return context != nullptr && context == child.get() ? child.get() : nullptr;
}

}  // namespace glitter::renderer
