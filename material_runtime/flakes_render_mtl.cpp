#include "material_runtime/flakes_render_mtl.h"

#include "platform/renderer/renderer_info.h"
#include "platform/renderer/renderer_instance.h"

namespace glitter {

FlakesRenderMtl::~FlakesRenderMtl() {
    recordedIntegers.reset();
    colorPools.destroy();
    floatPools.destroy();
}

void FlakesRenderMtl::prepareRender(int, KuvoUtils::RendererInstance* renderer) {
    const int32_t threadCount = renderer->info->threadCount;
    // A render still pinned to the other variant (no finishRender in between) gives its pools
    // up here, so they cannot outlive the render that built them.
    const Variant next = cached.random_hue != 0 ? Variant::colored : Variant::plain;
    if (variant == Variant::colored && next != variant) colorPools.destroy();
    if (variant == Variant::plain && next != variant) floatPools.destroy();
    variant = next;
    if (variant == Variant::colored) {
        colorPools.build(threadCount);
    } else {
        floatPools.build(threadCount);
    }
    flakeParams.init(cached.num_flakes, FlakeParams::roughnessFromGlossiness(cached.hilight_glossiness),
                     FlakeParams::blurAngleRadians(cached.blur_angle), cached.texture_subdivs,
                     cached.random_saturation, cached.saturation, cached.random_lightness,
                     cached.lightness, cached.blend_min, cached.blend_max);
}

void FlakesRenderMtl::finishRender() {
    if (variant == Variant::colored) {
        colorPools.destroy();
    } else if (variant == Variant::plain) {
        floatPools.destroy();
    }
    variant = Variant::none;
    recordedIntegers.reset();
}

void FlakesRenderMtl::attachLog(int, KuvoUtils::RendererInstance* renderer) {
    renderLog = renderer != nullptr && renderer->info != nullptr ? renderer->info->log : nullptr;
    scaleWarningShown.store(0, std::memory_order_relaxed);
}

void FlakesRenderMtl::detachLog() { renderLog = nullptr; }

FlakeMaterialView FlakesRenderMtl::view() {
    return {&cached, &flakeParams, renderLog, &scaleWarningShown, nameForLog()};
}

KuvoUtils::BSDFSampler* FlakesRenderMtl::acquireBSDF(KuvoUtils::KuvoContext& context, int flags) {
    const int32_t threadIndex = context.threadData->threadIndex;
    if (variant == Variant::colored) {
        auto* element = colorPools.take(threadIndex);
        if (element == nullptr) return nullptr;
        setupBSDF(view(), context, *element, flags);
        return element;
    }
    if (variant == Variant::plain) {
        auto* element = floatPools.take(threadIndex);
        if (element == nullptr) return nullptr;
        setupBSDF(view(), context, *element, flags);
        return element;
    }
    return nullptr;
}

void FlakesRenderMtl::releaseBSDF(const KuvoUtils::KuvoContext& context,
                                  KuvoUtils::BSDFSampler* bsdf) {
    if (bsdf == nullptr) return;
    const int32_t threadIndex = context.threadData->threadIndex;
    // The BSDFSampler base sits inside the pooled element; the cast walks back to it.
    if (variant == Variant::colored) {
        using Element = PerThreadPools<DiscreteMicrofacetBSDF<Color>>::Element;
        colorPools.giveBack(threadIndex, static_cast<Element*>(bsdf));
    } else if (variant == Variant::plain) {
        using Element = PerThreadPools<DiscreteMicrofacetBSDF<float>>::Element;
        floatPools.giveBack(threadIndex, static_cast<Element*>(bsdf));
    }
}

}  // namespace glitter
