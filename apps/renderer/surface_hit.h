// What an intersection found: the hit point in double precision, the surface's normals and
// its map channel 1 parameterisation (coordinates and their world-space basis).
#pragma once

#include "apps/renderer/render_math.h"
#include "platform/renderer/kuvo_context.h"

namespace glitter::renderer {

struct SurfaceHit {
    double t = 0.0;                  ///< ray distance of the hit
    DVector point;                   ///< on the surface, in double precision
    Vector geometricNormal;          ///< unit, on the surface's own (outer) side
    Vector shadingNormal;            ///< unit, interpolated where the surface has normals
    Vector uvw;                      ///< map channel 1 coordinates (w is 0 on surfaces)
    KuvoUtils::UVWBasis uvwBasis;    ///< dP/du, dP/dv and dP/dw (the unit normal)
    int objectIndex = -1;            ///< scene object hit, or -1
    int lightIndex = -1;             ///< light hit, or -1
};

}  // namespace glitter::renderer
