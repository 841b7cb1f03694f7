// The shading context's sample source and child contexts, as BRDFs and renderers use them.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <vector>

#include "platform/renderer/brdf_sampler.h"
#include "platform/renderer/context_interface.h"
#include "platform/renderer/kuvo_context.h"
#include "platform/renderer/render_channels_info.h"

namespace {

using namespace KuvoUtils;

class NullBRDF : public BRDFSampler {
public:
    Color getDiffuseColor(const KuvoContext&) override { return {}; }
    Color filterColor(const Color& k) override { return k; }
    Color evalLight(const KuvoContext&, const Vector&, const Color&, int, float, int) override {
        return {};
    }
    int isOpaque() override { return 1; }
    int getNumSamples(const KuvoContext&) override { return 0; }
    KuvoContext* spawnSampleContext(KuvoContext&, int, int) override { return nullptr; }
    float sampleDirection(const KuvoContext&, KuvoContext&, float) override { return 1.0f; }
    const RenderChannelsInfo* getRenderChannels() override {
        return &RenderChannelsInfo::reflectChannels;
    }
    void makeFrame(const KuvoContext&, const Vector&, Frame&) override {}
};

// A renderer's sequence that returns scripted values and records what was asked of it.
class ScriptedContext : public KuvoContext {
public:
    float next = 0.0f;
    std::vector<int> asked;

    float sampleValue(int dimension) override {
        asked.push_back(dimension);
        return next;
    }
};

TEST(RendererContext, GetDMCParamForwardsToTheContextsSequence) {
    NullBRDF brdf;
    ScriptedContext child;
    child.next = 0.625f;
    EXPECT_EQ(brdf.getDMCParam(child, 1), 0.625f);
    child.next = 0.0f;
    EXPECT_EQ(brdf.getDMCParam(child, 3), 0.0f);
    EXPECT_EQ(child.asked, (std::vector<int>{1, 3}));
}

TEST(RendererContext, GetDMCParamKeepsAStraySequenceInsideTheUnitInterval) {
    NullBRDF brdf;
    ScriptedContext context;
    const float belowOne = std::nextafter(1.0f, 0.0f);
    context.next = 1.0f;
    EXPECT_EQ(brdf.getDMCParam(context, 1), belowOne);
    context.next = 7.5f;
    EXPECT_EQ(brdf.getDMCParam(context, 1), belowOne);
    context.next = std::numeric_limits<float>::infinity();
    EXPECT_EQ(brdf.getDMCParam(context, 1), belowOne);
    context.next = -0.25f;
    EXPECT_EQ(brdf.getDMCParam(context, 1), 0.0f);
    context.next = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(brdf.getDMCParam(context, 1), 0.0f);
    context.next = belowOne;
    EXPECT_EQ(brdf.getDMCParam(context, 1), belowOne);
}

TEST(RendererContext, DefaultSequenceIsRepeatableAndDependsOnEveryKey) {
    KuvoContext a;
    a.sampleSeed = 1234;
    a.sampleIndex = 7;
    KuvoContext b = a;
    EXPECT_EQ(a.sampleValue(2), b.sampleValue(2));
    EXPECT_NE(a.sampleValue(2), a.sampleValue(3));
    b.sampleIndex = 8;
    EXPECT_NE(a.sampleValue(2), b.sampleValue(2));
    b = a;
    b.sampleSeed = 1235;
    EXPECT_NE(a.sampleValue(2), b.sampleValue(2));
}

// Pairs of dimensions over many seeds and indices, binned 8 x 8: a chi-square far above the
// 63 degrees of freedom means a biased or correlated default sequence.
TEST(RendererContextStatistical, DefaultSequenceIsUniformAcrossDimensionPairs) {
    constexpr int kBins = 8;
    constexpr int kDraws = 64000;
    std::array<int, kBins * kBins> counts{};
    KuvoContext context;
    for (int i = 0; i < kDraws; ++i) {
        context.sampleSeed = static_cast<std::uint32_t>(i / 100);
        context.sampleIndex = i % 100;
        const float u = context.sampleValue(1);
        const float v = context.sampleValue(2);
        ASSERT_GE(u, 0.0f);
        ASSERT_LT(u, 1.0f);
        ASSERT_GE(v, 0.0f);
        ASSERT_LT(v, 1.0f);
        ++counts[static_cast<int>(u * kBins) * kBins + static_cast<int>(v * kBins)];
    }
    const double expected = static_cast<double>(kDraws) / (kBins * kBins);
    double chiSquare = 0.0;
    for (int count : counts) {
        chiSquare += (count - expected) * (count - expected) / expected;
    }
    // 63 degrees of freedom: the 1e-6 upper quantile is about 131.
    EXPECT_LT(chiSquare, 131.0);
}

// What a renderer's context does: recycles its child objects and fills them with initChild.
class TestRenderContext : public KuvoContext {
public:
    std::deque<TestRenderContext> children;

    KuvoContext* newChildContext(int kind, const Color& filter, int flags,
                                 const Vector& normal) override {
        TestRenderContext& child = children.emplace_back();
        initChild(child, kind, filter, flags, normal);
        return &child;
    }

    void reuseChild(TestRenderContext& child, int kind, const Color& filter, int flags,
                    const Vector& normal) {
        initChild(child, kind, filter, flags, normal);
    }
};

TEST(RendererContext, ChildTakesTheRequestAndTheRenderStateOfItsParent) {
    const RenderThreadData thread{3};
    const RenderOptions options{1, 6, 1};
    TestRenderContext parent;
    parent.threadData = &thread;
    parent.options = &options;
    parent.rayDepth = 2;
    parent.mode = 1;
    parent.hitPoint = {1.0000000001, -2.5, 1e9 + 0.25};
    parent.sampleSeed = 99;

    KuvoContext* child =
        parent.newChildContext(2, Color(0.5f, 0.25f, 1.0f), 0x9002, Vector(0.0f, 0.0f, 1.0f));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->rayKind, 2);
    EXPECT_EQ(child->spawnFilter, Color(0.5f, 0.25f, 1.0f));
    EXPECT_EQ(child->rayFlags, 0x9002);
    EXPECT_EQ(child->spawnNormal, Vector(0.0f, 0.0f, 1.0f));
    EXPECT_EQ(child->rayDepth, 3);
    EXPECT_EQ(child->mode, 1);
    EXPECT_EQ(child->origin, parent.hitPoint);  // in double precision
    EXPECT_EQ(child->threadData, &thread);
    EXPECT_EQ(child->options, &options);
    EXPECT_EQ(child->parent, &parent);
    EXPECT_EQ(child->hostContext, nullptr);
    EXPECT_NE(child->sampleSeed, parent.sampleSeed);
}

TEST(RendererContext, SiblingChildrenDrawIndependentSamples) {
    TestRenderContext parent;
    KuvoContext* first = parent.newChildContext(2, Color(1.0f), 0, Vector(0, 0, 1));
    KuvoContext* second = parent.newChildContext(2, Color(1.0f), 0, Vector(0, 0, 1));
    EXPECT_NE(first->sampleSeed, second->sampleSeed);
    EXPECT_NE(first->sampleValue(1), second->sampleValue(1));

    // The same spawning order gives the same streams: renders are repeatable.
    TestRenderContext again;
    EXPECT_EQ(again.newChildContext(2, Color(1.0f), 0, Vector(0, 0, 1))->sampleSeed,
              first->sampleSeed);
}

TEST(RendererContext, RecycledChildForgetsWhatTheLastSampleWrote) {
    TestRenderContext parent;
    parent.hitPoint = {4.0, 5.0, 6.0};
    TestRenderContext child;
    child.density = 12.0f;
    child.colorWeight = Color(3.0f);
    child.setRayDir(Vector(0.0f, 1.0f, 0.0f));
    child.dDdx = Vector(1.0f, 1.0f, 1.0f);
    child.minDistance = 5.0;
    child.maxDistance = 6.0;
    child.backside = 1;
    child.hitPoint = {7.0, 8.0, 9.0};
    parent.reuseChild(child, 2, Color(1.0f), 0, Vector(0, 0, 1));
    EXPECT_EQ(child.density, 0.0f);
    EXPECT_EQ(child.colorWeight, Color());
    EXPECT_EQ(child.rayDir, Vector());
    EXPECT_EQ(child.traceDir, Vector());
    EXPECT_EQ(child.dDdx, Vector());
    EXPECT_EQ(child.minDistance, 0.0);
    EXPECT_EQ(child.maxDistance, 1e18);
    EXPECT_EQ(child.backside, 0);
    EXPECT_EQ(child.origin, parent.hitPoint);
    EXPECT_EQ(child.hitPoint, DVector());
}

class Translation : public ObjectTransformInterface {
public:
    Vector pointToObject(const Vector& p) const override { return p - Vector(1.0f, 2.0f, 3.0f); }
};

class TransformedContext : public KuvoContext {
public:
    mutable Translation transform;

    ContextInterface* queryInterface(int id) const override {
        return id == ObjectTransformInterface::kInterfaceId ? &transform : nullptr;
    }
};

TEST(RendererContext, TypedInterfaceQueryAsksForTheTransformId) {
    EXPECT_EQ(KuvoContext().findInterface<ObjectTransformInterface>(), nullptr);
    TransformedContext context;
    const ObjectTransformInterface* transform =
        context.findInterface<ObjectTransformInterface>();
    ASSERT_EQ(transform, &context.transform);
    EXPECT_EQ(transform->pointToObject(Vector(1.0f, 1.0f, 1.0f)), Vector(0.0f, -1.0f, -2.0f));
    // Directions are not translated.
    EXPECT_EQ(transform->vectorToObject(Vector(1.0f, 1.0f, 1.0f)), Vector(1.0f, 1.0f, 1.0f));
}

}  // namespace
