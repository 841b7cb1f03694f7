#include "tests/apps/recording_material.h"

#include <algorithm>
#include <stdexcept>

#include "apps/renderer/object_transform.h"
#include "platform/host/shade_context.h"
#include "platform/renderer/renderer_instance.h"

namespace glitter::renderer::testing {

RecordingMaterial::RecordingMaterial(const BuiltinMaterialParams& params) : inner(params) {}

void RecordingMaterial::prepareRender(int time, KuvoUtils::RendererInstance* renderer) {
    preparedThreadCount = renderer->info->threadCount;
    events.push_back("prepareRender " + std::to_string(preparedThreadCount));
    for (PerThread& t : threads) {
        t = PerThread{};
    }
    shading = true;
    inner.prepareRender(time, renderer);
}

void RecordingMaterial::finishRender() {
    events.push_back("finishRender");
    shading = false;
    inner.finishRender();
}

void RecordingMaterial::attachLog(int time, KuvoUtils::RendererInstance* renderer) {
    events.push_back("attachLog");
    attachedLog = renderer->info->log;
    inner.attachLog(time, renderer);
}

void RecordingMaterial::detachLog() {
    events.push_back("detachLog");
    attachedLog = nullptr;
    inner.detachLog();
}

KuvoUtils::BSDFSampler* RecordingMaterial::acquireBSDF(KuvoUtils::KuvoContext& context, int flags) {
    if (!shading) {
        ++outsideRender;
    }
    const int index = context.threadData->threadIndex;
    if (index < 0 || index >= preparedThreadCount || index >= kMaxThreads) {
        ++badThreadIndex;
        return nullptr;
    }
    if (throwOnAcquire) {
        throw std::runtime_error("material failed on purpose");
    }
    PerThread& t = threads[index];
    ++t.acquired;
    t.maxOutstanding = std::max(t.maxOutstanding, ++t.outstanding);
    if (t.snapshots.size() < kSnapshotsPerThread) {
        ContextSnapshot s;
        s.hitPoint = context.hitPoint;
        s.rayDir = context.rayDir;
        s.shadingNormal = context.shadingNormal;
        s.geometricNormal = context.geometricNormal;
        s.backside = context.backside;
        s.rayDepth = context.rayDepth;
        s.rayFlags = context.rayFlags;
        s.dPdx = context.dPdx;
        s.dPdy = context.dPdy;
        s.uvw1 = context.getUVWCoords(1);
        s.basis1 = context.getUVWBasis(1);
        s.basis2 = context.getUVWBasis(2);
        auto* transform = context.findInterface<KuvoUtils::ObjectTransformInterface>();
        s.hasObjectTransform = transform != nullptr;
        if (transform != nullptr) {
            s.hitInObjectSpace = transform->pointToObject(context.hitPoint.toVector());
        }
        s.maxRayDepth = context.options->maxRayDepth;
        s.hostContextNull = context.hostContext == nullptr;
        if (host::ShadeContext* sc = context.hostContext; sc != nullptr) {
            const auto vec = [](const host::Point3& p) { return Vector(p.x, p.y, p.z); };
            s.hostP = vec(sc->P());
            s.hostNormal = vec(sc->Normal());
            s.hostUVW1 = vec(sc->UVW(1));
            s.hostUVW2 = vec(sc->UVW(2));
            s.hostPObj = vec(sc->PObj());
            s.hostTime = sc->CurTime();
            s.hostBackFace = sc->backFace;
        }
        t.snapshots.push_back(s);
    }
    return inner.acquireBSDF(context, flags);
}

void RecordingMaterial::releaseBSDF(const KuvoUtils::KuvoContext& context,
                                    KuvoUtils::BSDFSampler* bsdf) {
    const int index = context.threadData->threadIndex;
    if (bsdf != nullptr && index >= 0 && index < kMaxThreads) {
        ++threads[index].released;
        --threads[index].outstanding;
    }
    inner.releaseBSDF(context, bsdf);
}

void RecordingMaterial::recordInteger(std::int32_t value) { inner.recordInteger(value); }

int RecordingMaterial::reservedQuery(int query, void* data) {
    return inner.reservedQuery(query, data);
}

}  // namespace glitter::renderer::testing
