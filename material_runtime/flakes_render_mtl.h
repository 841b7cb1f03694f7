#pragma once
// The render-time face of the flakes material: what the renderer drives through a render. It
// builds one BSDF pool per render thread at render start, fills the flake parameter record
// from the material's cached values, sets up a pooled BSDF at every shading point and takes it
// back afterwards. The shading path takes no lock: each thread uses only the pool of its own
// thread index.

#include <atomic>
#include <cstdint>

#include "bsdf/bsdf_setup.h"
#include "bsdf/cached_parameter_values.h"
#include "bsdf/discrete_microfacet_bsdf.h"
#include "flakes/flake_params.h"
#include "platform/renderer/kuvo_render_mtl.h"
#include "material_runtime/int_list.h"
#include "pools/per_thread_pools.h"

namespace glitter {

class FlakesRenderMtl : public KuvoUtils::KuvoRenderMtl {
public:
    using Color = KuvoUtils::Color;

    FlakesRenderMtl() = default;
    FlakesRenderMtl(const FlakesRenderMtl&) = delete;
    FlakesRenderMtl& operator=(const FlakesRenderMtl&) = delete;

    void prepareRender(int time, KuvoUtils::RendererInstance* renderer) override;
    void finishRender() override;
    void attachLog(int time, KuvoUtils::RendererInstance* renderer) override;
    void detachLog() override;
    KuvoUtils::BSDFSampler* acquireBSDF(KuvoUtils::KuvoContext& context, int flags) override;
    void releaseBSDF(const KuvoUtils::KuvoContext& context, KuvoUtils::BSDFSampler* bsdf) override;
    void recordInteger(int32_t value) override { recordedIntegers.append(value); }
    int reservedQuery(int, void*) override { return 0; }

    // The variant a render's BSDFs come from. Chosen by random_hue at prepareRender and kept
    // until finishRender, so every BSDF goes back to the pools it came from even when
    // random_hue is animated.
    enum class Variant : int32_t { none = 0, plain = 1, colored = 2 };
    Variant renderVariant() const { return variant; }

    PerThreadPools<DiscreteMicrofacetBSDF<float>> floatPools;
    PerThreadPools<DiscreteMicrofacetBSDF<Color>> colorPools;
    IntList recordedIntegers{100};
    FlakeParams flakeParams{};
    KuvoUtils::RenderLog* renderLog = nullptr;
    std::atomic<int32_t> scaleWarningShown{0};

protected:
    ~FlakesRenderMtl();

    // The cached parameter values, written by the material's update and read while shading.
    CachedParameterValues cached;

    // The material's name for the log, or null when it has none.
    virtual const char16_t* nameForLog() const = 0;

private:
    FlakeMaterialView view();

    Variant variant = Variant::none;
};

}  // namespace glitter
