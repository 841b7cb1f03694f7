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

// What classifying squares against one footprint needs: its bounds, and per edge normal the
// band of the parallelogram's corner projections. Fixed per footprint, so a search takes it
// once rather than per square.
struct FootprintBands {
    FlakeUV boundsMin, boundsMax;
    FlakeUV normal[2];
    float low[2], high[2];
};

FootprintBands footprintBands(const FlakeFootprint& footprint);

// Touching counts as outside; a square on the parallelogram's boundary can still be inside.
BoxClass classifyBox(const FlakeFootprint& footprint, const FlakeSquare& square);
BoxClass classifyBox(const FootprintBands& bands, const FlakeSquare& square);

// The four quadrants of the square [u[0], u[2]] x [v[0], v[2]] split at u[1], v[1], in the
// children's counter-clockwise order, classified at once; the same classes as classifyBox
// gives each quadrant. Bit k of `outside` / `inside` is set when quadrant k is outside /
// inside; neither: partial.
void classifyQuadrants(const FootprintBands& bands, const float u[3], const float v[3],
                       int& outside, int& inside);

// Fraction of the square's area that the footprint covers. Not clamped: rounding can put it a
// hair outside [0, 1].
float coveredFraction(const FlakeFootprint& footprint, const FlakeSquare& square);

}  // namespace glitter
