#pragma once
// The pixel footprint as a parallelogram in flake space, and the geometry the search asks of
// it: how a quadtree square lies against it and how much of a square it covers.

#include <cstdint>

#include "flakes/simd/float4.h"

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

// Classifies the four quadrants of a square at once (one lane each), with the same classes
// classifyBox gives each quadrant. Takes the bands broadcast to four lanes once per footprint.
class QuadrantClassifier {
public:
    explicit QuadrantClassifier(const FootprintBands& f)
        : boundsMinU(f.boundsMin.u), boundsMinV(f.boundsMin.v), boundsMaxU(f.boundsMax.u),
          boundsMaxV(f.boundsMax.v),
          normalU{simd::Float4(f.normal[0].u), simd::Float4(f.normal[1].u)},
          normalV{simd::Float4(f.normal[0].v), simd::Float4(f.normal[1].v)},
          low{simd::Float4(f.low[0]), simd::Float4(f.low[1])},
          high{simd::Float4(f.high[0]), simd::Float4(f.high[1])} {}

    // The square [u[0], u[2]] x [v[0], v[2]] split at u[1], v[1]; quadrants in the children's
    // counter-clockwise order. Bit k of `outside` / `inside` is set when quadrant k is outside /
    // inside; neither: partial.
    void classify(const float u[3], const float v[3], int& outside, int& inside) const {
        using simd::Float4;
        // Lane k holds quadrant k: low corners (u0, v0), (u1, v0), (u1, v1), (u0, v1).
        const Float4 uLo(u[0], u[1], u[1], u[0]), uHi(u[1], u[2], u[2], u[1]);
        const Float4 vLo(v[0], v[0], v[1], v[1]), vHi(v[1], v[1], v[2], v[2]);
        simd::Mask4 out = (uLo >= boundsMaxU) | (uHi <= boundsMinU) | (vLo >= boundsMaxV) |
                          (vHi <= boundsMinV);
        simd::Mask4 in;
        for (int k = 0; k < 2; ++k) {
            const Float4 a0 = uLo * normalU[k], a1 = uHi * normalU[k];
            const Float4 b0 = vLo * normalV[k], b1 = vHi * normalV[k];
            // min(x, y) is x < y ? x : y and max(y, x) is x < y ? y : x, as classifyBox picks.
            const Float4 sMin = min(a0, a1) + min(b0, b1);
            const Float4 sMax = max(a1, a0) + max(b1, b0);
            out = out | (sMin >= high[k]) | (sMax <= low[k]);
            const simd::Mask4 within = (sMin >= low[k]) & (sMax <= high[k]);
            in = k == 0 ? within : in & within;
        }
        outside = moveMask(out);
        inside = moveMask(in) & ~outside;
    }

private:
    simd::Float4 boundsMinU, boundsMinV, boundsMaxU, boundsMaxV;
    simd::Float4 normalU[2], normalV[2], low[2], high[2];
};

// Fraction of the square's area that the footprint covers. Not clamped: rounding can put it a
// hair outside [0, 1].
float coveredFraction(const FlakeFootprint& footprint, const FlakeSquare& square);

}  // namespace glitter
