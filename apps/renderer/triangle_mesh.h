// A triangle mesh with optional per-corner normals and map channel 1 coordinates. Positions
// are kept in double precision so that hit points are rebuilt from barycentrics exactly.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "apps/renderer/surface_hit.h"
#include "apps/renderer/transform.h"

namespace glitter::renderer {

struct TexCoord {
    float u = 0.0f;
    float v = 0.0f;
};

class TriangleMesh {
  public:
    std::vector<DVector> positions;
    std::vector<std::array<std::uint32_t, 3>> triangles;  ///< position indices
    /// Per corner (3 per triangle), or empty. Normals need not be unit length.
    std::vector<Vector> cornerNormals;
    /// Per corner (3 per triangle), or empty; triangles without coordinates get the
    /// placeholder (0, 0), (1, 0), (1, 1).
    std::vector<TexCoord> cornerTexCoords;

    std::size_t triangleCount() const { return triangles.size(); }

    /// Fills the hit on triangle `index` at barycentrics (b1, b2) of corners 1 and 2.
    void fillHit(std::size_t index, double b1, double b2, double t, SurfaceHit& hit) const;

    /// Moves every position (and normal) by `transform`.
    void transform(const Transform& transform);

    /// Axis-aligned bounds of the positions.
    void bounds(DVector& lower, DVector& upper) const;
};

}  // namespace glitter::renderer
