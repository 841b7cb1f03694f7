#include "apps/renderer/object_transform.h"

namespace glitter::renderer {

KuvoUtils::Vector ObjectTransform::pointToObject(const KuvoUtils::Vector& point) const {
    return worldToObject.applyToPoint(toDouble(point)).toVector();
}

KuvoUtils::Vector ObjectTransform::vectorToObject(const KuvoUtils::Vector& direction) const {
    return worldToObject.applyToVector(toDouble(direction)).toVector();
}

}  // namespace glitter::renderer
