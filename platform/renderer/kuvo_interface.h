// The renderer's shading interface behind one of its host shade contexts: how a material's
// host-side Shade hands a hit back to the renderer.
#pragma once

namespace KuvoUtils {

class KuvoContext;
class KuvoRenderMtl;

class KuvoInterface {
  public:
    KuvoInterface() = default;
    KuvoInterface(const KuvoInterface&) = delete;
    KuvoInterface& operator=(const KuvoInterface&) = delete;
    virtual ~KuvoInterface() = default;

    /// Shades the current hit with `material`, tagging it with `gbufferId`.
    /// Default: nothing (a renderer that shades no host calls).
    virtual void shadeMaterial(KuvoRenderMtl& material, int gbufferId);

    KuvoContext* context = nullptr;  ///< shading context of the current hit; renderer-owned
};

}  // namespace KuvoUtils
