// Child contexts as a renderer builds them with initChild for a BSDF's reflection samples.
#include <gtest/gtest.h>

#include <deque>

#include "platform/renderer/kuvo_context.h"

namespace {

using namespace KuvoUtils;

// Keeps its children; each child object arrives dirty, as a recycled one would.
struct TestRenderContext : KuvoContext {
    std::deque<TestRenderContext> children;

    KuvoContext* newChildContext(int kind, const Color& filter, int flags,
                                 const Vector& normal) override {
        TestRenderContext& child = children.emplace_back();
        child.density = 12.0f;
        child.colorWeight = Color(3.0f);
        child.setRayDir(Vector(0, 1, 0));
        child.maxDistance = 6.0;
        child.backside = 1;
        initChild(child, kind, filter, flags, normal);
        return &child;
    }
};

TEST(RendererContext, ChildTakesTheRequestAndRenderStateButNothingOfAnEarlierSample) {
    const RenderThreadData thread{3};
    const RenderOptions options{1, 6, 1};
    TestRenderContext parent;
    parent.threadData = &thread;
    parent.options = &options;
    parent.rayDepth = 2;
    parent.hitPoint = {1.0000000001, -2.5, 1e9 + 0.25};

    KuvoContext* child = parent.newChildContext(2, Color(0.5f, 0.25f, 1), 0x9002, Vector(0, 0, 1));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->rayKind, 2);
    EXPECT_EQ(child->spawnFilter, Color(0.5f, 0.25f, 1));
    EXPECT_EQ(child->rayFlags, 0x9002);
    EXPECT_EQ(child->spawnNormal, Vector(0, 0, 1));
    EXPECT_EQ(child->rayDepth, 3);
    EXPECT_EQ(child->origin, parent.hitPoint);  // in double precision
    EXPECT_EQ(child->threadData, &thread);
    EXPECT_EQ(child->options, &options);
    EXPECT_EQ(child->parent, &parent);
    EXPECT_EQ(child->density, 0.0f);
    EXPECT_EQ(child->colorWeight, Color());
    EXPECT_EQ(child->traceDir, Vector());
    EXPECT_EQ(child->maxDistance, 1e18);
    EXPECT_EQ(child->backside, 0);
}

TEST(RendererContext, SiblingChildrenDrawIndependentRepeatableSamples) {
    TestRenderContext parent;
    KuvoContext* first = parent.newChildContext(2, Color(1.0f), 0, Vector(0, 0, 1));
    KuvoContext* second = parent.newChildContext(2, Color(1.0f), 0, Vector(0, 0, 1));
    EXPECT_NE(first->sampleValue(1), second->sampleValue(1));
    EXPECT_NE(first->sampleValue(1), parent.sampleValue(1));
    TestRenderContext again;
    EXPECT_EQ(again.newChildContext(2, Color(1.0f), 0, Vector(0, 0, 1))->sampleValue(1),
              first->sampleValue(1));
}

}  // namespace
