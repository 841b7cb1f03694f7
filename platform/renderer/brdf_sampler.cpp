#include "platform/renderer/brdf_sampler.h"

namespace KuvoUtils {

namespace {
// The largest float below 1.
constexpr float kBelowOne = 0x1.fffffep-1f;
}  // namespace

Vector BRDFSampler::getDiffuseNormal(const KuvoContext& context) { return context.shadingNormal; }

void BRDFSampler::multiplyLight(float /*mult*/) {}

void BRDFSampler::lightFinished(int /*lightCount*/) {}

void BRDFSampler::traceForward(KuvoContext& /*context*/, int /*flags*/) {}

Color BRDFSampler::getTransparency(const KuvoContext& /*context*/) { return {}; }

Color BRDFSampler::getColor(const KuvoContext& /*context*/, const Color& /*lightColor*/) {
    return {};
}

Color BRDFSampler::getAlpha(const KuvoContext& context, const Color& /*lightColor*/) {
    return Color(1.0f) - getTransparency(context);
}

int BRDFSampler::getNumSubBRDFs() { return 0; }

BRDFSampler* BRDFSampler::getSubBRDF(int /*index*/, Color& weight) {
    weight = Color();
    return nullptr;
}

Color BRDFSampler::getSelfIllumination(const KuvoContext& /*context*/) { return {}; }

void BRDFSampler::evalPdfs(const Vector& /*direction*/, float& pdf, float& reversePdf,
                           int /*flags*/) {
    pdf = 0.0f;
    reversePdf = 0.0f;
}

BRDFSampler* BRDFSampler::chooseRandomSubBRDF(float& /*u*/, float& probability, Color& weight,
                                              int /*flags*/) {
    probability = 1.0f;
    weight = Color(1.0f);
    return this;
}

float BRDFSampler::getDMCParam(KuvoContext& context, int dimension) const {
    // Samplers index arrays and cones with this value, so a renderer's sequence that strays
    // to 1, below 0 or NaN is pulled back into [0, 1) here rather than trusted.
    const float u = context.sampleValue(dimension);
    if (!(u >= 0.0f)) {
        return 0.0f;
    }
    return u < 1.0f ? u : kBelowOne;
}

}  // namespace KuvoUtils
