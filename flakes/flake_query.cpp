#include "flakes/flake_query.h"

#include <cmath>

namespace glitter::detail {

namespace {

// floor() as a 32-bit integer: truncation, minus one when that overshoots. The caller has
// checked that the value lies in the int32 range.
int32_t floorToCell(float x) {
    int32_t t = int32_t(x);
    if (float(t) > x) t -= 1;
    return t;
}

bool inCellRange(float x) { return x >= -2147483648.0f && x < 2147483648.0f; }

}  // namespace

bool prepareFlakeCells(FlakeFootprint& footprint, int32_t& cellCount, int32_t cellX[4],
                       int32_t cellY[4], uint32_t cellSeeds[4]) {
    for (const FlakeUV& c : footprint.corner) {
        if (!inCellRange(c.u) || !inCellRange(c.v)) return false;
    }
    if (!std::isfinite(footprint.area)) return false;

    int32_t count = 0;
    int32_t xs[4] = {0, 0, 0, 0}, ys[4] = {0, 0, 0, 0};
    for (const FlakeUV& c : footprint.corner) {
        const int32_t x = floorToCell(c.u);
        const int32_t y = floorToCell(c.v);
        bool known = false;
        for (int32_t i = 0; i < count; ++i) known = known || (xs[i] == x && ys[i] == y);
        if (!known) {
            xs[count] = x;
            ys[count] = y;
            ++count;
        }
    }

    // Cells far apart (a long, thin footprint) cannot be expressed relative to the first one.
    for (int32_t i = 0; i < count; ++i) {
        const int64_t dx = int64_t(xs[i]) - xs[0];
        const int64_t dy = int64_t(ys[i]) - ys[0];
        if (dx < -(int64_t(1) << 30) || dx > (int64_t(1) << 30) || dy < -(int64_t(1) << 30) ||
            dy > (int64_t(1) << 30)) {
            return false;
        }
    }

    cellCount = count;
    for (int32_t i = 0; i < count; ++i) {
        cellSeeds[i] = cellSeed(xs[i], ys[i]);
        cellX[i] = xs[i] - xs[0];
        cellY[i] = ys[i] - ys[0];
    }

    // All later geometry works in small coordinates relative to the first cell.
    const float du = float(-int64_t(xs[0]));
    const float dv = float(-int64_t(ys[0]));
    for (FlakeUV& c : footprint.corner) {
        c.u = c.u + du;
        c.v = c.v + dv;
    }
    footprint.boundsMin.u = footprint.boundsMin.u + du;
    footprint.boundsMin.v = footprint.boundsMin.v + dv;
    footprint.boundsMax.u = footprint.boundsMax.u + du;
    footprint.boundsMax.v = footprint.boundsMax.v + dv;
    return true;
}

}  // namespace glitter::detail
