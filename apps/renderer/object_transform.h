// The object-transform interface a shading context hands out (id 0x77915061): world points
// and directions into the space of the object that was hit.
#pragma once

#include "apps/renderer/transform.h"
#include "platform/renderer/context_interface.h"

namespace glitter::renderer {

class ObjectTransform final : public KuvoUtils::ObjectTransformInterface {
  public:
    ObjectTransform() = default;
    explicit ObjectTransform(const Transform& worldToObject) : worldToObject(worldToObject) {}

    KuvoUtils::Vector pointToObject(const KuvoUtils::Vector& point) const override;
    /// The linear part only, as for positions' differentials; normals are treated the same
    /// way, which is exact for the similarity transforms the scenes use.
    KuvoUtils::Vector vectorToObject(const KuvoUtils::Vector& direction) const override;

    Transform worldToObject;
};

}  // namespace glitter::renderer
