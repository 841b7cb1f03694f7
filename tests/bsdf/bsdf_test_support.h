#pragma once
// Test helpers for the BSDF: a shading context with a settable UVW channel, scripted samples
// and one reusable child; materials with default values; footprints of a chosen flake count.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <memory>

#include "bsdf/bsdf_setup.h"
#include "platform/renderer/capturing_render_log.h"
#include "platform/renderer/renderer_info.h"
#include "platform/renderer/renderer_instance.h"

namespace glitter::test {

using KuvoUtils::Color;
using KuvoUtils::Vector;

class TestContext : public KuvoUtils::KuvoContext {
public:
    Vector uvw;
    KuvoUtils::UVWBasis basis{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    float samples[4] = {0.5f, 0.5f, 0.5f, 0.5f};  // returned by sampleValue(dimension)
    std::unique_ptr<TestContext> child;
    KuvoUtils::RenderOptions renderOptions;
    KuvoUtils::RenderThreadData thread;

    // Not copyable: the context points at its own options and thread data.
    TestContext(const TestContext&) = delete;
    TestContext& operator=(const TestContext&) = delete;
    TestContext() {
        options = &renderOptions;
        threadData = &thread;
        setRayDir({0, 0, -1});
        shadingNormal = geometricNormal = {0, 0, 1};
    }
    Vector getUVWCoords(int) const override { return uvw; }
    KuvoUtils::UVWBasis getUVWBasis(int) const override { return basis; }
    float sampleValue(int dimension) override { return samples[dimension & 3]; }
    KuvoContext* newChildContext(int kind, const Color& filter, int flags,
                                 const Vector& normal) override {
        if (!child) child = std::make_unique<TestContext>();
        initChild(*child, kind, filter, flags, normal);
        return child.get();
    }
    // The pixel footprint: where it is in UVW and how far a pixel step moves the hit.
    void footprint(const Vector& at, const Vector& dx, const Vector& dy) {
        uvw = at;
        dPdx = dx;
        dPdy = dy;
    }
};

// A material at the parameter block's defaults, with its render-time record filled.
struct TestMaterial {
    CachedParameterValues values;
    FlakeParams params{};
    KuvoUtils::CapturingRenderLog log;
    KuvoUtils::RenderLog* attachedLog = nullptr;
    std::atomic<int32_t> warned{0};
    const char16_t* name = u"Glitter";

    TestMaterial() { refresh(); }
    void refresh() {
        params.init(values.num_flakes, FlakeParams::roughnessFromGlossiness(values.hilight_glossiness),
                    FlakeParams::blurAngleRadians(values.blur_angle), values.texture_subdivs,
                    values.random_saturation, values.saturation, values.random_lightness,
                    values.lightness, values.blend_min, values.blend_max);
    }
    FlakeMaterialView view() { return {&values, &params, attachedLog, &warned, name}; }
};

// The two BSDF variants, for typed tests; `channel` reads the first channel of either value.
using BsdfVariants = ::testing::Types<float, KuvoUtils::Color>;
inline float channel(float v) { return v; }
inline float channel(const KuvoUtils::Color& c) { return c.r; }

// A renderer as the material sees it: thread count and a log that keeps what it is given.
struct TestRenderer {
    KuvoUtils::CapturingRenderLog log;
    KuvoUtils::RendererInfo info;
    KuvoUtils::RendererInstance instance{&info};
    explicit TestRenderer(int threads) {
        info.threadCount = threads;
        info.log = &log;
    }
    std::size_t warnings() const { return log.count(KuvoUtils::RenderLog::Level::warning); }
};

// A material, a shading context and a BSDF set up from them.
template <class T = float>
struct Shading {
    TestMaterial m;
    TestContext c;
    DiscreteMicrofacetBSDF<T> bsdf;
    DiscreteMicrofacetBSDF<T>& setup(int side = 0) {
        m.refresh();
        setupBSDF(m.view(), c, bsdf, side);
        return bsdf;
    }
};

inline bool isFinite(const Color& c) {
    return std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b);
}

// One reflection sample through the renderer's two slots; null when none is spawned.
template <class T>
KuvoUtils::KuvoContext* drawSample(DiscreteMicrofacetBSDF<T>& bsdf, TestContext& c,
                                   const std::array<float, 4>& u) {
    KuvoUtils::KuvoContext* child = bsdf.spawnSampleContext(c, 0, 0);
    if (child == nullptr) return nullptr;
    for (int i = 1; i < 4; ++i) c.child->samples[i] = u[i];
    bsdf.sampleDirection(c, *child, u[0]);
    return child;
}

// Point the context's pixel footprint at `expected` flakes of the material's default count: a
// square of that area in UVW space (identity basis), centred at uv.
inline void setFootprint(TestContext& c, float expected, int32_t numFlakes, float u = 0.37f,
                         float v = 0.61f) {
    const float side = std::sqrt(expected / float(numFlakes));
    c.footprint({u, v, 0}, {side, 0, 0}, {0, side, 0});
}

}  // namespace glitter::test
