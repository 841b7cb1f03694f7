#include "apps/renderer/material_session.h"

namespace glitter::renderer {

MaterialSession::MaterialSession(const std::vector<KuvoUtils::KuvoRenderMtl*>& materials_,
                                 int threadCount, KuvoUtils::RenderLog* log, int time)
    : materials(materials_) {
    info.threadCount = threadCount;
    info.log = log;
    instance.info = &info;
    for (KuvoUtils::KuvoRenderMtl* material : materials) {
        material->prepareRender(time, &instance);
    }
    for (KuvoUtils::KuvoRenderMtl* material : materials) {
        material->attachLog(time, &instance);
    }
}

MaterialSession::~MaterialSession() {
    for (KuvoUtils::KuvoRenderMtl* material : materials) {
        material->detachLog();
    }
    for (KuvoUtils::KuvoRenderMtl* material : materials) {
        material->finishRender();
    }
}

}  // namespace glitter::renderer
