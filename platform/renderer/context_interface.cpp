#include "platform/renderer/context_interface.h"

namespace KuvoUtils {

Vector ObjectTransformInterface::pointToObject(const Vector& point) const { return point; }

Vector ObjectTransformInterface::vectorToObject(const Vector& direction) const { return direction; }

}  // namespace KuvoUtils
