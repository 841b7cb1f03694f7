// The host's shading context for one hit of the renderer, so that host maps (a material's
// reflection map) can be evaluated there: point, view, normals, object-space point and map
// channel 1 with its derivatives, all read from the renderer's shading context on demand.
#pragma once

#include "platform/host/shade_context.h"

namespace glitter::renderer {

class RenderContext;

class RenderShadeContext final : public host::ShadeContext {
  public:
    /// A context that reads the hit of `owner`, which outlives it.
    explicit RenderShadeContext(const RenderContext& owner) : owner(owner) {}
    RenderShadeContext(const RenderShadeContext&) = delete;
    RenderShadeContext& operator=(const RenderShadeContext&) = delete;

    /// The host time maps are evaluated at.
    void setTime(host::TimeValue t) { time = t; }

    host::TimeValue CurTime() override { return time; }
    host::Point3 P() override;
    host::Point3 V() override;
    host::Point3 Normal() override;
    host::Point3 OrigNormal() override;
    host::Point3 GNormal() override;
    host::Point3 PObj() override;
    /// Channel 1 is the renderer's only map channel; others are zero.
    host::Point3 UVW(int channel = 1) override;
    /// The change of UVW over one pixel: |d/dx| + |d/dy| per component.
    host::Point3 DUVW(int channel = 1) override;
    void DPdUVW(host::Point3 dP[3], int channel = 1) override;

  private:
    const RenderContext& owner;
    host::TimeValue time = 0;
};

}  // namespace glitter::renderer
