#include "platform/host/texmap.h"

namespace host {

float Texmap::EvalMono(ShadeContext& sc) {
    const AColor c = EvalColor(sc);
    return (c.r + c.g + c.b) / 3.0f;
}

Point3 Texmap::EvalNormalPerturb(ShadeContext&) { return Point3(); }

}  // namespace host
