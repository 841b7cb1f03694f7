#pragma once
// Test-only double-precision geometry: the exact area of a parallelogram footprint inside an
// axis-aligned square, for checking the search's float geometry independently.

#include <vector>

#include "flakes/flake_footprint.h"

namespace glitter::test {

struct Point2d {
    double u, v;
};

// Area of footprint ∩ [uMin, uMax] × [vMin, vMax], in double precision.
inline double overlapArea(const FlakeFootprint& f, double uMin, double vMin, double uMax,
                          double vMax) {
    std::vector<Point2d> poly;
    for (const FlakeUV& c : f.corner) poly.push_back({c.u, c.v});
    auto clip = [&](int axis, double bound, bool keepAbove) {
        std::vector<Point2d> out;
        auto coord = [axis](const Point2d& p) { return axis == 0 ? p.u : p.v; };
        auto in = [&](const Point2d& p) {
            return keepAbove ? coord(p) >= bound : coord(p) <= bound;
        };
        for (size_t i = 0; i < poly.size(); ++i) {
            const Point2d a = poly[i], b = poly[(i + 1) % poly.size()];
            const bool ia = in(a), ib = in(b);
            if (ia != ib) {
                const double t = (bound - coord(a)) / (coord(b) - coord(a));
                out.push_back({a.u + t * (b.u - a.u), a.v + t * (b.v - a.v)});
            }
            if (ib) out.push_back(b);
        }
        poly = out;
    };
    clip(0, uMin, true);
    clip(1, vMin, true);
    clip(0, uMax, false);
    clip(1, vMax, false);
    double sum = 0.0;
    for (size_t i = 0; i < poly.size(); ++i) {
        const Point2d a = poly[i], b = poly[(i + 1) % poly.size()];
        sum += a.u * b.v - a.v * b.u;
    }
    return poly.size() < 3 ? 0.0 : 0.5 * sum;
}

}  // namespace glitter::test
