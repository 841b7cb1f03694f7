#include "apps/renderer/builtin_bsdf.h"

#include <cmath>

#include "platform/renderer/render_channels_info.h"

namespace glitter::renderer {

namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr int kEvalLightFlag = 2;
constexpr int kRayNoReflection = 0x8;
constexpr int kRayNoSamples = 0x20;
constexpr int kRayNoLights = 0x200;
constexpr int kReflectionChildFlags = 0x9002;

// Beckmann distribution with 0.5 in place of 1/pi: 2*pi/4 times the usual D, so that
// D * h.z / (L . h) is the reflected direction's density in the 2*pi convention.
float beckmannD(float cosH, float alpha) {
    if (!(cosH >= 0.000001f)) {
        return 0.0f;
    }
    const float q = cosH * cosH;
    return std::exp(-(1.0f / q - 1.0f) / (alpha * alpha)) * 0.5f / (q * q * alpha * alpha);
}

// Smith's masking for one direction, with the usual rational fit.
float smithG1(float cosine, float alpha) {
    const float a = 1.0f / ((std::sqrt(1.0f - cosine * cosine) / cosine) * alpha);
    if (a >= 1.6f) {
        return 1.0f;
    }
    return ((2.181f * a + 3.535f) * a) / ((2.577f * a + 2.276f) * a + 1.0f);
}

Vector reflectAbout(const Vector& d, const Vector& h) { return d - h * (2.0f * dot(d, h)); }

}  // namespace

void BuiltinBSDF::setup(const BuiltinMaterialParams& p, const KuvoContext& context,
                        int requestFlags) {
    params = p;
    sideMode = (~requestFlags) & 1;
    backside = context.backside;
    shadingNormal = backside ? -context.shadingNormal : context.shadingNormal;
    geometricNormal = backside ? -context.geometricNormal : context.geometricNormal;
    const KuvoUtils::RenderOptions& options = *context.options;
    inactive = ((context.rayFlags & KuvoUtils::kRayFlagRestricted) != 0 &&
                options.admitRestrictedRays == 0) ||
               context.rayDepth >= options.maxRayDepth || options.reflections == 0 ||
               (context.rayFlags & kRayNoReflection) != 0;
    if (inactive) {
        return;
    }
    numSamples = params.subdivs * params.subdivs;
    const Vector normal =
        dot(shadingNormal, context.rayDir) > 0.0f ? geometricNormal : shadingNormal;
    makeFrame(context, normal, frame);
    viewDir = toLocal(context.rayDir);
}

Color BuiltinBSDF::getDiffuseColor(const KuvoContext& /*context*/) {
    return params.lobe == BuiltinLobe::diffuse && !inactive ? params.reflectance : Color{};
}

Color BuiltinBSDF::filterColor(const Color& k) { return k * params.reflectance; }

float BuiltinBSDF::evaluate(const Vector& light, float& pdf) const {
    pdf = 0.0f;
    const Vector& v = viewDir;
    if (!(-v.z > 0.000001f) || !(light.z > 0.000001f)) {
        return 0.0f;
    }
    if (params.lobe == BuiltinLobe::diffuse) {
        // f cos = cos / pi per steradian; cosine sampling has density cos / pi.
        pdf = 2.0f * light.z;
        return 2.0f * light.z;
    }
    const Vector h = normalize(light - v);
    const float lDotH = dot(light, h);
    if (!(h.z > 0.000001f) || !(lDotH * light.z >= 0.000001f) ||
        !(-dot(v, h) * -v.z >= 0.000001f)) {
        return 0.0f;
    }
    const float alpha = params.roughness;
    const float d = beckmannD(h.z, alpha);
    pdf = d * h.z / lDotH;
    return d * smithG1(-v.z, alpha) * smithG1(light.z, alpha) / std::fabs(v.z);
}

Color BuiltinBSDF::evalLight(const KuvoContext& context, const Vector& lightDir,
                             const Color& lightColor, int /*lightIndex*/, float lightPdf,
                             int evalFlags) {
    if (inactive || (evalFlags & kEvalLightFlag) == 0 || (context.rayFlags & kRayNoLights) != 0) {
        return {};
    }
    float pdf = 0.0f;
    const float value = evaluate(toLocal(lightDir), pdf);
    float weight = 0.0f;
    if (lightPdf >= 1e-12f) {
        weight = lightPdf * lightPdf / (pdf * pdf + lightPdf * lightPdf);
    }
    return params.reflectance * lightColor * (value * 0.5f * weight);
}

int BuiltinBSDF::isOpaque() { return 1; }

int BuiltinBSDF::getNumSamples(const KuvoContext& context) {
    return (context.rayFlags & kRayNoSamples) != 0 || context.mode == 3 ? 0 : numSamples;
}

KuvoContext* BuiltinBSDF::spawnSampleContext(KuvoContext& context, int /*sampleIndex*/,
                                             int mode) {
    if (mode == 2 || inactive || numSamples == 0) {
        return nullptr;
    }
    KuvoContext* child =
        context.newChildContext(2, params.reflectance, kReflectionChildFlags, shadingNormal);
    if (child != nullptr) {
        child->dDdx = {};
        child->dDdy = {};
        child->minDistance = 0.0;
        child->maxDistance = 1e18;
        child->origin = context.hitPoint;
    }
    return child;
}

float BuiltinBSDF::sampleDirection(const KuvoContext& context, KuvoContext& child, float u0) {
    const float u1 = getDMCParam(child, 1);
    Vector local;
    if (params.lobe == BuiltinLobe::diffuse) {
        const float r = std::sqrt(u0);
        const float phi = kTwoPi * u1;
        local = Vector(r * std::cos(phi), r * std::sin(phi), std::sqrt(1.0f - u0));
    } else {
        const float alpha = params.roughness;
        const float theta = std::atan(std::sqrt(-std::log(1.0f - u0) * alpha * alpha));
        const float phi = kTwoPi * u1;
        const Vector m(std::cos(phi) * std::sin(theta), std::sin(phi) * std::sin(theta),
                       std::cos(theta));
        local = reflectAbout(viewDir, m);
    }
    float pdf = 0.0f;
    const float value = evaluate(local, pdf);
    child.density = pdf;
    const Vector world = toWorld(local);
    if (dot(world, geometricNormal) >= 0.0f && pdf >= 1e-8f) {
        child.colorWeight = params.reflectance * (value / pdf);
        // Mirror the parent's direction differentials about the sample's half vector, as a
        // perfect mirror would: a narrow estimate for the diffuse lobe, which is what keeps
        // texture lookups behind it sharp.
        const Vector h = normalize(world - context.rayDir);
        child.dDdx = reflectAbout(context.dDdx, h);
        child.dDdy = reflectAbout(context.dDdy, h);
        child.setRayDir(world);
    } else {
        child.colorWeight = Color{};
    }
    return 1.0f;
}

const KuvoUtils::RenderChannelsInfo* BuiltinBSDF::getRenderChannels() {
    return &KuvoUtils::RenderChannelsInfo::reflectChannels;
}

void BuiltinBSDF::makeFrame(const KuvoContext& /*context*/, const Vector& n,
                            KuvoUtils::Frame& f) {
    Vector t;
    if (n.x * n.x + n.z * n.z > n.x * n.x + n.y * n.y) {
        t = Vector(-n.z, 0.0f, n.x) / std::sqrt(n.x * n.x + n.z * n.z);
    } else {
        t = Vector(n.y, -n.x, 0.0f) / std::sqrt(n.x * n.x + n.y * n.y);
    }
    f.tangent = t;
    f.bitangent = cross(n, t);
    f.normal = n;
}

KuvoUtils::BRDFSampler* BuiltinBSDF::getBRDF(int side) {
    if (sideMode == 0) {
        return side == 1 ? nullptr : this;
    }
    const bool wanted = side == 0 ? backside == 0 : backside != 0;
    return wanted ? this : nullptr;
}

Vector BuiltinBSDF::toLocal(const Vector& world) const {
    return {dot(frame.tangent, world), dot(frame.bitangent, world), dot(frame.normal, world)};
}

Vector BuiltinBSDF::toWorld(const Vector& local) const {
    return frame.tangent * local.x + frame.bitangent * local.y + frame.normal * local.z;
}

}  // namespace glitter::renderer
