#include "apps/renderer/builtin_material.h"

#include "platform/renderer/renderer_instance.h"

namespace glitter::renderer {

BuiltinMaterial::BuiltinMaterial(const BuiltinMaterialParams& p) : params(p) {}

BuiltinMaterial::~BuiltinMaterial() = default;

void BuiltinMaterial::prepareRender(int /*time*/, KuvoUtils::RendererInstance* renderer) {
    const int threads =
        renderer != nullptr && renderer->info != nullptr ? renderer->info->threadCount : 1;
    pools.clear();
    pools.resize(threads > 0 ? static_cast<std::size_t>(threads) : 1u);
}

void BuiltinMaterial::finishRender() { pools.clear(); }

void BuiltinMaterial::attachLog(int /*time*/, KuvoUtils::RendererInstance* /*renderer*/) {}

void BuiltinMaterial::detachLog() {}

KuvoUtils::BSDFSampler* BuiltinMaterial::acquireBSDF(KuvoUtils::KuvoContext& context,
                                                     int flags) {
    const int index = context.threadData->threadIndex;
    if (index < 0 || static_cast<std::size_t>(index) >= pools.size()) {
        return nullptr;
    }
    ThreadPool& pool = pools[static_cast<std::size_t>(index)];
    BuiltinBSDF* bsdf = nullptr;
    if (pool.available.empty()) {
        pool.owned.push_back(std::make_unique<BuiltinBSDF>());
        bsdf = pool.owned.back().get();
    } else {
        bsdf = pool.available.back();
        pool.available.pop_back();
    }
    bsdf->setup(params, context, flags);
    return bsdf;
}

void BuiltinMaterial::releaseBSDF(const KuvoUtils::KuvoContext& context,
                                  KuvoUtils::BSDFSampler* bsdf) {
    const int index = context.threadData->threadIndex;
    if (bsdf == nullptr || index < 0 || static_cast<std::size_t>(index) >= pools.size()) {
        return;
    }
    pools[static_cast<std::size_t>(index)].available.push_back(static_cast<BuiltinBSDF*>(bsdf));
}

void BuiltinMaterial::recordInteger(std::int32_t /*value*/) {}

int BuiltinMaterial::reservedQuery(int /*query*/, void* /*data*/) { return 0; }

}  // namespace glitter::renderer
