#pragma once
// The pixel footprint as a parallelogram in flake space, and the geometry the search asks of
// it: how a quadtree square lies against it and how much of a square it covers.

#include <cstdint>

namespace glitter {

struct FlakeUV {
    float u, v;
};

struct FlakeFootprint {
    FlakeUV corner[4];      // P + e1, P, P + e2, P + e1 + e2: counter-clockwise
    FlakeUV edgeNormal[2];  // (-e1.v, e1.u) and (-e2.v, e2.u)
    FlakeUV boundsMin;
    FlakeUV boundsMax;
    float area;
};
static_assert(sizeof(FlakeFootprint) == 17 * sizeof(float));

// A square of the quadtree, in the same coordinates as the footprint.
struct FlakeSquare {
    float uMin, vMin, uMax, vMax;
};

enum class BoxClass : int32_t { outside = 1, partial = 2, inside = 4 };

// The parallelogram with origin o spanned by a and b; the edges are ordered so that the
// corners run counter-clockwise.
FlakeFootprint makeFootprint(FlakeUV o, FlakeUV a, FlakeUV b);

// Touching counts as outside; a square on the parallelogram's boundary can still be inside.
BoxClass classifyBox(const FlakeFootprint& footprint, const FlakeSquare& square);

// Fraction of the square's area that the footprint covers. Not clamped: rounding can put it a
// hair outside [0, 1].
float coveredFraction(const FlakeFootprint& footprint, const FlakeSquare& square);

}  // namespace glitter
