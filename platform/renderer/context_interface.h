// Optional interfaces that a shading context answers by numeric id, and the object-transform
// interface among them.
#pragma once

#include "platform/renderer/vector.h"

namespace KuvoUtils {

/// Base of every interface that `KuvoContext::queryInterface` can hand out. The numeric id
/// fixes the concrete type: a context that answers an id returns an object of that id's class.
class ContextInterface {
  public:
    virtual ~ContextInterface() = default;
};

/// Transforms from world space into the space of the object being shaded.
class ObjectTransformInterface : public ContextInterface {
  public:
    static constexpr int kInterfaceId = 0x77915061;

    /// A world point in object space. The default is the identity.
    virtual Vector pointToObject(const Vector& point) const;
    /// A world direction (normal or differential) in object space, without translation.
    /// The default is the identity.
    virtual Vector vectorToObject(const Vector& direction) const;
};

}  // namespace KuvoUtils
