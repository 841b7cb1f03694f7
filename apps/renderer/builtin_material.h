// The renderer's own materials (the ground, and a stand-in where no plug-in material is
// given), driven through KuvoRenderMtl like any plug-in material, with one BSDF pool per
// render thread.
#pragma once

#include <memory>
#include <vector>

#include "apps/renderer/builtin_bsdf.h"
#include "platform/renderer/kuvo_render_mtl.h"

namespace glitter::renderer {

class BuiltinMaterial final : public KuvoUtils::KuvoRenderMtl {
  public:
    explicit BuiltinMaterial(const BuiltinMaterialParams& params);
    ~BuiltinMaterial();
    BuiltinMaterial(const BuiltinMaterial&) = delete;
    BuiltinMaterial& operator=(const BuiltinMaterial&) = delete;

    void prepareRender(int time, KuvoUtils::RendererInstance* renderer) override;
    void finishRender() override;
    void attachLog(int time, KuvoUtils::RendererInstance* renderer) override;
    void detachLog() override;
    KuvoUtils::BSDFSampler* acquireBSDF(KuvoUtils::KuvoContext& context, int flags) override;
    void releaseBSDF(const KuvoUtils::KuvoContext& context,
                     KuvoUtils::BSDFSampler* bsdf) override;
    void recordInteger(std::int32_t value) override;
    int reservedQuery(int query, void* data) override;

    const BuiltinMaterialParams& parameters() const { return params; }

  private:
    struct ThreadPool {
        std::vector<std::unique_ptr<BuiltinBSDF>> owned;
        std::vector<BuiltinBSDF*> available;
    };

    BuiltinMaterialParams params;
    std::vector<ThreadPool> pools;
};

}  // namespace glitter::renderer
