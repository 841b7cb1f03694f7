// A texture map: a colour (with alpha) evaluated at a shading context.
#pragma once

#include "platform/host/color.h"
#include "platform/host/mtl_base.h"
#include "platform/host/point3.h"
#include "platform/host/shade_context.h"

namespace host {

class Texmap : public MtlBase {
public:
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }

    virtual AColor EvalColor(ShadeContext& sc) = 0;
    /// Mean of the colour's r, g and b.
    virtual float EvalMono(ShadeContext& sc);
    /// Bump perturbation; none by default.
    virtual Point3 EvalNormalPerturb(ShadeContext& sc);
    /// The map channel the map reads, or 0 when it reads none.
    virtual int GetMapChannel() { return 0; }
};

}  // namespace host
