#include "flakes/quadtree_split.h"

#include <algorithm>

#include "flakes/math4.h"

namespace glitter {

namespace detail {

int32_t roundCount(float x) {
    const float h = x + 0.5f;
    if (h != h) return 0;
    if (h >= 2147483648.0f) return INT32_MAX;
    if (h < -2147483648.0f) return INT32_MIN;
    int32_t t = int32_t(h);
    if (float(t) > h) t -= 1;
    return t;
}

void approximateQuadrantCounts(int32_t n, FlakeRandom& random, int32_t counts[4]) {
    using simd::Float4;
    const float u1 = random.nextUniform();
    const float u2 = random.nextUniform();
    const float u3 = random.nextUniform();
    const float u4 = random.nextUniform();

    // Box-Muller for three deviates: lanes 0 and 1 carry (u4, u3) and (u2, u1).
    const Float4 logs = kernels::log4(Float4(1.0f - u4, 1.0f - u2, 1.0f, 1.0f));
    const Float4 radius = sqrt(Float4(-2.0f) * logs);
    Float4 s, c;
    kernels::sincos4(Float4(kernels::kTwoPi * u3, kernels::kTwoPi * u1, 0.0f, 0.0f), s, c);
    const float g0 = radius[0] * c[0];
    const float g1 = radius[0] * s[0];
    const float g2 = radius[1] * c[1];

    // Lower-triangular Cholesky factor of the covariance of the first three quadrant counts.
    const float nf = float(n);
    const float mean = nf * 0.25f;
    const float root = std::sqrt(nf);
    const float x0 = mean + root * (0.4330127f * g0);
    const float x1 = mean + root * (0.4082483f * g1 - 0.14433756f * g0);
    const float x2 = mean + root * (0.35355338f * g2 - (0.20412415f * g1 + 0.14433756f * g0));
    const float x3 = ((nf - x0) - x1) - x2;

    counts[0] = roundCount(x0);
    counts[1] = roundCount(x1);
    counts[2] = roundCount(x2);
    counts[3] = roundCount(x3);
}

}  // namespace detail

void balanceQuadrantCounts(int32_t n, int32_t counts[4], FlakeRandom& random) {
    int list[4];
    int listLength = 0;
    for (int k = 0; k < 4; ++k) {
        if (counts[k] >= 1) {
            list[listLength++] = k;
        } else {
            counts[k] = 0;
        }
    }

    // 64-bit, so that counts near two billion cannot overflow the difference.
    const int64_t d = int64_t(n) - counts[3] - counts[2] - counts[1] - counts[0];
    if (d == 0) return;
    const uint32_t r = random.next32();

    if (d > 0) {
        // Missing flakes go one by one to the quadrant named by the next 2-bit chunk of r; the
        // chunks repeat every 16, so whole rounds of 16 are added at once.
        if (d <= 16) {
            for (int i = 0; i < int(d); ++i) ++counts[(r >> (2 * i)) & 3u];
            return;
        }
        const int64_t rounds = d / 16;
        const int64_t rest = d % 16;
        for (int i = 0; i < 16; ++i) {
            const int q = int((r >> (2 * i)) & 3u);
            counts[q] = int32_t(counts[q] + rounds + (i < rest ? 1 : 0));
        }
        return;
    }

    // Too many: remove one at a time from list position (chunk mod L), where a quadrant leaves
    // the list once it reaches 0. The first chunk used is chunk 1 (shift 2).
    const int64_t excess = -d;
    int64_t i = 1;
    while (i <= excess && listLength > 0) {
        // While no listed quadrant can reach 0 within them, whole rounds of 16 removals take the
        // same share from each position, so they are applied together.
        int64_t perRound[4] = {0, 0, 0, 0};
        for (int k = 0; k < 16; ++k) perRound[(r >> (2 * k)) % uint32_t(listLength)]++;
        int64_t rounds = (excess - i) / 16;
        for (int p = 0; p < listLength; ++p) {
            if (perRound[p] > 0) rounds = std::min(rounds, (counts[list[p]] - 1) / perRound[p]);
        }
        if (rounds > 0) {
            for (int p = 0; p < listLength; ++p) {
                counts[list[p]] = int32_t(counts[list[p]] - rounds * perRound[p]);
            }
            i += rounds * 16;
            continue;
        }

        const int j = int((r >> ((2 * i) % 32)) % uint32_t(listLength));
        const int q = list[j];
        counts[q] -= 1;
        if (counts[q] == 0 && i < excess) {
            for (int p = j; p + 1 < listLength; ++p) list[p] = list[p + 1];
            --listLength;
        }
        ++i;
    }
}

void splitCounts(uint32_t seed, int32_t n, int32_t counts[4]) {
    FlakeRandom random(seed);
    counts[0] = counts[1] = counts[2] = counts[3] = 0;
    if (n <= 8) {
        // Each flake goes to quadrant 3 above 0.75, 2 above 0.5, 1 above 0.25, else 0. Counting
        // the flakes above each threshold gives the same four counts without a store per draw.
        int32_t above25 = 0, above50 = 0, above75 = 0;
        for (int32_t i = 0; i < n; ++i) {
            const float x = random.nextUniform();
            above25 += int32_t(x > 0.25f);
            above50 += int32_t(x > 0.5f);
            above75 += int32_t(x > 0.75f);
        }
        counts[0] = (n > 0 ? n : 0) - above25;
        counts[1] = above25 - above50;
        counts[2] = above50 - above75;
        counts[3] = above75;
    } else {
        detail::approximateQuadrantCounts(n, random, counts);
        balanceQuadrantCounts(n, counts, random);
    }
}

void splitFlakeNode(const FlakeNode& node, const int32_t counts[4], FlakeNode children[4]) {
    const uint32_t s = node.seed;
    const float uMid = (node.uMin + node.uMax) * 0.5f;
    const float vMid = (node.vMin + node.vMax) * 0.5f;
    children[0] = {4u * s, counts[0], node.uMin, node.vMin, uMid, vMid, node.inside};
    children[1] = {4u * s + 1u, counts[1], uMid, node.vMin, node.uMax, vMid, node.inside};
    children[2] = {4u * s + 2u, counts[2], uMid, vMid, node.uMax, node.vMax, node.inside};
    children[3] = {4u * s + 3u, counts[3], node.uMin, vMid, uMid, node.vMax, node.inside};
}

void splitFlakeCount(const FlakeNode& node, FlakeNode children[4]) {
    int32_t counts[4];
    splitCounts(node.seed, node.count, counts);
    splitFlakeNode(node, counts, children);
}

}  // namespace glitter
