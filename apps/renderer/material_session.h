// One render's span for a set of materials: prepareRender and attachLog on construction,
// detachLog and finishRender on destruction (also when a render fails), all while no render
// thread shades.
#pragma once

#include <vector>

#include "platform/renderer/kuvo_render_mtl.h"
#include "platform/renderer/render_log.h"
#include "platform/renderer/renderer_info.h"
#include "platform/renderer/renderer_instance.h"

namespace glitter::renderer {

class MaterialSession {
  public:
    /// `log` may be null; it must outlive the session. `time` is the frame's host time.
    MaterialSession(const std::vector<KuvoUtils::KuvoRenderMtl*>& materials, int threadCount,
                    KuvoUtils::RenderLog* log, int time = 0);
    ~MaterialSession();
    MaterialSession(const MaterialSession&) = delete;
    MaterialSession& operator=(const MaterialSession&) = delete;

  private:
    std::vector<KuvoUtils::KuvoRenderMtl*> materials;
    KuvoUtils::RendererInfo info;
    KuvoUtils::RendererInstance instance;
};

}  // namespace glitter::renderer
