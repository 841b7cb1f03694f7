#pragma once
// The per-shading-point BSDF of the flakes material. The renderer reaches it only through the
// virtual slots of its two renderer base classes; each override is a thin adapter that checks
// `inactive`, moves to the local frame, runs the shared core (flake_evaluation.h,
// flake_sampling.h) and applies the reflection filter. T = float for plain flakes, Color for
// coloured ones. Objects are pooled per render thread and set up anew at every shading point.

#include <cstdint>

#include "bsdf/flake_sampling.h"
#include "flakes/flake_query.h"
#include "platform/renderer/brdf_sampler.h"
#include "platform/renderer/bsdf_sampler.h"
#include "platform/renderer/color.h"
#include "platform/renderer/frame.h"
#include "platform/renderer/kuvo_context.h"
#include "platform/renderer/render_channels_info.h"
#include "platform/renderer/vector.h"

namespace glitter {

// Ray and request flags the BSDF reads.
inline constexpr int kRequestBothSides = 0x1;
inline constexpr int kRayFlagNoReflection = 0x8;
inline constexpr int kRayFlagSmoothOnly = 0x1010;
inline constexpr int kRayFlagNoSamples = 0x20;
inline constexpr int kRayFlagNoLights = 0x200;
inline constexpr int kEvalFlagLights = 0x2;
inline constexpr int kReflectionChildFlags = 0x9002;
inline constexpr int kReflectionRayKind = 2;

// Local coordinates (t.d, b.d, n.d) of world vector d, through the frame's inverse applied to
// d as a row vector.
KuvoUtils::Vector toLocal(const float frameInverse[3][3], const KuvoUtils::Vector& d);

// False for a zero or non-finite normal, from which no frame can be built.
bool isUsableNormal(const KuvoUtils::Vector& n);

// The normal scaled to unit length: interpolated normals arrive a little short, and a renderer
// may hand over longer ones. One already unit to within a few float steps is returned as it
// is, so that the frames of unit normals stay exactly as they were.
KuvoUtils::Vector unitNormal(const KuvoUtils::Vector& n);

template <class T>
class DiscreteMicrofacetBSDF : public KuvoUtils::BRDFSampler, public KuvoUtils::BSDFSampler {
public:
    using Color = KuvoUtils::Color;
    using Vector = KuvoUtils::Vector;
    using KuvoContext = KuvoUtils::KuvoContext;

    DiscreteMicrofacetBSDF() = default;
    DiscreteMicrofacetBSDF(const DiscreteMicrofacetBSDF&) = delete;
    DiscreteMicrofacetBSDF& operator=(const DiscreteMicrofacetBSDF&) = delete;
    ~DiscreteMicrofacetBSDF() = default;

    // BRDFSampler slots.
    Color getDiffuseColor(const KuvoContext&) override { return Color(0.0f, 0.0f, 0.0f); }
    Color filterColor(const Color& k) override { return k * reflectionFilter; }
    Color evalLight(const KuvoContext& context, const Vector& lightDir, const Color& lightColor,
                    int extra, float lightPdf, int evalFlags) override;
    int isOpaque() override { return 1; }
    int getNumSamples(const KuvoContext& context) override {
        return (context.rayFlags & kRayFlagNoSamples) || context.mode == 3 ? 0 : numSamples;
    }
    KuvoContext* spawnSampleContext(KuvoContext& context, int extra, int mode) override;
    float sampleDirection(const KuvoContext& context, KuvoContext& child, float u0) override;
    const KuvoUtils::RenderChannelsInfo* getRenderChannels() override {
        return &KuvoUtils::RenderChannelsInfo::reflectChannels;
    }
    void makeFrame(const KuvoContext& context, const Vector& normal,
                   KuvoUtils::Frame& out) override;

    // BSDFSampler slots. With sideMode set the BRDF exists only for the side the ray hit.
    KuvoUtils::BRDFSampler* getBRDF(int side) override {
        if (sideMode == 0) return side == 1 ? nullptr : this;
        if (side == 0) return backside == 0 ? this : nullptr;
        return backside != 0 ? this : nullptr;
    }

    Color reflectionFilter{0.0f, 0.0f, 0.0f};  // black while inactive
    int32_t numSamples = 0;
    int32_t sideMode = 0;
    int32_t inactive = 1;
    int32_t backside = 0;
    Vector shadingNormal;
    Vector geometricNormal;
    KuvoUtils::Frame frame{};
    float frameInverse[3][3]{};
    FlakeQuery<T> query;
};

namespace detail {
inline KuvoUtils::Color toColor(float v) { return KuvoUtils::Color(v); }
inline KuvoUtils::Color toColor(const KuvoUtils::Color& v) { return v; }
}  // namespace detail

template <class T>
KuvoUtils::Color DiscreteMicrofacetBSDF<T>::evalLight(const KuvoContext& context,
                                                      const Vector& lightDir,
                                                      const Color& lightColor, int, float lightPdf,
                                                      int evalFlags) {
    if (inactive != 0 || (evalFlags & kEvalFlagLights) == 0 ||
        (context.rayFlags & kRayFlagNoLights) != 0 ||
        ((context.rayFlags & KuvoUtils::kRayFlagRestricted) != 0 &&
         context.options->admitRestrictedRays == 0)) {
        return Color(0.0f, 0.0f, 0.0f);
    }
    float pdf;
    const T value = evalFlakes(query, toLocal(frameInverse, lightDir), pdf);
    // Power heuristic against the light's own density.
    float w = 0.0f;
    if (lightPdf >= 1e-12f) w = powerHeuristic(lightPdf, pdf);
    return detail::toColor(value) * 0.5f * w * reflectionFilter * lightColor;
}

template <class T>
KuvoUtils::KuvoContext* DiscreteMicrofacetBSDF<T>::spawnSampleContext(KuvoContext& context, int,
                                                                      int mode) {
    if (mode == 2 || inactive != 0 || numSamples == 0) return nullptr;
    KuvoContext* child = context.newChildContext(kReflectionRayKind, reflectionFilter,
                                                 kReflectionChildFlags, shadingNormal);
    if (child == nullptr) return nullptr;
    child->dDdx = Vector(0.0f, 0.0f, 0.0f);
    child->dDdy = Vector(0.0f, 0.0f, 0.0f);
    child->minDistance = 0.0;
    child->maxDistance = 1e18;
    child->origin = context.hitPoint;
    return child;
}

template <class T>
float DiscreteMicrofacetBSDF<T>::sampleDirection(const KuvoContext& context, KuvoContext& child,
                                                 float u0) {
    float u[4] = {u0, getDMCParam(child, 1), 0.0f, 0.0f};
    if (query.enabled != 0) {
        u[2] = getDMCParam(child, 2);
        u[3] = getDMCParam(child, 3);
    }
    T value;
    float pdf;
    const Vector d = sampleFlakes(query, u, value, pdf);
    child.density = pdf;
    const Vector dW = frame.tangent * d.x + frame.bitangent * d.y + frame.normal * d.z;
    if (dot(dW, geometricNormal) >= 0.0f && pdf >= 1e-8f) {
        child.colorWeight = detail::toColor(value) / pdf * reflectionFilter;
        reflectDifferentials(context.rayDir, dW, context.dDdx, context.dDdy, child.dDdx,
                             child.dDdy);
        child.setRayDir(dW);
    } else {
        child.colorWeight = Color(0.0f, 0.0f, 0.0f);
    }
    return 1.0f;
}

template <class T>
void DiscreteMicrofacetBSDF<T>::makeFrame(const KuvoContext&, const Vector& normal,
                                          KuvoUtils::Frame& out) {
    const Vector n = unitNormal(normal);
    const Vector t = frameTangent(n);
    out.tangent = t;
    out.bitangent = cross(n, t);
    out.normal = n;
}

}  // namespace glitter
