#include "flakes/flake_footprint.h"

#include <cmath>

namespace glitter {

FlakeFootprint makeFootprint(FlakeUV o, FlakeUV a, FlakeUV b) {
    const float cross = a.u * b.v - a.v * b.u;
    FlakeUV e1 = a, e2 = b;
    float area = -cross;
    if (cross > 0.0f) {
        e1 = b;
        e2 = a;
        area = cross;
    }
    FlakeFootprint f;
    f.corner[0] = {o.u + e1.u, o.v + e1.v};
    f.corner[1] = o;
    f.corner[2] = {o.u + e2.u, o.v + e2.v};
    f.corner[3] = {(o.u + e2.u) + e1.u, (o.v + e2.v) + e1.v};
    f.edgeNormal[0] = {-e1.v, e1.u};
    f.edgeNormal[1] = {-e2.v, e2.u};
    f.boundsMin = {1e20f, 1e20f};
    f.boundsMax = {-1e20f, -1e20f};
    for (const FlakeUV& c : f.corner) {
        f.boundsMin.u = c.u < f.boundsMin.u ? c.u : f.boundsMin.u;
        f.boundsMin.v = c.v < f.boundsMin.v ? c.v : f.boundsMin.v;
        f.boundsMax.u = c.u > f.boundsMax.u ? c.u : f.boundsMax.u;
        f.boundsMax.v = c.v > f.boundsMax.v ? c.v : f.boundsMax.v;
    }
    f.area = area;
    return f;
}

FootprintBands footprintBands(const FlakeFootprint& f) {
    FootprintBands b;
    b.boundsMin = f.boundsMin;
    b.boundsMax = f.boundsMax;
    for (int k = 0; k < 2; ++k) {
        const FlakeUV n = f.edgeNormal[k];
        // Corners 1 and 2 span the band of edge normal 0, corners 2 and 3 that of normal 1.
        const FlakeUV c0 = f.corner[k + 1];
        const FlakeUV c1 = f.corner[k + 2];
        const float q0 = c0.u * n.u + c0.v * n.v;
        const float q1 = c1.u * n.u + c1.v * n.v;
        b.normal[k] = n;
        b.low[k] = q0 < q1 ? q0 : q1;
        b.high[k] = q0 < q1 ? q1 : q0;
    }
    return b;
}

BoxClass classifyBox(const FlakeFootprint& f, const FlakeSquare& s) {
    return classifyBox(footprintBands(f), s);
}

BoxClass classifyBox(const FootprintBands& f, const FlakeSquare& s) {
    if (s.uMin >= f.boundsMax.u || s.uMax <= f.boundsMin.u || s.vMin >= f.boundsMax.v ||
        s.vMax <= f.boundsMin.v) {
        return BoxClass::outside;
    }
    bool inside = true;
    for (int k = 0; k < 2; ++k) {
        const FlakeUV n = f.normal[k];
        // The extremes of the four corner projections u*n.u + v*n.v. Rounded products and sums
        // are monotonic, so the extreme sum is the sum of the extreme terms, bit for bit.
        const float a0 = s.uMin * n.u, a1 = s.uMax * n.u;
        const float b0 = s.vMin * n.v, b1 = s.vMax * n.v;
        const float sMin = (a0 < a1 ? a0 : a1) + (b0 < b1 ? b0 : b1);
        const float sMax = (a0 < a1 ? a1 : a0) + (b0 < b1 ? b1 : b0);
        if (sMin >= f.high[k] || sMax <= f.low[k]) return BoxClass::outside;
        if (!(sMin >= f.low[k] && sMax <= f.high[k])) inside = false;
    }
    return inside ? BoxClass::inside : BoxClass::partial;
}

namespace {

// Sutherland-Hodgman against one axis-aligned bound. Axis 0 clips u, 1 clips v; KeepAbove
// keeps coordinates >= bound, otherwise coordinates < bound. Edge i runs from vertex i to the
// next; the output starts with what edge 0 gives, which fixes the order of the area sum.
template <int Axis, bool KeepAbove>
int clipPolygon(const FlakeUV* in, int n, FlakeUV* out, float bound) {
    const auto coord = [](const FlakeUV& p) {
        if constexpr (Axis == 0) {
            return p.u;
        } else {
            return p.v;
        }
    };
    const auto isIn = [bound](float c) {
        if constexpr (KeepAbove) {
            return c >= bound;
        } else {
            return c < bound;
        }
    };
    const auto crossing = [bound, &coord](const FlakeUV& cur, const FlakeUV& next, FlakeUV& hit) {
        const float t = (bound - coord(cur)) / (coord(next) - coord(cur));
        if (!std::isfinite(t)) return false;
        if constexpr (Axis == 0) {
            hit = {bound, t * (next.v - cur.v) + cur.v};
        } else {
            hit = {t * (next.u - cur.u) + cur.u, bound};
        }
        return true;
    };
    int m = 0;
    bool curIn = isIn(coord(in[0]));
    for (int i = 0; i < n; ++i) {
        const FlakeUV& cur = in[i];
        const FlakeUV& next = in[i + 1 == n ? 0 : i + 1];
        const bool nextIn = isIn(coord(next));
        FlakeUV hit;
        if (curIn && nextIn) {
            out[m++] = next;
        } else if (curIn) {
            if (crossing(cur, next, hit)) out[m++] = hit;
        } else if (nextIn) {
            if (crossing(cur, next, hit)) {
                out[m++] = hit;
                out[m++] = next;
            }
        }
        curIn = nextIn;
    }
    return m;
}

}  // namespace

float coveredFraction(const FlakeFootprint& f, const FlakeSquare& s) {
    // A convex quadrilateral clipped by four half-planes has at most 8 vertices.
    FlakeUV a[16], b[16];
    int n = 4;
    for (int i = 0; i < 4; ++i) a[i] = f.corner[i];
    n = clipPolygon<0, true>(a, n, b, s.uMin);
    if (n > 0) n = clipPolygon<1, true>(b, n, a, s.vMin);
    if (n > 0) n = clipPolygon<0, false>(a, n, b, s.uMax);
    if (n > 0) n = clipPolygon<1, false>(b, n, a, s.vMax);
    if (n == 0) return 0.0f;

    // The footprint lives at coordinates of order 1 while a deep leaf is tiny: summing the
    // shoelace there cancels almost everything. Relative to the square's low corner the terms
    // are of the leaf's own size.
    for (int i = 0; i < n; ++i) {
        a[i].u = a[i].u - s.uMin;
        a[i].v = a[i].v - s.vMin;
    }
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) {
        const FlakeUV& p = a[i];
        const FlakeUV& q = a[i + 1 == n ? 0 : i + 1];
        sum = sum + (p.u * q.v - p.v * q.u);
    }
    return sum * 0.5f / ((s.vMax - s.vMin) * (s.uMax - s.uMin));
}

}  // namespace glitter
