// A test double around a built-in material: forwards every KuvoRenderMtl call and records
// what the renderer did (call order, thread indices, the shading contexts it handed over),
// and can be told to fail in the ways a plug-in material might.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "apps/renderer/builtin_material.h"

namespace glitter::renderer::testing {

/// What the material saw of one shading context at acquireBSDF.
using KuvoUtils::DVector;
using KuvoUtils::Vector;

struct ContextSnapshot {
    DVector hitPoint;
    Vector rayDir;
    Vector shadingNormal;
    Vector geometricNormal;
    int backside = 0;
    int rayDepth = 0;
    int rayFlags = 0;
    Vector dPdx;
    Vector dPdy;
    Vector uvw1;
    KuvoUtils::UVWBasis basis1;
    KuvoUtils::UVWBasis basis2;  ///< a channel the surfaces do not carry
    bool hasObjectTransform = false;
    Vector hitInObjectSpace;
    int maxRayDepth = 0;
    bool hostContextNull = true;
    // What the host shading context answers (when there is one).
    Vector hostP;
    Vector hostNormal;
    Vector hostUVW1;
    Vector hostUVW2;
    Vector hostPObj;
    int hostTime = 0;
    bool hostBackFace = false;
};

class RecordingMaterial final : public KuvoUtils::KuvoRenderMtl {
  public:
    static constexpr int kMaxThreads = 8;
    static constexpr std::size_t kSnapshotsPerThread = 64;

    explicit RecordingMaterial(const BuiltinMaterialParams& params);

    void prepareRender(int time, KuvoUtils::RendererInstance* renderer) override;
    void finishRender() override;
    void attachLog(int time, KuvoUtils::RendererInstance* renderer) override;
    void detachLog() override;
    KuvoUtils::BSDFSampler* acquireBSDF(KuvoUtils::KuvoContext& context, int flags) override;
    void releaseBSDF(const KuvoUtils::KuvoContext& context, KuvoUtils::BSDFSampler* bsdf) override;
    void recordInteger(std::int32_t value) override;
    int reservedQuery(int query, void* data) override;

    /// Lifecycle calls in order, e.g. "prepareRender 2", "attachLog", "detachLog".
    std::vector<std::string> events;
    int preparedThreadCount = 0;
    KuvoUtils::RenderLog* attachedLog = nullptr;
    bool shading = false;  ///< between prepareRender and finishRender

    struct PerThread {
        long acquired = 0;
        long released = 0;
        long outstanding = 0;
        long maxOutstanding = 0;
        std::vector<ContextSnapshot> snapshots;
    };
    PerThread threads[kMaxThreads];
    std::atomic<int> badThreadIndex{0};  ///< acquires with an index outside the render's
    std::atomic<int> outsideRender{0};   ///< shading calls outside prepare ... finish

    /// Makes acquireBSDF throw, as a plug-in whose storage ran out would.
    bool throwOnAcquire = false;

  private:
    BuiltinMaterial inner;
};

}  // namespace glitter::renderer::testing
