#include "platform/renderer/bsdf_sampler.h"

namespace KuvoUtils {

void BSDFSampler::traceBSDFForward(KuvoContext& /*context*/, int /*flags*/) {}

Color BSDFSampler::getBSDFTransparency(const KuvoContext& /*context*/) { return {}; }

KuvoVolume* BSDFSampler::getVolume(const KuvoContext& /*context*/) { return nullptr; }

}  // namespace KuvoUtils
