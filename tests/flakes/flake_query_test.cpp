#include "flakes/flake_query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/support/allocation_counter.h"

namespace glitter {
namespace {

struct Point2d {
    double u, v;
};

// Keeps the part of a convex polygon where nu * u + nv * v <= c.
void clip(std::vector<Point2d>& poly, double nu, double nv, double c) {
    std::vector<Point2d> out;
    for (size_t i = 0; i < poly.size(); ++i) {
        const Point2d a = poly[i], b = poly[(i + 1) % poly.size()];
        const double da = nu * a.u + nv * a.v - c, db = nu * b.u + nv * b.v - c;
        if ((da <= 0.0) != (db <= 0.0)) {
            const double t = da / (da - db);
            out.push_back({a.u + t * (b.u - a.u), a.v + t * (b.v - a.v)});
        }
        if (db <= 0.0) out.push_back(b);
    }
    poly = out;
}

// Reference for the float geometry: the area of footprint ∩ [uMin, uMax] × [vMin, vMax] in double.
double overlapArea(const FlakeFootprint& f, double uMin, double vMin, double uMax, double vMax) {
    std::vector<Point2d> poly;
    for (const FlakeUV& c : f.corner) poly.push_back({c.u, c.v});
    clip(poly, -1.0, 0.0, -uMin);
    clip(poly, 0.0, -1.0, -vMin);
    clip(poly, 1.0, 0.0, uMax);
    clip(poly, 0.0, 1.0, vMax);
    double sum = 0.0;
    for (size_t i = 0; i < poly.size(); ++i) {
        const Point2d a = poly[i], b = poly[(i + 1) % poly.size()];
        sum += a.u * b.v - a.v * b.u;
    }
    return 0.5 * sum;
}

FlakeParams makeParams(int32_t numFlakes, int32_t subdivs, float roughness = 0.1f) {
    FlakeParams p;
    p.init(numFlakes, roughness, FlakeParams::blurAngleRadians(3.0f), subdivs, 1, 1.0f, 0, 0.5f,
           500.0f, 700.0f);
    return p;
}

// A found flake as the blocks hold it: mirror direction and weight (or colour times weight).
struct Found {
    float x, y, z, value[3];
    bool operator==(const Found& o) const { return std::memcmp(this, &o, sizeof(Found)) == 0; }
};

template <class T>
std::vector<Found> collect(const FlakeQuery<T>& q, bool withFiller = false) {
    std::vector<Found> out;
    for (uint32_t i = 0; i < (withFiller ? uint32_t(q.blocks.count) * 4 : q.flakeCount); ++i) {
        const FlakeBlock<T>& b = q.blocks.data[i / 4];
        const int k = int(i % 4);
        if constexpr (kPlainFlakes<T>)
            out.push_back({b.x[k], b.y[k], b.z[k], {b.weight[k], 0.0f, 0.0f}});
        else
            out.push_back({b.x[k], b.y[k], b.z[k], {b.r[k], b.g[k], b.b[k]}});
    }
    return out;
}

template <class T>
bool run(FlakeQuery<T>& q, const FlakeParams& params, const FlakeFootprint& f,
         FlakeVector view = {0.0f, 0.0f, -1.0f}) {
    beginFlakeQuery(q, 1, float(params.numFlakes) * f.area, f, &params);
    q.viewDir = view;
    return searchFlakes(q);
}

FlakeFootprint square(float u, float v, float side) {
    return makeFootprint({u, v}, {side, 0.0f}, {0.0f, side});
}

FlakeFootprint randomFootprint(std::mt19937& rng, float size) {
    std::uniform_real_distribution<float> pos(-3.0f, 3.0f), dir(-1.0f, 1.0f), scale(0.3f, 1.0f);
    return makeFootprint({pos(rng), pos(rng)}, {dir(rng) * size, dir(rng) * size * scale(rng)},
                         {dir(rng) * size * scale(rng), dir(rng) * size});
}

// The view mirrored about the flake normal of uniforms a and b, on the scalar back end.
FlakeVector mirror(float a, float b, float roughness, FlakeVector v) {
    simd::scalar::Float4 nx, ny, nz;
    kernels::sampleBeckmannNormals4(simd::scalar::Float4(a), simd::scalar::Float4(b), roughness, nx,
                                    ny, nz);
    const float k = 2.0f * ((ny[0] * v.y + nx[0] * v.x) + nz[0] * v.z);
    return {v.x - nx[0] * k, v.y - ny[0] * k, v.z - nz[0] * k};
}

template <class T>
class FlakeSearch : public ::testing::Test {};
using Variants = ::testing::Types<float, FlakeRgb>;
TYPED_TEST_SUITE(FlakeSearch, Variants);

// Brute force: every leaf of every reached cell with a non-zero exact overlap, weighted by its
// covered fraction; squares are walked relative to their cell so they stay exact far out.
template <class T>
std::vector<Found> bruteForce(const FlakeParams& p, const FlakeFootprint& f, FlakeVector v) {
    std::vector<std::pair<int, int>> cells;
    for (const FlakeUV& c : f.corner) {
        const std::pair<int, int> cell{int(std::floor(double(c.u))), int(std::floor(double(c.v)))};
        if (std::find(cells.begin(), cells.end(), cell) == cells.end()) cells.push_back(cell);
    }
    std::vector<Found> out;
    double x0 = 0.0, y0 = 0.0;
    const auto descend = [&](auto& self, const FlakeNode& node, int depth) -> void {
        if (depth < p.textureSubdivs) {
            FlakeNode children[4];
            splitFlakeCount(node, children);
            for (const FlakeNode& c : children) {
                if (c.count > 0) self(self, c, depth + 1);
            }
            return;
        }
        const double area = double(node.uMax - node.uMin) * double(node.vMax - node.vMin);
        const double w =
            overlapArea(f, x0 + node.uMin, y0 + node.vMin, x0 + node.uMax, y0 + node.vMax) / area;
        if (!(w > 0.0)) return;
        const float wf = float(std::min(w, 1.0));
        LeafFlakes flakes(node.seed);
        for (int32_t i = 0; i < node.count; ++i) {
            float a, b;
            FlakeRgb color{1.0f, 0.0f, 0.0f};
            if constexpr (kPlainFlakes<T>) flakes.next(a, b);
            else flakes.next(p, a, b, color);
            const FlakeVector d = mirror(a, b, p.roughness, v);
            out.push_back({d.x, d.y, d.z, {color.r * wf, color.g * wf, color.b * wf}});
        }
    };
    for (const auto& [x, y] : cells) {
        x0 = x;
        y0 = y;
        descend(descend, FlakeNode{cellSeed(x, y), p.numFlakes, 0.0f, 0.0f, 1.0f, 1.0f, 0}, 0);
    }
    return out;
}

// Depths 6 and 0, a million cells out; the filler lanes weigh 0 with the normal of a = b = 0.5.
TYPED_TEST(FlakeSearch, FindsTheSameFlakesAsABruteForceWalk) {
    const FlakeParams params[2] = {makeParams(5000, 6, 0.3f), makeParams(37, 0, 0.3f)};
    const FlakeVector view{0.3f, -0.2f, -0.93f};
    std::mt19937 rng(31);
    FlakeQuery<TypeParam> q;
    int compared = 0;
    for (int i = 0; i < 150; ++i) {
        const FlakeParams& p = params[i % 3 == 2];
        FlakeFootprint f = randomFootprint(rng, 0.05f + 0.3f * float(i % 5) / 4.0f);
        if (i % 25 == 0)
            f = makeFootprint({0.25f + float(i / 25), 1000000.5f}, {0.125f, 0.0f}, {0.0f, 0.0625f});
        run(q, p, f, view);
        const std::vector<Found> all = collect(q, true);
        ASSERT_EQ(all.size(), (q.flakeCount + 3) / 4 * 4);
        const FlakeVector filler = mirror(0.5f, 0.5f, p.roughness, view);
        for (size_t k = q.flakeCount; k < all.size(); ++k)
            ASSERT_EQ(all[k], (Found{filler.x, filler.y, filler.z, {0.0f, 0.0f, 0.0f}})) << k;
        // Matched by direction (unique per flake); grazing leaves may fall either side of zero.
        std::multimap<std::tuple<float, float, float>, Found> byDirection;
        for (size_t k = 0; k < q.flakeCount; ++k)
            byDirection.emplace(std::make_tuple(all[k].x, all[k].y, all[k].z), all[k]);
        constexpr float kGraze = 3e-4f;
        for (const Found& w : bruteForce<TypeParam>(p, f, view)) {
            const auto it = byDirection.find(std::make_tuple(w.x, w.y, w.z));
            if (it == byDirection.end()) {
                ASSERT_LE(w.value[0] + w.value[1] + w.value[2], kGraze) << "missing flake";
                continue;
            }
            for (int c = 0; c < 3; ++c) ASSERT_NEAR(it->second.value[c], w.value[c], 2e-3f);
            byDirection.erase(it);
            ++compared;
        }
        for (const auto& [key, g] : byDirection)
            ASSERT_LE(g.value[0] + g.value[1] + g.value[2], kGraze) << "invented flake";
    }
    std::printf("%d flakes compared\n", compared);
    EXPECT_GT(compared, 8000);
}

TYPED_TEST(FlakeSearch, CellsComeFromTheCornersInOrder) {
    FlakeQuery<TypeParam> q;
    // Corners (-0.25, 0.25), (-0.25, -0.25), (0.25, -0.25), (0.25, 0.25).
    run(q, makeParams(20000, 6), square(-0.25f, -0.25f, 0.5f));
    ASSERT_EQ(q.cellCount, 4);
    const int cells[4][2] = {{-1, 0}, {-1, -1}, {0, -1}, {0, 0}};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(q.cellSeed[i], cellSeed(cells[i][0], cells[i][1]));
}

// The memo never changes a search's bits or node count, on any thread, and a warm second pass
// allocates nothing. Over 2 x 2 cells of two flakes, (x, y) and (x + 1, y + 1) share a seed: a
// leaf recurs pending. A subtree ring of 16 flakes overwrites what it keeps all the time.
TYPED_TEST(FlakeSearch, MemoNeverChangesTheResultOnAnyOfSeveralThreads) {
    FlakeParams colors = makeParams(10000000, 12);
    colors.randomSaturation = 0;
    colors.saturation = 0.25f;
    const FlakeParams params[4] = {makeParams(10000000, 12), makeParams(2, 1),
                                   makeParams(10000000, 12, 0.4f), colors};
    std::mt19937 rng(47);
    std::uniform_real_distribution<float> jitter(-0.5f, 0.5f);
    std::vector<std::pair<int, FlakeFootprint>> walk;
    for (int i = 0; i < 120; ++i) {
        const float side = i < 60 ? 4e-3f : 9e-3f, u = 0.3f + side * float(i % 60 / 4);
        walk.push_back({i % 4 == 3 ? 2 + i / 4 % 2 : 0,
                        makeFootprint({u + side * jitter(rng), 0.97f + side * jitter(rng)},
                                      {side, 0.2f * side * jitter(rng)}, {0.0f, side})});
    }
    for (int i = 0; i < 40; ++i) {
        walk.push_back({1, makeFootprint({jitter(rng) - 0.2f, jitter(rng) - 0.2f}, {1.0f, 0.0f},
                                         {0.0f, 1.0f})});
    }
    auto search = [&](FlakeQuery<TypeParam>& q, const std::pair<int, FlakeFootprint>& f,
                      int64_t* allocations = nullptr) {
        const test::AllocationScope scope;
        run(q, params[f.first], f.second, {0.3f, -0.1f, -0.95f});
        if (allocations != nullptr) *allocations += scope.allocations();
        return std::pair(collect(q, true), q.nodesVisited);
    };
    FlakeQuery<TypeParam> reference;
    setFlakeCacheSize(reference, {0, 0, 0});
    std::vector<std::pair<std::vector<Found>, int64_t>> expected;
    for (const auto& f : walk) expected.push_back(search(reference, f));

    struct Case {
        const char* name;
        FlakeCacheSize size;
        bool cold;  // a new query for every footprint
        int threads;
    } cases[] = {
        {"default, warm", {}, false, 1},          {"default, cold", {}, true, 1},
        {"tiny", {1, 1, 1}, false, 1},            {"small, splits only", {6, 0, 0}, false, 1},
        {"small, leaves only", {0, 5, 0}, false, 1}, {"small, subtrees only", {0, 0, 3}, false, 1},
        {"small, two threads", {7, 6, 3}, false, 2}, {"default, four threads", {}, false, 4}};
    for (const Case& c : cases) {
        std::vector<int64_t> mismatches(size_t(c.threads), 0), warmAllocations = mismatches;
        auto work = [&](int t) {
            FlakeQuery<TypeParam> warm;
            setFlakeCacheSize(warm, c.size);
            for (int pass = 0; pass < 2; ++pass)
                for (size_t i = 0; i < walk.size(); ++i) {
                    const size_t j = (i + size_t(t) * 37) % walk.size();
                    FlakeQuery<TypeParam> cold;
                    setFlakeCacheSize(cold, c.size);
                    const auto got = search(c.cold ? cold : warm, walk[j],
                                            pass == 1 ? &warmAllocations[size_t(t)] : nullptr);
                    mismatches[size_t(t)] += got != expected[j];
                }
        };
        std::vector<std::thread> threads;
        for (int t = 1; t < c.threads; ++t) threads.emplace_back(work, t);
        work(0);
        for (auto& th : threads) th.join();
        for (int64_t m : mismatches) EXPECT_EQ(m, 0) << c.name;
        for (int64_t a : warmAllocations) EXPECT_TRUE(c.cold || a == 0) << c.name;
    }
}

// Unusable or oversized searches switch flakes off; a too-small footprint finds none but stays on.
TYPED_TEST(FlakeSearch, SearchesThatFindNothing) {
    const FlakeParams params = makeParams(10000000, 12);
    const struct {
        FlakeParams params;
        FlakeFootprint footprint;
        int32_t enabled;
    } cases[] = {
        {params, square(NAN, 0.5f, 0.001f), 0},
        {params, makeFootprint({0.5f, 0.5f}, {INFINITY, 0.0f}, {0.0f, 0.001f}), 0},
        {params, square(3e9f, 0.5f, 0.001f), 0},
        {params, square(-3e9f, 0.5f, 0.001f), 0},
        // Thin and two billion cells long: relative cell coordinates would overflow.
        {params, makeFootprint({-2e9f, 0.5f}, {4e9f, 0.0f}, {0.0f, 1e-12f}), 0},
        // A quadtree of depth 0 makes every reached cell one leaf of two billion flakes.
        {makeParams(2000000000, 0), square(0.5f, 0.5f, 1e-6f), 0},
        {makeParams(10, 12), square(0.3f, 0.3f, 1e-6f), 1}};
    for (const auto& k : cases) {
        FlakeQuery<TypeParam> q;
        run(q, k.params, k.footprint);
        EXPECT_EQ(std::tuple(q.enabled, q.blocks.count, q.stack.size), std::tuple(k.enabled, 0, 0));
        EXPECT_TRUE(run(q, params, square(0.5f, 0.5f, 3e-3f)));
        EXPECT_EQ(q.enabled, 1);
        EXPECT_GT(q.flakeCount, 0u);
    }
    // Switched off: the previous result stays, only the expectation is taken.
    FlakeQuery<TypeParam> q;
    run(q, params, square(0.3f, 0.3f, 3e-3f));
    const auto before = collect(q);
    ASSERT_FALSE(before.empty());
    beginFlakeQuery(q, 0, 5.0f, square(0.7f, 0.7f, 0.1f), &params);
    EXPECT_TRUE(searchFlakes(q));
    EXPECT_EQ(q.expectedFlakes, 5.0f);
    EXPECT_EQ(collect(q), before);
}

// Against the exact overlap at cell and deep-leaf sizes: outside squares share no area, inside
// ones are covered whole, a partial one's fraction is right to 1e-3; edges turn either way.
TEST(FlakeFootprint, ClassificationAndCoveredFractionAgreeWithTheExactOverlap) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> pos(0.2f, 0.8f), edge(-1.0f, 1.0f), near(-0.2f, 1.2f);
    double worst = 0.0;
    int partials = 0;
    for (int i = 0; i < 4000; ++i) {
        const bool deep = i % 2 == 1;
        const float e = deep ? 2e-3f : 0.3f;
        const FlakeFootprint f = makeFootprint({pos(rng), pos(rng)}, {e * edge(rng), e * edge(rng)},
                                               {e * edge(rng), e * edge(rng)});
        for (int j = 0; j < 32; ++j) {
            const float size = 1.0f / float(1 << (deep ? 12 - j % 3 : j % 7));
            const auto at = [&](float lo, float hi) {
                return std::floor((lo + (hi - lo) * near(rng)) / size) * size;
            };
            const float u = at(f.boundsMin.u, f.boundsMax.u), v = at(f.boundsMin.v, f.boundsMax.v);
            const FlakeSquare square{u, v, u + size, v + size};
            const double overlap = overlapArea(f, u, v, u + size, v + size) / (double(size) * size);
            switch (classifyBox(f, square)) {
                case BoxClass::outside:
                    ASSERT_LE(overlap, 1e-6);
                    break;
                case BoxClass::inside:
                    ASSERT_GE(overlap, 1.0 - 1e-5);
                    break;
                case BoxClass::partial:
                    ++partials;
                    worst = std::max(worst, std::fabs(coveredFraction(f, square) - overlap));
                    break;
            }
        }
    }
    std::printf("worst covered-fraction error over %d partial squares: %.3g\n", partials, worst);
    EXPECT_GT(partials, 20000);
    EXPECT_LE(worst, 1e-3);
}

}  // namespace
}  // namespace glitter
