#include "apps/renderer/material_session.h"

namespace glitter::renderer {

MaterialSession::MaterialSession(const std::vector<KuvoUtils::KuvoRenderMtl*>& materials_,
                                 int threadCount, KuvoUtils::RenderLog* log)
    : materials(materials_) {
    info.threadCount = threadCount;
    info.log = log;
    instance.info = &info;
    for (KuvoUtils::KuvoRenderMtl* material : materials) {
        material->prepareRender(0, &instance);
    }
    for (KuvoUtils::KuvoRenderMtl* material : materials) {
        material->attachLog(0, &instance);
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
